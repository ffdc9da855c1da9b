// info, cut and frames: look into a recorded lesson, mark blocks as cut and
// list the frames of a block. A lesson is addressed by --root, --user and
// --lesson in all three.
#include "base/GetLessionInfo.h"
#include "base/IniFile.h"
#include "base/MediaFrame.h"
#include "base/Message.h"
#include "base/StorageDrive.h"
#include "cli/Commands.h"
#include "output/ReadAV.h"
#include "output/SaveAV.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

namespace tavrin::cli {

namespace {

// A local broken-down time from seconds since 1970 that already are local.
std::string LocalText(double localSeconds, bool withMillis) {
    if (!std::isfinite(localSeconds) || localSeconds < 0 || localSeconds > 253402300799.0) {
        return "-";
    }
    const time_t secs = time_t(localSeconds);
    tm t{};
    gmtime_r(&secs, &t);
    char text[48];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
    std::string s = text;
    if (withMillis) {
        char ms[8];
        std::snprintf(ms, sizeof ms, ".%03d", int((localSeconds - double(secs)) * 1000.0));
        s += ms;
    }
    return s;
}

std::string CreationText(double days) {
    return LocalText((days - 25569.0) * 86400.0, false);
}

const char* FrameTypeName(int type) {
    switch (type) {
    case kFrameAAC:
        return "AAC";
    case kFrameH264:
        return "H.264";
    case kFrameH264Key:
        return "H.264 key";
    default:
        return "unknown";
    }
}

// Opens the lesson named by --root/--user/--lesson; prints the reason and
// returns false when it cannot be read.
bool OpenFromArgs(const TCliArgs& args, TReadAV& reader, int& status) {
    int lesson = 0;
    if (!args.Has("lesson") || args.Get("lesson").empty()) {
        status = Fail("needs --lesson ID");
        return false;
    }
    if (!args.GetInt("lesson", lesson)) {
        status = Fail(args.Error());
        return false;
    }
    TGetLessionInfo paths;
    const std::string root = args.Get("root", DefaultStoreRoot());
    paths.initialize(root, args.Get("user", "0"));
    reader.initialize(paths);
    const int result = reader.OpenLession(lesson);
    if (result == TReadAV::kOpenOK) {
        return true;
    }
    std::string dir;
    paths.Get_CaptureDir(lesson, dir);
    std::string why;
    switch (result) {
    case TReadAV::kNotRecorded:
        why = "no recording in " + dir + " (index.dat or av.dat missing)";
        break;
    case TReadAV::kIndexNotOpened:
        why = "index.dat in " + dir + " cannot be opened (is the lesson being recorded?)";
        break;
    case TReadAV::kDataNotOpened:
        why = "av.dat in " + dir + " cannot be opened (is the lesson being recorded?)";
        break;
    default:
        why = "the index in " + dir + " has no closed block or cannot be read";
        break;
    }
    std::fprintf(stderr, "tavrin-cli: lesson %d: %s\n", lesson, why.c_str());
    status = kExitFailed;
    return false;
}

// A copy of a packed record's field: the JSON builder takes references,
// which must not point into a packed record.
template <typename T> T Val(T value) {
    return value;
}

struct TStoreView {
    const TIndex_Head* head = nullptr;
    const TIndex_Count* count = nullptr;
    const TIndex_IBlock* blocks = nullptr;
    int n = 0;
};

TStoreView View(const TReadAV& reader) {
    TStoreView v;
    v.n = reader.GetLessionInfo_struc(v.head, v.count, v.blocks);
    return v;
}

std::string UserIDText(const TIndex_Head& h) {
    return std::string(h.UserID, strnlen(h.UserID, sizeof h.UserID));
}

void PrintInfoJson(const TReadAV& reader, const TStoreView& v) {
    int seconds = 0, mb = 0, keptSeconds = 0, rate = 0;
    reader.Get_TotalCaptureSeconds(seconds);
    reader.Get_TotalFileInfo(mb, keptSeconds, rate);
    nlohmann::json blocks = nlohmann::json::array();
    for (int k = 0; k < v.n; ++k) {
        const TIndex_IBlock& b = v.blocks[k];
        blocks.push_back({{"index", k},
                          {"pos", Val(b.pos)},
                          {"length", Val(b.Length)},
                          {"video", Val(b.VideoCount)},
                          {"audio", Val(b.AudioCount)},
                          {"deleted", Val(b.DeleteFlag)},
                          {"error", Val(b.ErrorFlag)}});
    }
    const TIndex_Head& h = *v.head;
    const nlohmann::json out = {{"head",
                                 {{"sysFlag", Val(h.sysFlag)},
                                  {"sysVer", Val(h.sysVer)},
                                  {"LessionID", Val(h.LessionID)},
                                  {"UserID", UserIDText(h)},
                                  {"createtionTime", Val(h.createtionTime)},
                                  {"created", CreationText(h.createtionTime)},
                                  {"videoType", Val(h.videoType)},
                                  {"audioType", Val(h.audioType)},
                                  {"videoWidth", Val(h.videoWidth)},
                                  {"videoHeight", Val(h.videoHeight)},
                                  {"audioSamples", Val(h.audioSamples)},
                                  {"audioCH", Val(h.audioCH)}}},
                                {"counters",
                                 {{"VideoCount", Val(v.count->VideoCount)},
                                  {"AudioCount", Val(v.count->AudioCount)},
                                  {"IBlockCount", Val(v.count->IBlockCount)},
                                  {"LastTime", Val(v.count->LastTime)}}},
                                {"totals",
                                 {{"seconds", seconds},
                                  {"keptMBytes", mb},
                                  {"keptSeconds", keptSeconds},
                                  {"bitrate100k", rate}}},
                                {"blocks", blocks}};
    std::printf("%s\n", out.dump(2).c_str());
}

void PrintInfoText(const TReadAV& reader, const TStoreView& v) {
    const TIndex_Head& h = *v.head;
    const TIndex_Count& c = *v.count;
    int seconds = 0, mb = 0, keptSeconds = 0, rate = 0;
    reader.Get_TotalCaptureSeconds(seconds);
    reader.Get_TotalFileInfo(mb, keptSeconds, rate);
    int deleted = 0;
    for (int k = 0; k < v.n; ++k) {
        deleted += v.blocks[k].DeleteFlag == 1 ? 1 : 0;
    }
    std::printf("lesson          %d\n", h.LessionID);
    std::printf("user            %s\n", UserIDText(h).c_str());
    std::printf("created         %s\n", CreationText(h.createtionTime).c_str());
    std::printf("format          flag %d, version %d\n", h.sysFlag, h.sysVer);
    std::printf("video           %s %u x %u\n", h.videoType == 1 ? "H.264" : "type?",
                unsigned(h.videoWidth), unsigned(h.videoHeight));
    std::printf("audio           %s %d Hz, %u channels\n", h.audioType == 1 ? "AAC" : "type?",
                h.audioSamples, unsigned(h.audioCH));
    std::printf("video frames    %d\n", c.VideoCount);
    std::printf("audio frames    %d\n", c.AudioCount);
    std::printf("blocks          %d (%d deleted)\n", c.IBlockCount, deleted);
    std::printf("recorded        %d s\n", seconds);
    std::printf("last closed     %s\n", LocalText(c.LastTime / 1e6, true).c_str());
    std::printf("kept            %d MB, %d s, video about %d x 100 kbit/s\n", mb, keptSeconds,
                rate);
    std::printf("\n%7s %12s %10s %6s %6s %8s %6s\n", "block", "pos", "length", "video", "audio",
                "deleted", "error");
    for (int k = 0; k < v.n; ++k) {
        const TIndex_IBlock& b = v.blocks[k];
        std::printf("%7d %12u %10u %6d %6d %8u %6u\n", k, b.pos, b.Length, b.VideoCount,
                    b.AudioCount, unsigned(b.DeleteFlag), unsigned(b.ErrorFlag));
    }
}

// "3,5-9" -> {3, 5, 6, 7, 8, 9}; false on anything else.
bool ParseBlockList(const std::string& text, std::set<int>& out) {
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string item = text.substr(at, comma - at);
        const size_t dash = item.find('-');
        int32_t first = 0, last = 0;
        if (dash == std::string::npos) {
            if (!ParseInt32(item, first) || first < 0) {
                return false;
            }
            last = first;
        } else if (!ParseInt32(item.substr(0, dash), first) ||
                   !ParseInt32(item.substr(dash + 1), last) || first < 0 || last < first ||
                   last - first > kMaxIBlockCount) {
            return false;
        }
        for (int32_t k = first; k <= last; ++k) {
            out.insert(k);
        }
        at = comma + 1;
    }
    return !out.empty();
}

// "正在准备录课数据... [#######.............]  35%" redrawn in place on stderr.
void DrawPrepareBar(int percent) {
    constexpr int kWidth = 40;
    const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
    std::fprintf(stderr, "\r正在准备录课数据... [%s%s] %3d%%",
                 std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(kWidth - filled), '.').c_str(), percent);
    std::fflush(stderr);
}

} // namespace

int RunPrepare(const TCliArgs& args) {
    int lesson = 0, width = 1280, height = 720;
    if (!args.Has("lesson") || args.Get("lesson").empty()) {
        return Fail("prepare needs --lesson ID");
    }
    if (!args.GetInt("lesson", lesson) || !args.GetInt("width", width) ||
        !args.GetInt("height", height)) {
        return Fail(args.Error());
    }
    TGetLessionInfo paths;
    paths.initialize(args.Get("root", DefaultStoreRoot()), args.Get("user", "0"));
    std::string dir;
    paths.Get_CaptureDir(lesson, dir);

    TSaveAV rec;
    rec.Create(paths);
    rec.SetPrepareMode(args.Has("write-zeros") ? TPrepareMode::WriteZeros : TPrepareMode::Allocate);
    bool drawn = false;
    rec.SetPrepareProgress([&drawn](int percent) {
        DrawPrepareBar(percent);
        drawn = true;
    });
    const int result = rec.NewLession(lesson, width, height);
    if (drawn) {
        std::fprintf(stderr, "\n");
    }
    if (result != TSaveAV::kNewOK) {
        ShowMessage(NewLessionFailureText(result, dir), TMsgIcon::Error);
        return kExitFailed;
    }
    int seconds = 0, mbytes = 0;
    rec.Get_TotalCaptureSeconds(seconds, mbytes);
    rec.EndLession();
    std::printf("lesson %d ready in %s: %d s recorded, %d MiB of av.dat in use\n", lesson,
                dir.c_str(), seconds, mbytes);
    return 0;
}

int RunInfo(const TCliArgs& args) {
    TReadAV reader;
    int status = 0;
    if (!OpenFromArgs(args, reader, status)) {
        return status;
    }
    const TStoreView v = View(reader);
    if (args.Has("json")) {
        PrintInfoJson(reader, v);
    } else {
        PrintInfoText(reader, v);
    }
    return 0;
}

int RunCut(const TCliArgs& args) {
    std::set<int> toggle;
    if (args.Has("toggle") && !ParseBlockList(args.Get("toggle"), toggle)) {
        return Fail("--toggle needs block numbers like 3,5-9, not \"" + args.Get("toggle") + "\"");
    }
    const bool clearAll = args.Has("clear-all");
    if (toggle.empty() && !clearAll) {
        return Fail("cut needs --toggle BLOCKS or --clear-all");
    }
    TReadAV reader;
    int status = 0;
    if (!OpenFromArgs(args, reader, status)) {
        return status;
    }
    const TStoreView v = View(reader);
    if (!toggle.empty() && *toggle.rbegin() >= v.n) {
        std::fprintf(stderr,
                     "tavrin-cli: block %d does not exist (the lesson has %d blocks, 0-%d); "
                     "nothing changed\n",
                     *toggle.rbegin(), v.n, v.n - 1);
        return kExitFailed;
    }
    if (clearAll) {
        std::printf("cleared %d delete marks\n", reader.RecoveryAllDeleteIBlock());
    }
    for (int k : toggle) {
        const int flag = reader.DeleteIBlock_I(k);
        std::printf("block %d %s\n", k, flag == 1 ? "deleted" : "kept");
    }
    if (reader.Save() != 0) {
        std::fprintf(stderr, "tavrin-cli: the marks could not be written to index.dat\n");
        return kExitFailed;
    }
    int deleted = 0;
    for (int k = 0; k < v.n; ++k) {
        deleted += reader.GetDeleteBlockState_I(k) == 1 ? 1 : 0;
    }
    std::printf("saved: %d of %d blocks deleted\n", deleted, v.n);
    return 0;
}

int RunFrames(const TCliArgs& args) {
    int block = -1;
    if (!args.Has("block")) {
        return Fail("frames needs --block N");
    }
    if (!args.GetInt("block", block)) {
        return Fail(args.Error());
    }
    TReadAV reader;
    int status = 0;
    if (!OpenFromArgs(args, reader, status)) {
        return status;
    }
    const TStoreView v = View(reader);
    if (block < 0 || block >= v.n) {
        std::fprintf(stderr, "tavrin-cli: block %d does not exist (the lesson has %d blocks)\n",
                     block, v.n);
        return kExitFailed;
    }
    const TIndex_IBlock& b = v.blocks[block];
    std::printf("block %d: pos %u, length %u, %d video + %d audio frames, deleted %u, error %u\n",
                block, b.pos, b.Length, b.VideoCount, b.AudioCount, unsigned(b.DeleteFlag),
                unsigned(b.ErrorFlag));
    std::printf("%6s %-10s %9s %12s  %s\n", "frame", "type", "size", "offset", "time");
    reader.MoveToIPos(block, true);
    std::vector<uint8_t> data;
    int size = 0, type = 0, at = -1, listed = 0;
    uint64_t offset = b.pos;
    while (reader.GetFrame(data, size, type, at, true) >= 0 && at == block) {
        std::printf("%6d %-10s %9d %12" PRIu64 "  %s\n", listed, FrameTypeName(type), size, offset,
                    LocalText(double(reader.LastFramePTS()) / 1e6, true).c_str());
        offset += kMediaFrameHeadSize + uint64_t(size);
        ++listed;
    }
    if (listed != b.VideoCount + b.AudioCount) {
        std::printf("warning: the index promises %d frames, %d whole frames were found\n",
                    b.VideoCount + b.AudioCount, listed);
    }
    return 0;
}

} // namespace tavrin::cli
