// record: records a lesson from local files without a window. Each
// --channel feeds one slot from an MP4/MKV file (looped) or a JPEG with
// optional MP3 music; the programme combines the chosen channels, takes its
// sound from one of them and is recorded into the lesson's store (and sent
// live with --rtmp). Prints the rates of every channel each second.
#include "base/GetLessionInfo.h"
#include "base/GloTimer.h"
#include "base/IniFile.h"
#include "base/StorageDrive.h"
#include "base/Thread.h"
#include "cli/Commands.h"
#include "compose/CombineOut.h"
#include "decode/DispManager.h"
#include "output/RtmpSend.h"
#include "output/SaveAV.h"
#include "sources/AVMaker.h"
#include "sources/ClientThread.h"
#include "sources/CombineOutLink.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace tavrin::cli {

namespace {

constexpr int kMaxChannels = 5;

// Exit statuses besides 0 and the usage error 2.
constexpr int kExitStore = 1;      // the lesson's store cannot be opened
constexpr int kExitNoFile = 3;     // a source file does not exist
constexpr int kExitCannotOpen = 4; // a source file exists but cannot be played

struct TChannelChoice {
    int channel = 0;
    uint8_t type = kDeviceNone;
    std::string path;
    std::string mp3;
};

struct TSlot {
    TChannelChoice choice;
    TClientInfo info;
    std::unique_ptr<TClientThread> worker;
    std::unique_ptr<TAVMaker> maker;
};

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) {
    gStop = 1;
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "N=file:PATH", "N=image:JPG[|MP3]" or "N=device:CAMERA[|MICROPHONE]".
bool ParseChannel(const std::string& text, TChannelChoice& choice, std::string& error) {
    const size_t eq = text.find('=');
    const size_t colon = text.find(':', eq == std::string::npos ? 0 : eq);
    if (eq == std::string::npos || colon == std::string::npos || eq == 0) {
        error = "--channel needs N=file:PATH, N=image:JPG[|MP3] or N=device:CAMERA[|MIC], not \"" +
                text + "\"";
        return false;
    }
    int32_t n = 0;
    if (!ParseInt32(text.substr(0, eq), n) || n < 1 || n > kMaxChannels) {
        error =
            "--channel number must be 1 to " + std::to_string(kMaxChannels) + ": \"" + text + "\"";
        return false;
    }
    choice.channel = n;
    const std::string kind = text.substr(eq + 1, colon - eq - 1);
    const std::string rest = text.substr(colon + 1);
    if (kind == "file") {
        choice.type = kDeviceMp4;
        choice.path = rest;
    } else if (kind == "image") {
        choice.type = kDeviceImage;
        const size_t bar = rest.find('|');
        choice.path = rest.substr(0, bar);
        if (bar != std::string::npos) {
            choice.mp3 = rest.substr(bar + 1);
            if (choice.mp3.empty()) {
                error = "--channel " + text + ": nothing after \"|\"";
                return false;
            }
        }
    } else if (kind == "device") {
        // A camera and a microphone by their listed names (tavrin-cli devices).
        choice.type = kDeviceCamera;
        const size_t bar = rest.find('|');
        choice.path = rest.substr(0, bar);
        if (bar != std::string::npos) {
            choice.mp3 = rest.substr(bar + 1);
        }
    } else {
        error = "--channel kind must be file, image or device, not \"" + kind + "\"";
        return false;
    }
    if (choice.path.empty()) {
        error = "--channel " + text + ": no file given";
        return false;
    }
    return true;
}

bool ParseList(const std::string& text, std::vector<int32_t>& out) {
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        int32_t n = 0;
        if (!ParseInt32(item, n)) {
            return false;
        }
        out.push_back(n);
    }
    return !out.empty();
}

const char* OpenFailure(uint8_t type, int result) {
    if (type == kDeviceCamera) {
        return "names no listed camera or microphone";
    }
    if (type == kDeviceImage) {
        return result == -3 ? "has no audio stream" : "cannot be opened as MP3";
    }
    switch (result) {
    case -1:
        return "cannot be opened";
    case -2:
        return "has no readable stream information";
    default:
        return "lacks an H.264 video or an audio stream";
    }
}

} // namespace

int RunRecord(const TCliArgs& args) {
    int lesson = 0;
    int seconds = 0;
    int resolution = 720;
    int bitrateK = 2048;
    if (!args.Has("lesson") || !args.Has("seconds")) {
        return Fail("record needs --lesson ID and --seconds N");
    }
    if (!args.GetInt("lesson", lesson) || !args.GetInt("seconds", seconds) ||
        !args.GetInt("resolution", resolution) || !args.GetInt("bitrate", bitrateK)) {
        return Fail(args.Error());
    }
    if (seconds <= 0 || seconds > 24 * 3600) {
        return Fail("--seconds must be 1 to 86400");
    }
    if (resolution != 720 && resolution != 1080) {
        return Fail("--resolution must be 720 or 1080");
    }
    if (bitrateK < 64 || bitrateK > 100000) {
        return Fail("--bitrate must be 64 to 100000 (kbit/s)");
    }
    const int width = resolution == 720 ? 1280 : 1920;
    const int height = resolution == 720 ? 720 : 1080;

    std::vector<TSlot> slots;
    for (const std::string& text : args.GetAll("channel")) {
        TSlot slot;
        std::string error;
        if (!ParseChannel(text, slot.choice, error)) {
            return Fail(error);
        }
        for (const TSlot& other : slots) {
            if (other.choice.channel == slot.choice.channel) {
                return Fail("channel " + std::to_string(slot.choice.channel) + " given twice");
            }
        }
        slots.push_back(std::move(slot));
    }
    if (slots.empty()) {
        return Fail("record needs at least one --channel");
    }
    for (const TSlot& slot : slots) {
        if (slot.choice.type == kDeviceCamera) {
            continue; // device names, not files
        }
        for (const std::string& file : {slot.choice.path, slot.choice.mp3}) {
            if (!file.empty() && !IsFile(file)) {
                std::fprintf(stderr, "tavrin-cli: no such file: %s\n", file.c_str());
                return kExitNoFile;
            }
        }
    }
    std::vector<int32_t> combine;
    if (args.Has("combine")) {
        if (!ParseList(args.Get("combine"), combine)) {
            return Fail("--combine needs channel numbers like 1,2");
        }
    } else {
        for (const TSlot& slot : slots) {
            if (combine.size() < size_t(TCombineVideo::kMaxPorts)) {
                combine.push_back(slot.choice.channel);
            }
        }
    }
    if (combine.size() > size_t(TCombineVideo::kMaxPorts)) {
        return Fail("--combine takes at most 4 channels");
    }
    auto known = [&slots](int ch) {
        return std::any_of(slots.begin(), slots.end(),
                           [ch](const TSlot& s) { return s.choice.channel == ch; });
    };
    for (int ch : combine) {
        if (!known(ch)) {
            return Fail("--combine names channel " + std::to_string(ch) +
                        " which has no --channel");
        }
    }
    int audio = combine.front();
    if (!args.GetInt("audio", audio)) {
        return Fail(args.Error());
    }
    if (!known(audio)) {
        return Fail("--audio names channel " + std::to_string(audio) + " which has no --channel");
    }

    TGloTimer clock;
    clock.initialize();

    TGetLessionInfo paths;
    paths.initialize(args.Get("root", DefaultStoreRoot()), args.Get("user", "0"));
    std::string dir;
    paths.Get_CaptureDir(lesson, dir);
    TSaveAV recorder;
    recorder.Create(paths);
    if (recorder.NewLession(lesson, width, height) != TSaveAV::kNewOK) {
        std::fprintf(stderr, "tavrin-cli: the store of lesson %d cannot be opened in %s\n", lesson,
                     dir.c_str());
        return kExitStore;
    }

    std::unique_ptr<TRtmpSend> sender;
    if (args.Has("rtmp")) {
        sender = std::make_unique<TRtmpSend>();
        sender->initialize(width, height, 0);
        sender->refreshURL(args.Get("rtmp"));
        sender->SetPause(false);
        sender->Start();
    }

    TLessionInfo info;
    info.LessionID = lesson;
    info.LessionName = args.Get("name", "Lesson " + std::to_string(lesson));
    info.TeacherName = args.Get("teacher", "");
    info.subject = args.Get("subject", "");
    TDispManager ports;
    ports.initialize();
    TCombineOut out;
    out.SetOutputs(sender.get(), &recorder);
    if (out.initialize(&ports, 0, width, height, int64_t(bitrateK) * 1024, {0, 0, 320, 180},
                       &info) < 0) {
        std::fprintf(stderr, "tavrin-cli: the programme encoder cannot be opened\n");
        recorder.EndLession();
        return kExitStore;
    }
    TCombineOutLink programme(&out);

    for (TSlot& slot : slots) {
        slot.worker = std::make_unique<TClientThread>();
        if (slot.worker->initialize(slot.choice.channel, slot.choice.channel, width, height) != 0) {
            std::fprintf(stderr, "tavrin-cli: channel %d: no decoder\n", slot.choice.channel);
            recorder.EndLession();
            return kExitCannotOpen;
        }
        // No preview ports: nobody looks at them without a window.
        slot.worker->SetLinks(&programme, nullptr, nullptr);
        slot.worker->SetIsAudioMainPort(slot.choice.channel == audio);
        slot.info.DeviceType = slot.choice.type;
        slot.info.IP = slot.choice.path;
        if (slot.choice.type == kDeviceCamera) {
            slot.info.AudioDeviceName = slot.choice.mp3;
        } else {
            slot.info.Mp3Name = slot.choice.mp3;
        }
        slot.info.nChannel = slot.choice.channel;
        slot.maker = std::make_unique<TAVMaker>();
        slot.maker->initialize(slot.worker.get(), &slot.info, &programme);
        if (slot.maker->SourceResult() != 0) {
            const std::string& bad =
                slot.choice.type == kDeviceImage ? slot.choice.mp3 : slot.choice.path;
            std::fprintf(stderr, "tavrin-cli: channel %d: %s %s\n", slot.choice.channel,
                         bad.c_str(), OpenFailure(slot.choice.type, slot.maker->SourceResult()));
            slots.clear();
            recorder.EndLession();
            return kExitCannotOpen;
        }
        slot.maker->SetCycle(true); // files play in a loop
        slot.worker->Start();
        slot.maker->Start();
    }
    out.SetCombinePorts(combine.data(), int(combine.size()));
    out.SetMainPortForAudio(audio);
    out.SetCaptureState(true);
    out.Start();

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    const uint32_t start = GetGlobeCount();
    for (int second = 1; second <= seconds && !gStop; ++second) {
        while (!gStop && GlobeElapsed(start) < uint32_t(second) * 1000) {
            SleepMs(5);
        }
        std::string line = "t=" + std::to_string(second) + "s";
        for (TSlot& slot : slots) {
            int v = 0;
            int a = 0;
            slot.maker->GetAVCounterThisperiod(v, a);
            line += "  ch" + std::to_string(slot.choice.channel) + " video " + std::to_string(v) +
                    " audio " + std::to_string(a);
        }
        uint32_t pv = 0;
        uint32_t pa = 0;
        bool videoOK = false;
        bool audioOK = false;
        out.GetAVCounterThisperiod(pv, pa, videoOK, audioOK);
        line += "  programme video " + std::to_string(pv) + " audio " + std::to_string(pa);
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    out.SetCaptureState(false);
    for (TSlot& slot : slots) {
        slot.maker->SetDisconnect();
        slot.maker->Destroy();
    }
    out.Terminate();
    out.WaitFor();
    for (TSlot& slot : slots) {
        slot.worker->Destroy();
    }
    if (sender) {
        sender->Destroy();
    }
    int recorded = 0;
    int mbytes = 0;
    recorder.Get_TotalCaptureSeconds(recorded, mbytes);
    recorder.EndLession();
    int64_t droppedVideo = 0;
    for (const TSlot& slot : slots) {
        droppedVideo += slot.worker->DroppedVideo();
    }
    std::printf("lesson %d recorded in %s: %d s in the store, %d MiB of av.dat in use, "
                "%lld queued pictures dropped\n",
                lesson, dir.c_str(), recorded, mbytes, static_cast<long long>(droppedVideo));
    return 0;
}

} // namespace tavrin::cli
