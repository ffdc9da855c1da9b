// record: records a lesson without a window. Each --channel feeds one
// channel from an MP4/MKV file (looped), a JPEG with optional MP3 music, a
// local camera and microphone, or a phone or desktop streaming app on the
// network; --discover finds streaming apps on the local network. The
// programme combines the chosen channels (or a scene of an activity plan),
// takes its sound from one of them and is recorded into the lesson's store
// (and sent live with --rtmp). A lesson script drives the director's
// actions over time. Prints the rates of every channel each second.
#include "base/GetLessionInfo.h"
#include "base/GloTimer.h"
#include "base/IniFile.h"
#include "base/Message.h"
#include "base/StorageDrive.h"
#include "cli/ChannelChoice.h"
#include "cli/Commands.h"
#include "cli/LessonScript.h"
#include "cli/LiveLine.h"
#include "cli/LivePushLog.h"
#include "cli/MarkProbe.h"
#include "cli/ScriptDirector.h"
#include "compose/CombineVideo.h"
#include "compose/ScreenLayout.h"
#include "output/SaveAV.h"
#include "sources/CManager.h"
#include "sources/CaptureSession.h"
#include "sources/ClientThread.h"
#include "sources/Discovery.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace tavrin::cli {

namespace {

constexpr int kMaxChannels = 5;
// Programme scenes are drawn on this canvas and scaled to the programme.
constexpr int kSceneCanvasWidth = 1920;
constexpr int kSceneCanvasHeight = 1080;
constexpr uint32_t kRediscoverMs = 5000;

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) {
    gStop = 1;
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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

const char* PlanFailure(int result) {
    switch (result) {
    case 1:
        return "is not an activity plan (no JSON)";
    case -2:
        return "names a background picture that cannot be decoded";
    default:
        return "cannot be read";
    }
}

// The status lines of connection changes.
void DescribeEvents(const std::vector<TChannelEvent>& events, std::vector<std::string>& lines) {
    for (const TChannelEvent& e : events) {
        const std::string ch = "ch" + std::to_string(e.nChannel);
        switch (e.kind) {
        case TChannelEvent::kConnected:
            lines.push_back(ch + " connected " + e.info.ID + " at " + e.info.IP + " (" +
                            std::to_string(e.info.VideoWidth) + "x" +
                            std::to_string(e.info.VideoHeight) + ")");
            break;
        case TChannelEvent::kLost:
            lines.push_back(ch + " connection lost");
            break;
        case TChannelEvent::kReconnecting:
            lines.push_back(ch + " reconnecting");
            break;
        default:
            break; // the window's notices
        }
    }
}

// What reached the store, against what was produced: the recorder's counts
// since the previous line.
struct TRecordedCounts {
    int nPictures = 0;
    int nAudio = 0;
};

std::string RatesLine(TCaptureSession& session, int second, TRecordedCounts& last) {
    std::string line = "t=" + std::to_string(second) + "s";
    TChannelCounters c;
    for (int ch = 1; ch <= kMaxChannels; ++ch) {
        if (session.Counters(ch, c) <= 0) {
            continue; // no source on this channel
        }
        line += "  ch" + std::to_string(ch) + " video " + std::to_string(c.nVideo) + " audio " +
                std::to_string(c.nAudio);
    }
    session.Counters(0, c);
    TRecordedCounts now;
    session.RecordedFrames(now.nPictures, now.nAudio);
    line += "  programme video " + std::to_string(c.nVideo) + " audio " + std::to_string(c.nAudio) +
            "  recorded video " + std::to_string(now.nPictures - last.nPictures) + " audio " +
            std::to_string(now.nAudio - last.nAudio);
    last = now;
    return line;
}

void Print(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
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
    const bool discover = args.Has("discover");

    std::vector<TChannelChoice> choices;
    for (const std::string& text : args.GetAll("channel")) {
        TChannelChoice choice;
        std::string error;
        if (!ParseChannelChoice(text, kMaxChannels, choice, error)) {
            return Fail(error);
        }
        for (const TChannelChoice& other : choices) {
            if (other.channel == choice.channel) {
                return Fail("channel " + std::to_string(choice.channel) + " given twice");
            }
            if (other.path == choice.path && other.type == choice.type) {
                return Fail(choice.path + " given for channels " + std::to_string(other.channel) +
                            " and " + std::to_string(choice.channel));
            }
        }
        choices.push_back(choice);
    }
    if (choices.empty() && !discover) {
        return Fail("record needs at least one --channel, or --discover");
    }
    for (const TChannelChoice& choice : choices) {
        if (choice.type != kDeviceImage && choice.type != kDeviceMp4) {
            continue; // device names and addresses, not files
        }
        for (const std::string& file : {choice.path, choice.second}) {
            if (!file.empty() && !IsFile(file)) {
                std::fprintf(stderr, "tavrin-cli: no such file: %s\n", file.c_str());
                return kExitNoFile;
            }
        }
    }

    std::vector<int32_t> combine;
    if (args.Has("combine")) {
        if (!ParseNumberList(args.Get("combine"), combine)) {
            return Fail("--combine needs channel numbers like 1,2");
        }
    } else {
        for (const TChannelChoice& choice : choices) {
            if (combine.size() < size_t(TCombineVideo::kMaxPorts)) {
                combine.push_back(choice.channel);
            }
        }
        if (combine.empty()) {
            combine.push_back(1); // the first phone found
        }
    }
    if (combine.size() > size_t(TCombineVideo::kMaxPorts)) {
        return Fail("--combine takes at most 4 channels");
    }
    for (int ch : combine) {
        if (ch < 1 || ch > kMaxChannels) {
            return Fail("--combine names channel " + std::to_string(ch) + ", not 1 to 5");
        }
    }
    int audio = combine.front();
    if (!args.GetInt("audio", audio)) {
        return Fail(args.Error());
    }
    if (audio < 1 || audio > kMaxChannels) {
        return Fail("--audio must name a channel 1 to 5");
    }

    std::vector<TScriptAction> actions;
    if (args.Has("script")) {
        std::string text;
        if (!ReadWholeFile(args.Get("script"), text)) {
            std::fprintf(stderr, "tavrin-cli: no such file: %s\n", args.Get("script").c_str());
            return kExitNoFile;
        }
        std::string error;
        if (!ParseLessonScript(text, kMaxChannels, actions, error)) {
            return Fail(args.Get("script") + ", " + error);
        }
    }
    int scene = 0;
    if (!args.GetInt("scene", scene)) {
        return Fail(args.Error());
    }
    if (args.Has("scene") && !args.Has("plan")) {
        return Fail("--scene needs --plan FILE");
    }
    const bool sceneInScript = std::any_of(
        actions.begin(), actions.end(), [](const auto& a) { return a.verb == TScriptVerb::Scene; });
    if (sceneInScript && !args.Has("plan")) {
        return Fail("the script uses scenes: --plan FILE is needed");
    }

    TScreenLayout layout;
    if (args.Has("plan")) {
        const std::string plan = args.Get("plan");
        if (!IsFile(plan)) {
            std::fprintf(stderr, "tavrin-cli: no such file: %s\n", plan.c_str());
            return kExitNoFile;
        }
        layout.initialize(kSceneCanvasWidth, kSceneCanvasHeight);
        if (const int r = layout.loadProject(plan); r != 0) {
            std::fprintf(stderr, "tavrin-cli: %s %s\n", plan.c_str(), PlanFailure(r));
            return kExitCannotOpen;
        }
    }

    static int qtArgc = 1;
    static char qtName[] = "tavrin-cli";
    static char* qtArgv[] = {qtName, nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        app = std::make_unique<QCoreApplication>(qtArgc, qtArgv);
    }

    TGloTimer clock;
    clock.initialize();

    TCaptureSessionConfig cfg;
    cfg.paths.initialize(args.Get("root", DefaultStoreRoot()), args.Get("user", "0"));
    cfg.lesson.LessionID = lesson;
    cfg.lesson.LessionName = args.Get("name", "Lesson " + std::to_string(lesson));
    cfg.lesson.TeacherName = args.Get("teacher", "");
    cfg.lesson.subject = args.Get("subject", "");
    cfg.nYUVWidth = width;
    cfg.nYUVHeight = height;
    cfg.nBitrate = int64_t(bitrateK) * 1024;
    cfg.rtmpURL = args.Get("rtmp");
    cfg.nChannels = kMaxChannels;
    cfg.bPreviewShown = false; // the panes are offscreen: nobody would see a preview
    cfg.layout = args.Has("plan") ? &layout : nullptr;
    cfg.bDiscovery = discover;

    TCaptureSession session;
    const int started = session.Start(cfg);
    switch (started) {
    case TCaptureSession::kStartOK:
        break;
    case TCaptureSession::kNoProgramme:
        std::fprintf(stderr, "tavrin-cli: the programme encoder cannot be opened\n");
        return kExitFailed;
    default:
        // As the console says it (a full disk reads as a data file that
        // cannot be made).
        ShowMessage(NewLessionFailureText(started, session.CaptureDir()), TMsgIcon::Error);
        return kExitFailed;
    }
    const std::string dir = session.CaptureDir();
    TCManager& manager = *session.Manager();
    TDirector director = session.Director();
    for (const TChannelChoice& choice : choices) {
        // Files play in a loop.
        director.Connect(ConnectAddress(choice), choice.channel, choice.type, true);
        if (const int r = manager.SourceResult(choice.channel); r != 0) {
            const std::string& bad = choice.type == kDeviceImage ? choice.second : choice.path;
            std::fprintf(stderr, "tavrin-cli: channel %d: %s %s\n", choice.channel, bad.c_str(),
                         OpenFailure(choice.type, r));
            return kExitCannotOpen;
        }
    }

    director.Combine(combine);
    director.Audio(audio);
    if (args.Has("scene") && director.UseScene(scene) < 0) {
        std::fprintf(stderr, "tavrin-cli: the plan has no scene %d\n", scene);
        return kExitCannotOpen;
    }
    session.SetRecording(true);

    if (discover) {
        if (const int r = session.Discover(); r < 0) {
            std::fprintf(stderr, "tavrin-cli: discovery is not available: %s\n",
                         TDiscovery::GetErrorByID(r).c_str());
        }
    }

    // The latency probe: when the programme showed the phones' marked pictures.
    std::unique_ptr<TMarkProbe> marks;
    if (args.Has("marks") && manager.Programme() != nullptr) {
        // The scripts that ask for marks show channels 1-4 in quadrants 1-4.
        std::vector<const TClientThread*> shown;
        for (int ch = 1; ch <= TMarkProbe::kSlots; ++ch) {
            shown.push_back(manager.Worker(ch));
        }
        marks = std::make_unique<TMarkProbe>(*manager.Programme(), std::move(shown));
    }
    TCombineOut::TTickStats ticksBefore;
    if (manager.Programme() != nullptr) {
        manager.Programme()->GetTickStats(ticksBefore);
    }
    TScriptDirector script(session.Director(), std::move(actions));
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    const uint32_t start = GetGlobeCount();
    int second = 0;
    uint32_t lastProbe = 0;
    TRecordedCounts recordedBefore;
    session.RecordedFrames(recordedBefore.nPictures, recordedBefore.nAudio);
    TRecordedCounts recordedLast = recordedBefore;
    std::vector<TChannelEvent> events;
    TLivePushLog live;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const uint32_t elapsed = GlobeElapsed(start);
        std::vector<std::string> lines = script.RunDue(elapsed);
        events.clear();
        session.PollConnections(events);
        DescribeEvents(events, lines);
        if (session.DiscoveryOn() && elapsed - lastProbe >= kRediscoverMs) {
            lastProbe = elapsed;
            session.Discover();
        }
        if (elapsed >= uint32_t(second + 1) * 1000) {
            ++second;
            lines.push_back(RatesLine(session, second, recordedLast));
            if (TClientSendInfo sent; session.SenderInfo(sent) && sent.bSetURL) {
                lines.push_back(LiveLine(second, sent));
            }
            events.clear();
            session.Tick(events);
            DescribeEvents(events, lines);
            if (TClientSendInfo info; session.SenderInfo(info)) {
                live.Update(info, lines);
            }
        }
        Print(lines);
        if (gStop || second >= seconds) {
            QCoreApplication::quit();
        }
    });
    timer.start(10);
    QCoreApplication::exec();
    timer.stop();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    TCombineOut::TTickStats ticks;
    if (manager.Programme() != nullptr) {
        manager.Programme()->GetTickStats(ticks);
    }
    if (marks && !marks->Write(args.Get("marks"))) {
        std::fprintf(stderr, "tavrin-cli: cannot write %s\n", args.Get("marks").c_str());
    }
    marks.reset();
    session.SetRecording(false);
    int64_t droppedVideo = 0;
    for (int ch = 1; ch <= kMaxChannels; ++ch) {
        if (const TClientThread* worker = manager.Worker(ch)) {
            droppedVideo += worker->DroppedVideo();
        }
    }
    int recorded = 0;
    int mbytes = 0;
    session.RecordTotals(recorded, mbytes);
    TRecordedCounts recordedAfter;
    session.RecordedFrames(recordedAfter.nPictures, recordedAfter.nAudio);
    session.Stop();
    std::printf("lesson %d recorded in %s: %d s in the store, %d MiB of av.dat in use, "
                "%lld queued pictures dropped, %d pictures and %d audio frames recorded\n",
                lesson, dir.c_str(), recorded, mbytes, static_cast<long long>(droppedVideo),
                recordedAfter.nPictures - recordedBefore.nPictures,
                recordedAfter.nAudio - recordedBefore.nAudio);
    std::printf("programme: %llu ticks, %llu missed\n",
                static_cast<unsigned long long>(ticks.ticks - ticksBefore.ticks),
                static_cast<unsigned long long>(ticks.missed - ticksBefore.missed));
    std::printf("programme: %llu missed ticks made up in the recording\n",
                static_cast<unsigned long long>(ticks.repeated - ticksBefore.repeated));
    return 0;
}

} // namespace tavrin::cli
