// The lesson store on disk: av.dat holds the media frames one after the
// other, index.dat a fixed-size index that divides them into I-blocks (one
// block from a key frame up to the next). The records below are the exact
// bytes of index.dat: packed and little-endian.
#pragma once

#include "base/Rounding.h"

#include <bit>
#include <cstdint>

namespace tavrin {

static_assert(std::endian::native == std::endian::little,
              "the store records are read and written as little-endian memory images");

// index.dat is 20 chunks, av.dat 4000 chunks of this many zero bytes.
constexpr uint64_t kStoreChunkSize = 524288;
constexpr uint64_t kIndexFileSize = 20 * kStoreChunkSize; // 10,485,760
constexpr uint64_t kAVFileSize = 4000 * kStoreChunkSize;  // 2,097,152,000

constexpr int32_t kIndexSysFlag = 741004;
constexpr int32_t kIndexSysVer = 2;
constexpr int kUserIDBytes = 11;

#pragma pack(push, 1)
struct TIndex_Head {
    uint8_t reserved[100];
    int32_t sysFlag;
    int32_t sysVer;
    int32_t LessionID;
    char UserID[kUserIDBytes]; // ASCII digits, zero-filled, no terminator at 11
    double createtionTime;     // days since 1899-12-30 00:00, local time
    uint8_t videoType;         // 1 = H.264
    uint8_t audioType;         // 1 = AAC
    uint16_t videoWidth;
    uint16_t videoHeight;
    int32_t audioSamples;
    uint8_t audioCH;
};

struct TIndex_Count {
    int32_t VideoCount; // video frames in all closed blocks
    int32_t AudioCount; // audio frames in all closed blocks
    int32_t IBlockCount;
    double LastTime; // local microseconds since 1970 when the last block closed
};

struct TIndex_IBlock {
    int32_t VideoCount;
    int32_t AudioCount;
    uint32_t pos;    // offset in av.dat of the block's first frame head
    uint32_t Length; // bytes the block occupies in av.dat
    uint8_t DeleteFlag;
    uint8_t ErrorFlag; // 0; 1..5 marked by the operator; 10 a source dropped
};
#pragma pack(pop)

static_assert(sizeof(TIndex_Head) == 142);
static_assert(sizeof(TIndex_Count) == 20);
static_assert(sizeof(TIndex_IBlock) == 18);

constexpr uint64_t kIndexHeadOffset = 0;
constexpr uint64_t kIndexCountOffset = sizeof(TIndex_Head);                      // 142
constexpr uint64_t kIndexTableOffset = kIndexCountOffset + sizeof(TIndex_Count); // 162
constexpr int32_t kMaxIBlockCount =
    int32_t((kIndexFileSize - kIndexTableOffset) / sizeof(TIndex_IBlock)); // 582,533

constexpr uint64_t IBlockEntryOffset(int32_t k) {
    return kIndexTableOffset + uint64_t(k) * sizeof(TIndex_IBlock);
}

// The head a new lesson gets: every constant field set, the user ID cut to
// 11 bytes, the size cut to its low 16 bits, created now.
TIndex_Head MakeIndexHead(int32_t nLessionID, const char* sUserID, int32_t nWidth, int32_t nHeight,
                          double createtionTime);

// Lesson seconds of nAudioFrames: round(n x 21.33333 ms) div 1000.
int32_t AudioFramesToSeconds(int32_t nAudioFrames);

// The current local time as days since 1899-12-30 (fraction = time of day).
double LocalDateTimeNow();

} // namespace tavrin
