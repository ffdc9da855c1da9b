// NAL units of H.264 access units in Annex B form (start codes 00 00 01 or
// 00 00 00 01), as the encoders, the phones and the file readers give them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tavrin {

enum : int {
    kNalIdr = 5,
    kNalSei = 6,
    kNalSps = 7,
    kNalPps = 8,
};

struct TNalUnit {
    int type = 0;                   // nal_unit_type, the low five bits of the first byte
    std::span<const uint8_t> bytes; // without start code and trailing zero bytes
};

// Walks the NAL units of one access unit in order. Bytes before the first
// start code are skipped.
class TNalScanner {
public:
    explicit TNalScanner(std::span<const uint8_t> accessUnit) : au_(accessUnit) {
        pos_ = FindStartCode(0);
    }

    bool Next(TNalUnit& nal) {
        while (pos_ < au_.size()) {
            const size_t begin = pos_ + 3;
            const size_t next = FindStartCode(begin);
            size_t end = next;
            // The zero of a 4-byte start code, and trailing zero bytes, are
            // not part of the unit.
            while (end > begin && au_[end - 1] == 0) {
                --end;
            }
            pos_ = next;
            if (begin < end) {
                nal.type = au_[begin] & 0x1F;
                nal.bytes = au_.subspan(begin, end - begin);
                return true;
            }
        }
        return false;
    }

private:
    size_t FindStartCode(size_t from) const {
        for (size_t i = from; i + 3 <= au_.size(); ++i) {
            if (au_[i + 2] > 1) {
                i += 2; // no start code can end before i + 3
            } else if (au_[i] == 0 && au_[i + 1] == 0 && au_[i + 2] == 1) {
                return i;
            }
        }
        return au_.size();
    }

    std::span<const uint8_t> au_;
    size_t pos_ = 0;
};

// Type of the first NAL unit, or -1 when the unit holds none.
inline int FirstNalType(std::span<const uint8_t> accessUnit) {
    TNalScanner scanner(accessUnit);
    TNalUnit nal;
    return scanner.Next(nal) ? nal.type : -1;
}

inline bool HasNalType(std::span<const uint8_t> accessUnit, int type) {
    TNalScanner scanner(accessUnit);
    TNalUnit nal;
    while (scanner.Next(nal)) {
        if (nal.type == type) {
            return true;
        }
    }
    return false;
}

} // namespace tavrin
