// mp4: make the MP4 of a recorded lesson, as the MP4 dialog does, with a
// progress bar on stderr and the file name on stdout.
#include "base/GetLessionInfo.h"
#include "base/Message.h"
#include "base/StorageDrive.h"
#include "base/Thread.h"
#include "cli/Commands.h"
#include "mp4/Mp4Thread.h"
#include "mp4/PixSetModel.h"
#include "output/ReadAV.h"

#include <cstdio>
#include <string>

namespace tavrin::cli {

namespace {

// "2026-12-09" -> "2026年12月9日" (no leading zeros).
bool DateText(const std::string& iso, std::string& out) {
    int y = 0;
    int m = 0;
    int d = 0;
    if (std::sscanf(iso.c_str(), "%d-%d-%d", &y, &m, &d) != 3 || m < 1 || m > 12 || d < 1 ||
        d > 31) {
        return false;
    }
    out = std::to_string(y) + "年" + std::to_string(m) + "月" + std::to_string(d) + "日";
    return true;
}

// The picture size the lesson was recorded at; the store's open result.
int RecordedSize(const TGetLessionInfo& paths, int lesson, int& w, int& h) {
    TReadAV reader;
    reader.initialize(paths);
    if (const int opened = reader.OpenLession(lesson); opened != TReadAV::kOpenOK) {
        return opened;
    }
    const TIndex_Head* PH = nullptr;
    const TIndex_Count* PC = nullptr;
    const TIndex_IBlock* blocks = nullptr;
    reader.GetLessionInfo_struc(PH, PC, blocks);
    if (PH != nullptr) {
        w = PH->videoWidth;
        h = PH->videoHeight;
    }
    reader.EndLession();
    return TReadAV::kOpenOK;
}

void DrawProgress(int percent) {
    const int filled = percent / 5;
    std::fprintf(stderr, "\r正在生成MP4... [%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(20 - filled), '.').c_str(), percent);
    std::fflush(stderr);
}

} // namespace

int RunMp4(const TCliArgs& args) {
    int lesson = 0;
    int mode = 0;
    int bitrateK = 2000;
    int head = 5;
    int tail = 5;
    int offset = 0;
    if (!args.Has("lesson") || !args.GetInt("lesson", lesson) || !args.GetInt("mode", mode) ||
        !args.GetInt("bitrate", bitrateK) || !args.GetInt("head-seconds", head) ||
        !args.GetInt("tail-seconds", tail) || !args.GetInt("audio-offset", offset)) {
        return Fail(args.Has("lesson") ? args.Error() : "needs --lesson ID");
    }
    const std::string size = args.Get("size", "1920x1080");
    if (size != "1280x720" && size != "1920x1080") {
        return Fail("--size is 1280x720 or 1920x1080");
    }
    if (mode < 0 || mode > 2 || bitrateK <= 0 || head < 0 || tail < 0) {
        return Fail("--mode 0|1|2, --bitrate and card seconds must be positive");
    }

    TLessionInfo info;
    info.LessionID = lesson;
    info.LessionName = args.Get("name");
    info.subject = args.Get("subject");
    info.grade = args.Get("grade");
    info.version = args.Get("version");
    info.ShcoolName = args.Get("school");
    info.TeacherName = args.Get("teacher");
    TMakerInfo maker;
    maker.Maker = args.Get("maker");
    if (args.Has("date") && !DateText(args.Get("date"), maker.Timer)) {
        return Fail("--date is YYYY-MM-DD");
    }
    TheadInfo headImage;
    TheadInfo tailImage;
    int nType = 0;
    const std::string cards =
        args.Get("cards", args.Has("head-image") || args.Has("tail-image") ? "image" : "standard");
    if (cards == "image") {
        nType = 1;
        headImage.sImageName = args.Get("head-image");
        headImage.nNameLength = int(headImage.sImageName.size());
        headImage.vo = &info;
        tailImage.sImageName = args.Get("tail-image");
        tailImage.nNameLength = int(tailImage.sImageName.size());
    } else if (cards == "none") {
        nType = 2;
    } else if (cards != "standard") {
        return Fail("--cards is standard, image or none");
    }

    TGetLessionInfo paths;
    paths.initialize(args.Get("root", DefaultStoreRoot()), args.Get("user", "0"));
    // As the settings dialog decides: mode 0 keeps the recording's size, mode
    // 1 makes the cards at the other size, mode 2 re-encodes to --size.
    int recordedW = 0;
    int recordedH = 0;
    if (const int opened = RecordedSize(paths, lesson, recordedW, recordedH); opened != 0) {
        std::fprintf(stderr, "tavrin-cli: lesson %d cannot be opened (%d)\n", lesson, opened);
        return 1;
    }
    TPixSetModel choice;
    choice.SetServerInfo(0, 0, 0, recordedW, recordedH);
    TConvertMode convert = choice.Result(mode, size == "1280x720" ? 0 : 1, 0);
    convert.nBitbrate = uint32_t(bitrateK) * 1000u;
    if (mode != 2 && args.Has("size") &&
        size != std::to_string(convert.nW) + "x" + std::to_string(convert.nH)) {
        return Fail("--size " + size + " needs --mode 2 (mode " + std::to_string(mode) + " makes " +
                    std::to_string(convert.nW) + "x" + std::to_string(convert.nH) + ")");
    }
    TMp4Thread builder(paths);
    std::string sFile;
    const int opened = builder.initialize(nType, info, maker, headImage, tailImage, head, tail,
                                          offset, convert, sFile);
    if (opened != 0) {
        std::fprintf(stderr, "tavrin-cli: lesson %d cannot be opened (%d)\n", lesson, opened);
        return kExitFailed;
    }
    if (args.Has("out")) {
        sFile = args.Get("out");
        builder.SetMp4File(sFile);
    }
    builder.Start();
    int shown = -1;
    for (int pos = builder.GetCurrentPos(); pos >= 0; pos = builder.GetCurrentPos()) {
        if (pos != shown) {
            DrawProgress(pos);
            shown = pos;
        }
        SleepMs(50);
    }
    DrawProgress(100);
    std::fprintf(stderr, "\n");
    builder.Terminate();
    builder.WaitFor();
    if (builder.GetResult() != 0) {
        ShowMessage(Mp4FailureText(builder.GetResult()), TMsgIcon::Error);
        return kExitFailed;
    }
    std::printf("%s\nframes %d\n", sFile.c_str(), builder.GetTotalMp4Frames());
    return 0;
}

} // namespace tavrin::cli
