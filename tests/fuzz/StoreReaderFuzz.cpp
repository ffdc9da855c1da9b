// index.dat and av.dat come from disks that fill up, machines that lose
// power and hands that copy lessons around: the reader must survive any
// bytes in them. Input: 2 bytes of index length (little-endian), the index
// bytes, then the av.dat bytes.
#include "base/GetLessionInfo.h"
#include "output/ReadAV.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int32_t kLesson = 1;

struct TFuzzStore {
    std::string root;
    tavrin::TGetLessionInfo paths;
    std::string index, av;

    TFuzzStore() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavrin-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        root = pattern;
        paths.initialize(root, "9");
        std::string dir;
        paths.Get_CaptureDir(kLesson, dir);
        std::filesystem::create_directories(dir);
        paths.Get_IndexFile(kLesson, index);
        paths.Get_AVDataFile(kLesson, av);
    }
    ~TFuzzStore() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TFuzzStore store;
    if (size < 2) {
        return 0;
    }
    const size_t indexSize = std::min<size_t>(size - 2, size_t(data[0]) | size_t(data[1]) << 8);
    WriteBytes(store.index, data + 2, indexSize);
    WriteBytes(store.av, data + 2 + indexSize, size - 2 - indexSize);

    tavrin::TReadAV reader;
    reader.initialize(store.paths);
    if (reader.OpenLession(kLesson) != 0) {
        return 0;
    }
    const tavrin::TIndex_Head* head = nullptr;
    const tavrin::TIndex_Count* count = nullptr;
    const tavrin::TIndex_IBlock* blocks = nullptr;
    const int n = reader.GetLessionInfo_struc(head, count, blocks);

    std::vector<uint8_t> frame;
    int frameSize = 0, type = 0, block = 0;
    uint64_t total = 0;
    for (int i = 0; i < 4096 && reader.GetFrame(frame, frameSize, type, block, i % 2 == 0) >= 0;
         ++i) {
        if (size_t(frameSize) != frame.size() || block < 0 || block >= n) {
            std::abort();
        }
        total += frame.empty() ? 0 : frame.front() + frame.back();
    }
    for (int pos : {-1, 0, n / 2, n - 1, n, n + 7}) {
        const int at = reader.MoveToIPos(pos, pos % 2 == 0);
        if (at < 0 || at >= n) {
            std::abort();
        }
        reader.GetFrame(frame, frameSize, type, block, false);
        reader.DeleteIBlock_I(pos);
        reader.GetDeleteBlockState_I(pos);
    }
    int mb = 0, sec = 0, rate = 0;
    reader.Get_TotalFileInfo(mb, sec, rate);
    reader.Get_TotalCaptureSeconds(sec);
    reader.RecoveryAllDeleteIBlock();
    // Touch what the replay engine and the MP4 dialog read.
    volatile uint64_t sink = total + head->videoWidth + uint64_t(count->AudioCount) + uint64_t(mb);
    (void)sink;
    return 0;
}
