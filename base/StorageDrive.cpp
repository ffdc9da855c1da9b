#include "base/StorageDrive.h"

#include <array>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace tavrin {

namespace {

namespace fs = std::filesystem;

struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

// Finds the mount whose device is dev, from /proc/self/mountinfo:
// "id parent major:minor root mountpoint options [optional...] - fstype source super".
bool FindMount(dev_t dev, MountEntry& found) {
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    bool any = false;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, majmin, root, mountPoint;
        if (!(fields >> id >> parent >> majmin >> root >> mountPoint)) {
            continue;
        }
        unsigned maj = 0;
        unsigned min = 0;
        if (std::sscanf(majmin.c_str(), "%u:%u", &maj, &min) != 2 || maj != major(dev) ||
            min != minor(dev)) {
            continue;
        }
        std::string word;
        while (fields >> word && word != "-") {
        }
        MountEntry entry;
        entry.major = maj;
        entry.minor = min;
        entry.mountPoint = mountPoint;
        if (!(fields >> entry.fsType >> entry.source)) {
            continue;
        }
        found = entry; // the last mount of a device is the visible one
        any = true;
    }
    return any;
}

bool IsNetworkOrFuse(const std::string& fsType) {
    static const std::array<const char*, 14> kRemote = {
        "nfs", "nfs4", "cifs",      "smb3",  "smbfs", "sshfs", "9p",
        "afs", "ceph", "glusterfs", "davfs", "ncpfs", "coda",  "lustre"};
    if (fsType.rfind("fuse", 0) == 0) {
        return true;
    }
    for (const char* remote : kRemote) {
        if (fsType == remote) {
            return true;
        }
    }
    return false;
}

bool ReadFlag(const fs::path& file) {
    std::ifstream in(file);
    int value = 0;
    return (in >> value) && value != 0;
}

// A block device is removable when the kernel says so for it or for the disk
// a partition belongs to, or when it hangs off a USB bus.
bool IsRemovableBlockDevice(unsigned maj, unsigned min) {
    const fs::path link = "/sys/dev/block/" + std::to_string(maj) + ":" + std::to_string(min);
    std::error_code ec;
    const fs::path device = fs::canonical(link, ec);
    if (ec) {
        return false; // no sysfs view: a block device we cannot inspect counts as local
    }
    if (device.string().find("/usb") != std::string::npos) {
        return true;
    }
    if (ReadFlag(device / "removable")) {
        return true;
    }
    return fs::exists(device / "partition") && ReadFlag(device.parent_path() / "removable");
}

bool StatNearest(const std::string& path, struct stat& st) {
    const std::string existing = NearestExistingAncestor(path);
    return !existing.empty() && ::stat(existing.c_str(), &st) == 0;
}

} // namespace

std::string NearestExistingAncestor(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    fs::path p(path);
    std::error_code ec;
    while (!p.empty()) {
        if (fs::exists(p, ec)) {
            return p.string();
        }
        const fs::path parent = p.parent_path();
        if (parent == p) {
            break;
        }
        p = parent;
    }
    return {};
}

bool TSystemDrives::IsFixed(const std::string& path) const {
    if (path.empty() || path.front() != '/') {
        return false; // a relative root would move with the working folder
    }
    struct stat st {};
    if (!StatNearest(path, st)) {
        return false;
    }
    MountEntry mount;
    if (!FindMount(st.st_dev, mount) || IsNetworkOrFuse(mount.fsType)) {
        return false;
    }
    unsigned maj = mount.major;
    unsigned min = mount.minor;
    if (maj == 0) {
        // Anonymous devices (btrfs subvolumes) still name their block device.
        struct stat src {};
        if (mount.source.rfind("/dev/", 0) != 0 || ::stat(mount.source.c_str(), &src) != 0 ||
            !S_ISBLK(src.st_mode)) {
            return false; // tmpfs, overlay and other filesystems without a disk
        }
        maj = major(src.st_rdev);
        min = minor(src.st_rdev);
    }
    return !IsRemovableBlockDevice(maj, min);
}

bool TSystemDrives::SameDrive(const std::string& a, const std::string& b) const {
    struct stat sa {};
    struct stat sb {};
    return StatNearest(a, sa) && StatNearest(b, sb) && sa.st_dev == sb.st_dev;
}

uint64_t TSystemDrives::FreeBytes(const std::string& path) const {
    const std::string existing = NearestExistingAncestor(path);
    struct statvfs vfs {};
    if (existing.empty() || ::statvfs(existing.c_str(), &vfs) != 0) {
        return 0;
    }
    return uint64_t(vfs.f_bavail) * vfs.f_frsize;
}

std::string DefaultStoreRoot() {
    const char* home = std::getenv("HOME");
    std::string dir = home != nullptr ? home : "";
    if (dir.empty()) {
        if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
            dir = pw->pw_dir;
        }
    }
    if (dir.empty()) {
        dir = "/tmp";
    }
    if (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir + "/voData";
}

} // namespace tavrin
