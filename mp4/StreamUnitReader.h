// Reads an elementary-stream file back as the units it was written from,
// in order and by their known sizes, so the stream is not split again by
// a parser. Each unit becomes a reference-counted packet on a pooled
// buffer: the muxer holds a reference while it interleaves, and the pool
// spares an allocation per unit.
#pragma once

#include "av/AvPtr.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tavrin {

class TStreamUnitReader {
public:
    TStreamUnitReader() = default;
    ~TStreamUnitReader();
    TStreamUnitReader(const TStreamUnitReader&) = delete;
    TStreamUnitReader& operator=(const TStreamUnitReader&) = delete;

    // Units are at most nMaxUnit bytes. False when the file cannot be opened.
    bool Open(const std::string& file, size_t nMaxUnit);
    // The next nSize bytes as a packet (data, size and buffer only); false
    // when the file ends first or the unit is larger than announced.
    bool Read(uint32_t nSize, AVPacket* pkt);

private:
    FILE* file = nullptr;
    std::unique_ptr<char[]> buffer;
    AvBufferPoolPtr pool;
    size_t nMax = 0;
};

} // namespace tavrin
