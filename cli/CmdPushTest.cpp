// push-test: runs the output pipeline on a moving test picture with a sine
// tone as the main channel's sound and the lesson caption, and pushes the
// programme to an RTMP server, printing the sender's statistics each second.
#include "base/GloTimer.h"
#include "cli/Commands.h"
#include "compose/CombineOut.h"
#include "output/EncodeAudio.h"
#include "output/RtmpSend.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace tavrin::cli {

namespace {

// The channel's picture: colour bars with a bright square moving across.
void DrawTestPicture(AVFrame* f, int index) {
    const int w = f->width;
    const int h = f->height;
    static constexpr uint8_t kBarY[8] = {235, 210, 170, 145, 106, 81, 41, 16};
    for (int y = 0; y < h; ++y) {
        uint8_t* row = f->data[0] + size_t(y) * size_t(f->linesize[0]);
        for (int x = 0; x < w; ++x) {
            row[x] = kBarY[(x * 8) / w];
        }
    }
    for (int y = 0; y < h / 2; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            f->data[1][y * f->linesize[1] + x] = uint8_t(64 + (x * 128) / (w / 2));
            f->data[2][y * f->linesize[2] + x] = uint8_t(192 - (x * 128) / (w / 2));
        }
    }
    const int side = h / 6;
    const int left = (index * 8) % (w - side);
    const int top = (h - side) / 2;
    for (int y = top; y < top + side; ++y) {
        std::fill_n(f->data[0] + size_t(y) * size_t(f->linesize[0]) + left, side, uint8_t(255));
    }
}

class TTestChannel {
public:
    int Open() {
        if (audio.initialize_item(AV_SAMPLE_FMT_S16, 2, 48000) != 0) {
            return -1;
        }
        pcm.resize(size_t(TEncodeAudio::kFrameSamples) * 2);
        return 0;
    }

    // Delivers this tick's picture at the size the programme asks for.
    void PushPicture(TCombineOut& out) {
        int w = 0;
        int h = 0;
        int count = 0;
        const int slot = out.GetIfNeedPushYUV_EX(1, w, h, count);
        if (slot <= 0) {
            return;
        }
        if (!picture || picture->width != w || picture->height != h) {
            picture = AllocPicture(w, h);
            if (!picture) {
                return;
            }
        }
        DrawTestPicture(picture.get(), pictures++);
        out.PushYUVtoCombine(picture.get(), 1, count, slot);
    }

    // Encodes 1024 samples of a 440 Hz tone and hands the AAC frames over.
    void PushSound(TCombineOut& out) {
        for (size_t i = 0; i < pcm.size() / 2; ++i, ++sample) {
            const auto v =
                int16_t(8000.0 * std::sin(2.0 * M_PI * 440.0 * double(sample) / 48000.0));
            pcm[2 * i] = pcm[2 * i + 1] = v;
        }
        audio.addPCM(nullptr, TEncodeAudio::kFrameSamples, reinterpret_cast<uint8_t*>(pcm.data()));
        bool frameError = false;
        while (audio.GetAAC(aac, frameError) > int(kMediaFrameHeadSize)) {
            const rAudioChannel level{50, 50, true, 0};
            out.PushAAC(aac.data() + kMediaFrameHeadSize, int(aac.size() - kMediaFrameHeadSize), 1,
                        &level);
        }
    }

private:
    TEncodeAudio audio;
    std::vector<int16_t> pcm;
    std::vector<uint8_t> aac;
    AvFramePtr picture;
    int pictures = 0;
    int64_t sample = 0;
};

} // namespace

int RunPushTest(const TCliArgs& args) {
    int seconds = 10;
    int resolution = 720;
    int bitrate = 4000;
    if (!args.GetInt("seconds", seconds) || !args.GetInt("resolution", resolution) ||
        !args.GetInt("bitrate", bitrate)) {
        return Fail(args.Error());
    }
    const std::string url = args.Get("rtmp");
    if (url.empty()) {
        return Fail("push-test needs --rtmp URL");
    }
    if (resolution != 720 && resolution != 1080) {
        return Fail("--resolution is 720 or 1080");
    }
    if (seconds <= 0 || bitrate < 800 || bitrate > 22528) {
        return Fail("--seconds must be positive and --bitrate within 800 ... 22528");
    }
    const int w = resolution == 720 ? 1280 : 1920;
    const int h = resolution == 720 ? 720 : 1080;

    TGloTimer timer;
    timer.initialize();
    TRtmpSend sender;
    sender.initialize(w, h, 0);
    sender.refreshURL(url);
    sender.SetPause(false);

    TLessionInfo lesson;
    lesson.LessionName = args.Get("name", "推流测试");
    TCombineOut out;
    if (out.initialize(nullptr, 0, w, h, int64_t(bitrate) * 1024, SDL_Rect{0, 0, 0, 0}, &lesson) ==
        TCombineOut::kNoPipeline) {
        std::fprintf(stderr, "tavrin-cli: the programme encoder cannot be opened\n");
        return kExitFailed;
    }
    out.SetOutputs(&sender, nullptr);
    const int32_t ports[] = {1};
    out.SetCombinePorts(ports, 1);
    out.SetMainPortForAudio(1);

    TTestChannel channel;
    if (channel.Open() != 0) {
        std::fprintf(stderr, "tavrin-cli: the AAC encoder cannot be opened\n");
        return kExitFailed;
    }
    sender.Start();
    out.Start();

    const uint32_t start = GetGlobeCount();
    const uint32_t end = uint32_t(seconds) * 1000;
    uint32_t nextPicture = 0;
    double nextSound = 0;
    uint32_t nextReport = 1000;
    TClientSendInfo info;
    for (uint32_t now = 0; now < end; now = GlobeElapsed(start)) {
        if (now >= nextPicture) {
            channel.PushPicture(out);
            nextPicture += 40;
        }
        while (now >= nextSound) {
            channel.PushSound(out);
            nextSound += 1024.0 * 1000.0 / 48000.0;
        }
        if (now >= nextReport) {
            sender.GetClientInfo(info);
            uint32_t v = 0;
            uint32_t a = 0;
            bool videoOK = false;
            bool audioOK = false;
            out.GetAVCounterThisperiod(v, a, videoOK, audioOK);
            std::printf("%3us  %s  programme %u fps, sound %u/s  sent %u  queued %u  dropped %u  "
                        "connects %u\n",
                        nextReport / 1000, info.bConnectOK ? "connected" : "not connected", v, a,
                        info.nHasSendFrames, info.nRemainFrames, info.nThrowFrames,
                        info.nReconnectCount);
            std::fflush(stdout);
            nextReport += 1000;
        }
        SleepMs(2);
    }
    out.Terminate();
    out.WaitFor();
    // Give the sender a moment to write what is still queued.
    for (int i = 0; i < 100; ++i) {
        sender.GetClientInfo(info);
        if (info.nRemainFrames == 0) {
            break;
        }
        SleepMs(20);
    }
    sender.Destroy();
    sender.GetClientInfo(info);
    std::printf("done: %u frames sent, %u dropped, %u connection attempts\n", info.nHasSendFrames,
                info.nThrowFrames, info.nReconnectCount);
    if (info.nHasSendFrames == 0) {
        std::fprintf(stderr, "tavrin-cli: nothing reached %s\n", url.c_str());
        return kExitFailed;
    }
    return 0;
}

} // namespace tavrin::cli
