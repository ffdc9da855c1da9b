// tavrin-cli: the headless front end over the console's libraries.
#include "base/ProgramDir.h"
#include "cli/Commands.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tavrin::cli {

int Fail(const std::string& error) {
    std::fprintf(stderr, "tavrin-cli: %s\n", error.c_str());
    return 2;
}

namespace {

const TCliCommand kCommands[] = {
    {"settings", "[--ini FILE] [--screen-width W] [--screen-height H]",
     "read vo.ini (default: next to the program), write missing defaults, print the settings",
     RunSettings},
    {"paths", "--lesson ID [--root DIR] [--user ID] [--teacher NAME] [--name LESSON]",
     "print the files of a lesson under the storage root", RunPaths},
    {"filter",
     "caption|title|tail [--resolution 0|1] [--name ..] [--subject ..] [--grade ..] "
     "[--version ..] [--school ..] [--teacher ..] [--maker ..] [--date ..]",
     "print the drawtext filter of the live caption or an MP4 card", RunFilter, true},
    {"login",
     "--user ID --password-file FILE [--host H] [--port P] [--ca FILE] [--ini FILE] "
     "[--cache FILE] [--timeout MS] [--accept-offline]",
     "sign in to the platform; print the result, the common information and the schedule",
     RunLogin},
    {"schedule",
     "--user ID --password-file FILE [--offline] [--cache FILE] [--host H] [--port P] [--ca FILE]",
     "print the lesson schedule from the platform, or with --offline from the saved list",
     RunSchedule},
    {"prepare", "--lesson ID [--root DIR] [--user ID] [--width W] [--height H] [--write-zeros]",
     "create (or check) a lesson's store as the recorder opens it, with a progress bar",
     RunPrepare},
    {"info", "--lesson ID [--root DIR] [--user ID] [--json]",
     "print a recorded lesson's head, counters and block table", RunInfo},
    {"cut", "--lesson ID [--root DIR] [--user ID] [--toggle 3,5-9] [--clear-all]",
     "clear all delete marks and/or toggle blocks, then save the marks", RunCut},
    {"record",
     "--lesson ID --seconds N --channel 1=file:PATH [--channel 2=image:JPG[|MP3]] [--channel "
     "3=device:CAMERA|MIC] [--channel 4=phone:IP] [--channel 5=desktop:IP] [--discover] "
     "[--root DIR] [--user ID] [--resolution 720|1080] [--bitrate KBIT] [--combine 1,2] "
     "[--audio 1] [--plan FILE.kvx [--scene ID]] [--script FILE] [--rtmp URL] [--name LESSON]",
     "record a lesson without a window (files, devices, phones); a script times the director's "
     "actions; prints the rates each second",
     RunRecord},
    {"frames", "--lesson ID --block N [--root DIR] [--user ID]",
     "list the frames of one block of a recorded lesson", RunFrames},
    {"mp4",
     "--lesson ID [--root DIR] [--user ID] [--mode 0|1|2] [--size 1280x720|1920x1080] "
     "[--bitrate K] [--cards standard|image|none] [--head-seconds N] [--tail-seconds N] "
     "[--name ..] [--subject ..] [--grade ..] [--version ..] [--school ..] [--teacher ..] "
     "[--maker TEXT] [--date YYYY-MM-DD] [--head-image JPG] [--tail-image JPG] "
     "[--audio-offset MS] [--out FILE]",
     "make the MP4 of a recorded lesson (kept blocks, title and tail cards), with a progress bar",
     RunMp4},
    {"replay",
     "--lesson ID --audio-out FILE [--root DIR] [--user ID] [--shift AUDIOFRAMES] [--no-audio]",
     "play a recorded lesson headless through the replay engine; the sound goes to FILE",
     RunReplay},
    {"push-test", "--rtmp URL [--seconds N] [--resolution 720|1080] [--bitrate K] [--name TEXT]",
     "push a moving test picture with a tone and the caption through the programme pipeline",
     RunPushTest},
    {"upload",
     "--mp4 FILE --server HOST:PORT --live-id N --user U --token-file F [--live-type 1] "
     "[--timeout S]",
     "send an MP4 to the platform's media server as a live stream of the lesson", RunUpload},
    {"devices", "[--try CAMERA|MIC] [--seconds N]",
     "list local cameras and microphones (TAVRIN_VIRTUAL_DEVICES=1: the virtual ones); "
     "--try opens one of each and reports what they deliver",
     RunDevices},
};

void PrintCommand(const TCliCommand& c) {
    std::printf("  %s %s\n      %s\n", c.name, c.usage, c.summary);
}

void PrintUsage() {
    std::printf("usage: tavrin-cli COMMAND [options]   (tavrin-cli COMMAND --help)\n\ncommands:\n");
    for (const TCliCommand& c : kCommands) {
        PrintCommand(c);
    }
    std::printf("  version\n      print the version\n");
}

} // namespace
} // namespace tavrin::cli

int main(int argc, char** argv) {
    using namespace tavrin::cli;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        PrintUsage();
        return argc < 2 ? 2 : 0;
    }
    const std::string name = argv[1];
    if (name == "version" || name == "--version") {
        std::printf("tavrin-cli %s\n", tavrin::ProgramVersion());
        return 0;
    }
    for (const TCliCommand& command : kCommands) {
        if (name != command.name) {
            continue;
        }
        TCliArgs args;
        if (!args.Parse(argc, argv, 2, command.takesWord)) {
            return Fail(args.Error() + " (see tavrin-cli " + name + " --help)");
        }
        if (args.Has("help")) {
            std::printf("usage: tavrin-cli %s %s\n  %s\n", command.name, command.usage,
                        command.summary);
            return 0;
        }
        return command.run(args);
    }
    PrintUsage();
    return Fail("unknown command: " + name);
}
