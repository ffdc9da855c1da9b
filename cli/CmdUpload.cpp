// upload: send a finished MP4 to the platform's media server as the MP4
// dialog does after building, with a progress bar and the dialog's outcome.
#include "base/Message.h"
#include "base/Thread.h"
#include "cli/Commands.h"
#include "mp4/ParseMp4.h"
#include "mp4/UploadOutcome.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace tavrin::cli {

namespace {

// Pictures and sound frames the file holds, as its streams announce them.
int CountMp4Frames(const std::string& path) {
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) {
        return 0;
    }
    AvInputFormatContextPtr ctx(opened);
    int64_t total = 0;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVCodecID codec = ctx->streams[i]->codecpar->codec_id;
        if (codec == AV_CODEC_ID_H264 || codec == AV_CODEC_ID_AAC) {
            total += ctx->streams[i]->nb_frames;
        }
    }
    return int(std::min<int64_t>(total, INT32_MAX));
}

void DrawUploadBar(int sent, int total) {
    constexpr int kWidth = 40;
    const int percent = total > 0 ? std::clamp(int(int64_t(sent) * 100 / total), 0, 100) : 0;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\ruploading [%s%s] %3d%%  %d/%d frames",
                 std::string(size_t(filled), '#').c_str(),
                 std::string(size_t(kWidth - filled), '.').c_str(), percent, sent, total);
    std::fflush(stderr);
}

} // namespace

int RunUpload(const TCliArgs& args) {
    for (const char* required : {"mp4", "server", "live-id", "user", "token-file"}) {
        if (!args.Has(required) || args.Get(required).empty()) {
            return Fail("upload needs --mp4 FILE --server HOST:PORT --live-id N --user U "
                        "--token-file F");
        }
    }
    int liveID = 0, user = 0, liveType = 1, timeout = 0;
    if (!args.GetInt("live-id", liveID) || !args.GetInt("user", user) ||
        !args.GetInt("live-type", liveType) || !args.GetInt("timeout", timeout)) {
        return Fail(args.Error());
    }
    const std::string server = args.Get("server");
    const size_t colon = server.rfind(':');
    int port = 0;
    if (colon == std::string::npos || colon == 0 ||
        std::sscanf(server.c_str() + colon + 1, "%d", &port) != 1 || port <= 0 || port > 65535) {
        return Fail("--server must be HOST:PORT");
    }
    const std::string host = server.substr(0, colon);
    std::string token;
    if (!ReadSecretFile(args.Get("token-file"), token)) {
        return Fail("cannot read " + args.Get("token-file"));
    }
    const std::string file = args.Get("mp4");
    const int total = CountMp4Frames(file);

    TParseMp4 upload;
    switch (upload.initizlize(file, host, port, liveID, liveType, user, token)) {
    case TParseMp4::kInitOK:
        break;
    case TParseMp4::kCannotOpen:
        std::fprintf(stderr, "tavrin-cli: %s cannot be opened\n", file.c_str());
        return kExitFailed;
    case TParseMp4::kNoStreamInfo:
        std::fprintf(stderr, "tavrin-cli: %s: its streams cannot be read\n", file.c_str());
        return kExitFailed;
    case TParseMp4::kNoStreams:
        std::fprintf(stderr, "tavrin-cli: %s lacks an H.264 video or an AAC audio stream\n",
                     file.c_str());
        return kExitFailed;
    case TParseMp4::kTransferRefused:
        std::fprintf(stderr, "tavrin-cli: the live token is longer than 100 bytes\n");
        return kExitFailed;
    default:
        std::fprintf(stderr, "tavrin-cli: FFmpeg lacks the h264_mp4toannexb filter\n");
        return kExitFailed;
    }
    upload.Start();
    // Polled as the dialog does, every 100 ms.
    for (int waited = 0;; waited += 100) {
        SleepMs(100);
        const int position = upload.GetCurrentPos();
        TUploadOutcome outcome;
        if (UploadOutcome(position, outcome)) {
            DrawUploadBar(position == -1 ? upload.GetTotalMp4Frames() : 0, total);
            std::fprintf(stderr, "\n");
            upload.Destroy();
            ShowMessage(outcome.text, outcome.icon);
            return position == -1 ? kExitOK : kExitFailed;
        }
        DrawUploadBar(position, total);
        if (timeout > 0 && waited >= timeout * 1000) {
            std::fprintf(stderr, "\ntavrin-cli: no outcome after %d s\n", timeout);
            return kExitFailed;
        }
    }
}

} // namespace tavrin::cli
