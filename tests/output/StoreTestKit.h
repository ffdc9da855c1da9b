// Frames whose bytes say who they are, so a test can check any frame read
// back from a store without remembering what was written.
#pragma once

#include "base/GetLessionInfo.h"
#include "output/LessonStoreFormat.h"
#include "output/ReadAV.h"
#include "output/SaveAV.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::test {

// A picture (key or not) or an AAC frame with sequence number seq; its size
// and every byte follow from seq and the type.
std::vector<uint8_t> MakeFrame(uint8_t type, uint32_t seq);

// The sequence number of a frame made by MakeFrame, or -1 when any byte is
// not what MakeFrame would have written for that type.
int64_t CheckFrame(uint8_t type, const std::vector<uint8_t>& payload);

// Pushes one second: a key picture, 24 more pictures and 47 audio frames,
// interleaved as the output pipeline hands them over. seq counts on.
void PushSecond(TSaveAV& rec, uint32_t& seq);

struct TStoreReadBack {
    struct Item {
        int type;
        int block;
        int64_t seq;
        int size;
    };
    std::vector<Item> frames;
    int badFrames = 0;
};

// Every frame the reader hands out until it reports the end.
TStoreReadBack ReadAll(TReadAV& reader, bool bIncludeDelete);

// A block entry copied out of the packed record, so that tests can bind
// its fields to references.
struct TBlock {
    int32_t VideoCount;
    int32_t AudioCount;
    uint32_t pos;
    uint32_t Length;
    int DeleteFlag;
    int ErrorFlag;
};

// The block table of an open reader.
std::vector<TBlock> Blocks(const TReadAV& reader);

// Writes a small store by hand (no pre-allocation): the head, the counters,
// the table and the av.dat bytes.
void WriteStore(const TGetLessionInfo& paths, int32_t lesson, const TIndex_Count& count,
                const std::vector<TIndex_IBlock>& blocks, const std::vector<uint8_t>& av,
                int w = 1280, int h = 720);

// Appends one frame (13-byte head and payload) to av bytes.
void AppendFrame(std::vector<uint8_t>& av, uint8_t type, const std::vector<uint8_t>& payload);

} // namespace tavrin::test
