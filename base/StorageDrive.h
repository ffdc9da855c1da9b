// What the storage rules need to know about the "drive" of a path: the
// filesystem holding it (its nearest existing ancestor). A fixed drive is a
// local, non-removable block-device filesystem; removable media, network and
// FUSE filesystems, and memory filesystems are not fixed. Tests inject their
// own classifier to play every case.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

class TDriveClassifier {
public:
    virtual ~TDriveClassifier() = default;
    virtual bool IsFixed(const std::string& path) const = 0;
    virtual bool SameDrive(const std::string& a, const std::string& b) const = 0;
    // Bytes an ordinary writer may still use on the drive; 0 when unknown.
    virtual uint64_t FreeBytes(const std::string& path) const = 0;
};

// Classifies by the kernel's mount table and block-device attributes.
class TSystemDrives final : public TDriveClassifier {
public:
    bool IsFixed(const std::string& path) const override;
    bool SameDrive(const std::string& a, const std::string& b) const override;
    uint64_t FreeBytes(const std::string& path) const override;
};

// The closest ancestor of path (or path itself) that exists.
std::string NearestExistingAncestor(const std::string& path);

// "<home>/voData": where lessons go when no usable root is configured.
std::string DefaultStoreRoot();

} // namespace tavrin
