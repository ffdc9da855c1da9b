// tavrin-cli: the headless front end over the console's libraries.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/GetLessionInfo.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "cli/CliArgs.h"

namespace {

using tavrin::cli::TCliArgs;

void PrintUsage() {
    std::printf(
        "usage: tavrin-cli COMMAND [--option value ...]\n"
        "\n"
        "commands:\n"
        "  settings [--ini FILE] [--screen-width W] [--screen-height H]\n"
        "      read vo.ini (default: next to the program), write missing defaults,\n"
        "      print the settings in force\n"
        "  paths --lesson ID [--root DIR] [--user ID] [--teacher NAME] [--name LESSON]\n"
        "      print the files of a lesson under the storage root\n"
        "  filter caption|title|tail [--resolution 0|1] [--name ..] [--subject ..]\n"
        "         [--grade ..] [--version ..] [--school ..] [--teacher ..]\n"
        "         [--maker ..] [--date ..]\n"
        "      print the drawtext filter of the live caption or an MP4 card\n"
        "  version\n");
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "tavrin-cli: %s\n", error.c_str());
    return 2;
}

int RunSettings(const TCliArgs& args) {
    int screenWidth = 1920;
    int screenHeight = 1080;
    if (!args.GetInt("screen-width", screenWidth) || !args.GetInt("screen-height", screenHeight)) {
        return Fail(args.Error());
    }
    const std::string ini = args.Get("ini", tavrin::ProgramFile("vo.ini"));
    tavrin::TSystemDrives drives;
    tavrin::TMainSettings s;
    tavrin::LoadSettings(ini, uint32_t(screenWidth), uint32_t(screenHeight), drives, s);
    const tavrin::INIAnotherSet& a = s.another;
    std::printf("settings file     %s\n", ini.c_str());
    std::printf("storage root      %s\n", s.rootPath.c_str());
    std::printf("free space        %.1f GiB\n",
                double(drives.FreeBytes(s.rootPath)) / (1024.0 * 1024.0 * 1024.0));
    std::printf("user              %d\n", s.userID);
    std::printf("channels          %u\n", a.clientCount);
    std::printf("window            %u x %u\n", s.cWidth, s.cHeight);
    std::printf("audio delay       %d frames\n", a.nAudioDelay);
    std::printf("video bit rate    %u x 1024 bit/s\n", a.videobitrate);
    std::printf("decoder threads   %d\n", a.nDecoderThreadCount);
    std::printf("programme         %d x %d\n", a.nYUVWidth, a.nYUVHeight);
    return 0;
}

tavrin::TLessionInfo LessonFromArgs(const TCliArgs& args) {
    tavrin::TLessionInfo l;
    l.TeacherName = args.Get("teacher");
    l.LessionName = args.Get("name");
    l.subject = args.Get("subject");
    l.grade = args.Get("grade");
    l.version = args.Get("version");
    l.ShcoolName = args.Get("school");
    return l;
}

int RunPaths(const TCliArgs& args) {
    int lesson = 0;
    if (!args.Has("lesson")) {
        return Fail("paths needs --lesson ID");
    }
    if (!args.GetInt("lesson", lesson)) {
        return Fail(args.Error());
    }
    tavrin::TGetLessionInfo paths;
    paths.initialize(args.Get("root", tavrin::DefaultStoreRoot()), args.Get("user", "0"));
    tavrin::TLessionInfo l = LessonFromArgs(args);
    l.LessionID = lesson;
    std::string s;
    paths.Get_CaptureDir(lesson, s);
    std::printf("capture folder  %s\n", s.c_str());
    paths.Get_IndexFile(lesson, s);
    std::printf("index           %s\n", s.c_str());
    paths.Get_AVDataFile(lesson, s);
    std::printf("media data      %s\n", s.c_str());
    paths.Get_AACFile(lesson, s);
    std::printf("temporary AAC   %s\n", s.c_str());
    paths.Get_H264File(lesson, s);
    std::printf("temporary H.264 %s\n", s.c_str());
    paths.Get_MP4File(l, s);
    std::printf("MP4             %s\n", s.c_str());
    return 0;
}

int RunFilter(const std::string& kind, const TCliArgs& args) {
    int resolution = 0;
    if (!args.GetInt("resolution", resolution)) {
        return Fail(args.Error());
    }
    tavrin::TGetLessionInfo paths;
    tavrin::TLessionInfo l = LessonFromArgs(args);
    std::string filter;
    if (kind == "caption") {
        paths.Get_WaterMark_inCapture(l, resolution, filter);
    } else if (kind == "title") {
        paths.Get_WaterMark(l, resolution, filter);
    } else if (kind == "tail") {
        paths.Get_WaterMark_backcover({args.Get("maker"), args.Get("date")}, resolution, filter);
    } else {
        return Fail("filter needs caption, title or tail");
    }
    std::printf("%s\n", filter.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        PrintUsage();
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    if (command == "version") {
        std::printf("tavrin-cli %s\n", tavrin::ProgramVersion());
        return 0;
    }
    const bool hasKind = command == "filter";
    if (hasKind && argc < 3) {
        return Fail("filter needs caption, title or tail");
    }
    TCliArgs args;
    if (!args.Parse(argc, argv, hasKind ? 3 : 2)) {
        return Fail(args.Error());
    }
    if (command == "settings") {
        return RunSettings(args);
    }
    if (command == "paths") {
        return RunPaths(args);
    }
    if (command == "filter") {
        return RunFilter(argv[2], args);
    }
    PrintUsage();
    return Fail("unknown command: " + command);
}
