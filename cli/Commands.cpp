// The command table of tavrin-cli: each command, the options it declares,
// its usage line and its entry point.
#include "cli/Commands.h"

#include <cstdio>

namespace tavrin::cli {

int Fail(const std::string& error) {
    std::fprintf(stderr, "tavrin-cli: %s\n", error.c_str());
    return kExitUsage;
}

namespace {

const TCliCommand kCommands[] = {
    {"settings",
     "ini= screen-width= screen-height=", "[--ini FILE] [--screen-width W] [--screen-height H]",
     "read vo.ini (default: the one the console uses), write missing defaults, print the settings",
     RunSettings},
    {"paths", "lesson= root= user= teacher= name= subject= grade= version= school=",
     "--lesson ID [--root DIR] [--user ID] [--teacher NAME] [--name LESSON] [--subject ..] "
     "[--grade ..] [--version ..] [--school ..]",
     "print the files of a lesson under the storage root", RunPaths},
    {"filter", "resolution= name= subject= grade= version= school= teacher= maker= date=",
     "caption|title|tail [--resolution 0|1] [--name ..] [--subject ..] [--grade ..] "
     "[--version ..] [--school ..] [--teacher ..] [--maker ..] [--date ..]",
     "print the drawtext filter of the live caption or an MP4 card", RunFilter, true},
    {"login", "user= password-file= host= port= ca= ini= cache= timeout= accept-offline",
     "--user ID --password-file FILE [--host H] [--port P] [--ca FILE] [--ini FILE] "
     "[--cache FILE] [--timeout MS] [--accept-offline]",
     "sign in to the platform; print the result, the common information and the schedule",
     RunLogin},
    {"schedule",
     "user= password-file= offline cache= host= port= ca= ini= timeout= "
     "accept-offline",
     "--user ID --password-file FILE [--offline] [--cache FILE] [--host H] [--port P] [--ca FILE] "
     "[--ini FILE] [--timeout MS] [--accept-offline]",
     "print the lesson schedule from the platform, or with --offline from the saved list",
     RunSchedule},
    {"prepare", "lesson= root= user= width= height= write-zeros",
     "--lesson ID [--root DIR] [--user ID] [--width W] [--height H] [--write-zeros]",
     "create (or check) a lesson's store as the recorder opens it, with a progress bar",
     RunPrepare},
    {"info", "lesson= root= user= json", "--lesson ID [--root DIR] [--user ID] [--json]",
     "print a recorded lesson's head, counters and block table", RunInfo},
    {"cut", "lesson= root= user= toggle= clear-all",
     "--lesson ID [--root DIR] [--user ID] [--toggle 3,5-9] [--clear-all]",
     "clear all delete marks and/or toggle blocks, then save the marks", RunCut},
    {"record",
     "lesson= seconds= channel= discover root= user= resolution= bitrate= combine= "
     "audio= plan= scene= script= rtmp= name= teacher= subject= marks=",
     "--lesson ID --seconds N --channel 1=file:PATH [--channel 2=image:JPG[|MP3]] [--channel "
     "3=device:CAMERA|MIC] [--channel 4=phone:IP] [--channel 5=desktop:IP] [--discover] "
     "[--root DIR] [--user ID] [--resolution 720|1080] [--bitrate KBIT] [--combine 1,2] "
     "[--audio 1] [--plan FILE.kvx [--scene ID]] [--script FILE] [--rtmp URL] [--name LESSON] "
     "[--teacher NAME] [--subject TEXT] [--marks FILE]",
     "record a lesson without a window (files, devices, phones); a script times the director's "
     "actions; prints the rates each second",
     RunRecord},
    {"frames", "lesson= block= root= user=", "--lesson ID --block N [--root DIR] [--user ID]",
     "list the frames of one block of a recorded lesson", RunFrames},
    {"mp4",
     "lesson= root= user= mode= size= bitrate= cards= head-seconds= tail-seconds= "
     "name= subject= grade= version= school= teacher= maker= date= head-image= "
     "tail-image= audio-offset= out=",
     "--lesson ID [--root DIR] [--user ID] [--mode 0|1|2] [--size 1280x720|1920x1080] "
     "[--bitrate K] [--cards standard|image|none] [--head-seconds N] [--tail-seconds N] "
     "[--name ..] [--subject ..] [--grade ..] [--version ..] [--school ..] [--teacher ..] "
     "[--maker TEXT] [--date YYYY-MM-DD] [--head-image JPG] [--tail-image JPG] "
     "[--audio-offset MS] [--out FILE]",
     "make the MP4 of a recorded lesson (kept blocks, title and tail cards), with a progress bar",
     RunMp4},
    {"replay", "lesson= audio-out= root= user= shift= no-audio",
     "--lesson ID --audio-out FILE [--root DIR] [--user ID] [--shift AUDIOFRAMES] [--no-audio]",
     "play a recorded lesson headless through the replay engine; the sound goes to FILE",
     RunReplay},
    {"push-test", "rtmp= seconds= resolution= bitrate= name=",
     "--rtmp URL [--seconds N] [--resolution 720|1080] [--bitrate K] [--name TEXT]",
     "push a moving test picture with a tone and the caption through the programme pipeline",
     RunPushTest},
    {"upload", "mp4= server= live-id= user= token-file= live-type= timeout=",
     "--mp4 FILE --server HOST:PORT --live-id N --user U --token-file F [--live-type 1] "
     "[--timeout S]",
     "send an MP4 to the platform's media server as a live stream of the lesson", RunUpload},
    {"devices", "try= seconds=", "[--try CAMERA|MIC] [--seconds N]",
     "list local cameras and microphones (TAVRIN_VIRTUAL_DEVICES=1: the virtual ones); "
     "--try opens one of each and reports what they deliver",
     RunDevices},
};

} // namespace

std::span<const TCliCommand> CliCommands() {
    return kCommands;
}

} // namespace tavrin::cli
