// settings, paths and filter: the settings in force, a lesson's files and
// the drawtext filters of its caption and cards.
#include "base/GetLessionInfo.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "cli/Commands.h"

#include <cstdio>

namespace tavrin::cli {

namespace {

TLessionInfo LessonFromArgs(const TCliArgs& args) {
    TLessionInfo l;
    l.TeacherName = args.Get("teacher");
    l.LessionName = args.Get("name");
    l.subject = args.Get("subject");
    l.grade = args.Get("grade");
    l.version = args.Get("version");
    l.ShcoolName = args.Get("school");
    return l;
}

} // namespace

int RunSettings(const TCliArgs& args) {
    int screenWidth = 1920;
    int screenHeight = 1080;
    if (!args.GetInt("screen-width", screenWidth) || !args.GetInt("screen-height", screenHeight)) {
        return Fail(args.Error());
    }
    const std::string ini = args.Get("ini", SettingsFile());
    TSystemDrives drives;
    TMainSettings s;
    LoadSettings(ini, uint32_t(screenWidth), uint32_t(screenHeight), drives, s);
    const INIAnotherSet& a = s.another;
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

int RunPaths(const TCliArgs& args) {
    int lesson = 0;
    if (!args.Has("lesson")) {
        return Fail("paths needs --lesson ID");
    }
    if (!args.GetInt("lesson", lesson)) {
        return Fail(args.Error());
    }
    TGetLessionInfo paths;
    paths.initialize(args.Get("root", DefaultStoreRoot()), args.Get("user", "0"));
    TLessionInfo l = LessonFromArgs(args);
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

int RunFilter(const TCliArgs& args) {
    int resolution = 0;
    if (!args.GetInt("resolution", resolution)) {
        return Fail(args.Error());
    }
    TGetLessionInfo paths;
    TLessionInfo l = LessonFromArgs(args);
    std::string filter;
    const std::string& kind = args.Word();
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

} // namespace tavrin::cli
