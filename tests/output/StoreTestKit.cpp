#include "tests/output/StoreTestKit.h"

#include "base/MediaFrame.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace tavrin::test {

namespace {

uint32_t FrameSize(uint8_t type, uint32_t seq) {
    switch (type) {
    case kFrameH264Key:
        return 3000 + seq % 997;
    case kFrameH264:
        return 200 + (seq * 7) % 1500;
    default:
        return 300 + seq % 60;
    }
}

// The bytes a frame starts with: an Annex B start code and an SPS (key) or
// slice NAL, or an ADTS sync word.
std::vector<uint8_t> Lead(uint8_t type) {
    switch (type) {
    case kFrameH264Key:
        return {0, 0, 0, 1, 0x67};
    case kFrameH264:
        return {0, 0, 0, 1, 0x41};
    default:
        return {0xFF, 0xF1, 0x50, 0x80};
    }
}

uint8_t Fill(uint32_t seq, size_t i) {
    return uint8_t(seq * 31 + i * 13 + (i >> 8));
}

} // namespace

std::vector<uint8_t> MakeFrame(uint8_t type, uint32_t seq) {
    std::vector<uint8_t> f = Lead(type);
    const size_t lead = f.size();
    f.resize(FrameSize(type, seq));
    std::memcpy(f.data() + lead, &seq, 4);
    for (size_t i = lead + 4; i < f.size(); ++i) {
        f[i] = Fill(seq, i);
    }
    return f;
}

int64_t CheckFrame(uint8_t type, const std::vector<uint8_t>& payload) {
    const std::vector<uint8_t> lead = Lead(type);
    if (payload.size() < lead.size() + 4 ||
        !std::equal(lead.begin(), lead.end(), payload.begin())) {
        return -1;
    }
    uint32_t seq = 0;
    std::memcpy(&seq, payload.data() + lead.size(), 4);
    return payload == MakeFrame(type, seq) ? int64_t(seq) : -1;
}

void PushSecond(TSaveAV& rec, uint32_t& seq) {
    int audio = 0;
    for (int picture = 0; picture < 25; ++picture) {
        const uint8_t type = picture == 0 ? kFrameH264Key : kFrameH264;
        const std::vector<uint8_t> p = MakeFrame(type, seq++);
        rec.PushH264(p.data(), int(p.size()), type);
        // 47 audio frames spread over 25 pictures.
        for (; audio < (picture + 1) * 47 / 25; ++audio) {
            const std::vector<uint8_t> a = MakeFrame(kFrameAAC, seq++);
            rec.PushAAC(a.data(), int(a.size()));
        }
    }
}

TStoreReadBack ReadAll(TReadAV& reader, bool bIncludeDelete) {
    TStoreReadBack back;
    std::vector<uint8_t> data;
    int size = 0, type = 0, block = 0;
    while (reader.GetFrame(data, size, type, block, bIncludeDelete) >= 0) {
        const int64_t seq = CheckFrame(uint8_t(type), data);
        back.badFrames += (seq < 0 || size_t(size) != data.size()) ? 1 : 0;
        back.frames.push_back({type, block, seq, size});
    }
    return back;
}

std::vector<TBlock> Blocks(const TReadAV& reader) {
    const TIndex_Head* head = nullptr;
    const TIndex_Count* count = nullptr;
    const TIndex_IBlock* table = nullptr;
    const int n = reader.GetLessionInfo_struc(head, count, table);
    std::vector<TBlock> blocks;
    for (int k = 0; k < n; ++k) {
        const TIndex_IBlock& b = table[k];
        blocks.push_back({b.VideoCount, b.AudioCount, b.pos, b.Length, b.DeleteFlag, b.ErrorFlag});
    }
    return blocks;
}

void WriteStore(const TGetLessionInfo& paths, int32_t lesson, const TIndex_Count& count,
                const std::vector<TIndex_IBlock>& blocks, const std::vector<uint8_t>& av, int w,
                int h) {
    std::string dir, index, data;
    paths.Get_CaptureDir(lesson, dir);
    paths.Get_IndexFile(lesson, index);
    paths.Get_AVDataFile(lesson, data);
    std::filesystem::create_directories(dir);
    const TIndex_Head head = MakeIndexHead(lesson, "7", w, h, 46000.5);
    std::ofstream i(index, std::ios::binary | std::ios::trunc);
    i.write(reinterpret_cast<const char*>(&head), sizeof head);
    i.write(reinterpret_cast<const char*>(&count), sizeof count);
    i.write(reinterpret_cast<const char*>(blocks.data()),
            std::streamsize(blocks.size() * sizeof(TIndex_IBlock)));
    std::ofstream a(data, std::ios::binary | std::ios::trunc);
    a.write(reinterpret_cast<const char*>(av.data()), std::streamsize(av.size()));
}

void AppendFrame(std::vector<uint8_t>& av, uint8_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame;
    AssignMediaFrame(frame, type, 1000, payload);
    av.insert(av.end(), frame.begin(), frame.end());
}

} // namespace tavrin::test
