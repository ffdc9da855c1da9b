// replay: plays a recorded lesson headless through the replay engine, with
// the sound written by SDL's disk audio driver, for diagnosis.
#include "base/GloTimer.h"
#include "base/StorageDrive.h"
#include "base/Thread.h"
#include "cli/Commands.h"
#include "replay/ReplayClientThread.h"

#include <cstdio>
#include <cstdlib>

namespace tavrin::cli {

int RunReplay(const TCliArgs& args) {
    int lesson = 0;
    int shift = 0;
    if (!args.Has("lesson") || !args.GetInt("lesson", lesson) || !args.GetInt("shift", shift)) {
        return Fail(args.Has("lesson") ? args.Error() : "needs --lesson ID");
    }
    if (!args.Has("audio-out") || args.Get("audio-out").empty()) {
        return Fail("needs --audio-out FILE");
    }
    // Headless: pictures go to an offscreen port, sound to a file.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", args.Get("audio-out").c_str(), 1);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    TGloTimer().initialize();
    TGetLessionInfo paths;
    paths.initialize(args.Get("root", DefaultStoreRoot()), args.Get("user", "0"));
    TReplayClientThread engine(paths);
    const int opened = engine.initialize(lesson, 0, {0, 0, 640, 360}, 0, 0, 1200, 120);
    if (opened != 0) {
        std::fprintf(stderr, "tavrin-cli: lesson %d cannot be replayed (%d)\n", lesson, opened);
        return kExitFailed;
    }
    if (!engine.WavePlayer().IsOpen()) {
        std::fprintf(stderr, "tavrin-cli: the disk audio device did not open\n");
        return kExitFailed;
    }
    if (args.Has("no-audio")) {
        engine.DisablePlayAudio();
    }
    engine.SetAudioDelayFrameCount(shift);
    TIndex_Head head{};
    const int blocks = engine.GetLessionInfo_struc(head);
    engine.Start();
    while (!engine.AtEnd()) {
        std::fprintf(stderr, "\r正在回放... %s  第 %d / %d 块", engine.Length().sTotalTime.c_str(),
                     engine.CurrentIBlock() + 1, blocks);
        std::fflush(stderr);
        SleepMs(100);
    }
    // Let the device play what is queued.
    for (int i = 0; i < 100 && engine.WavePlayer().GetRemainCount() > 0; ++i) {
        SleepMs(10);
    }
    engine.Destroy();
    engine.GetLessionInfo_struc(head);
    std::fprintf(stderr, "\n");
    std::printf("length %s\naudio frames %lld\npictures %lld\nsize %dx%d\n",
                engine.Length().sTotalTime.c_str(), (long long)engine.AudioFramesPlayed(),
                (long long)engine.PicturesShown(), head.videoWidth, head.videoHeight);
    return 0;
}

} // namespace tavrin::cli
