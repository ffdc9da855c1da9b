#include "mp4/StreamUnitReader.h"

#include <cstring>

namespace tavrin {

namespace {
constexpr size_t kFileBuffer = size_t(1) << 20;
}

TStreamUnitReader::~TStreamUnitReader() {
    if (file != nullptr) {
        std::fclose(file);
    }
}

bool TStreamUnitReader::Open(const std::string& name, size_t nMaxUnit) {
    file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    buffer = std::make_unique<char[]>(kFileBuffer);
    std::setvbuf(file, buffer.get(), _IOFBF, kFileBuffer);
    nMax = nMaxUnit;
    pool.reset(av_buffer_pool_init(nMax + AV_INPUT_BUFFER_PADDING_SIZE, av_buffer_alloc));
    return pool != nullptr;
}

bool TStreamUnitReader::Read(uint32_t nSize, AVPacket* pkt) {
    if (file == nullptr || nSize > nMax) {
        return false;
    }
    AVBufferRef* buf = av_buffer_pool_get(pool.get());
    if (buf == nullptr) {
        return false;
    }
    if (std::fread(buf->data, 1, nSize, file) != nSize) {
        av_buffer_unref(&buf);
        return false;
    }
    // Readers of the packet may look a little past its end.
    std::memset(buf->data + nSize, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    pkt->buf = buf;
    pkt->data = buf->data;
    pkt->size = int(nSize);
    return true;
}

} // namespace tavrin
