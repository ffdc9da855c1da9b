// The commands of tavrin-cli. Each lives in its own Cmd*.cpp and is listed
// once in the table in main.cpp.
#pragma once

#include "cli/CliArgs.h"

#include <span>
#include <string>

namespace tavrin::cli {

// The exit statuses of every command.
enum TExitCode : int {
    kExitOK = 0,
    kExitFailed = 1,     // the work could not be done (store, platform, peer, output)
    kExitUsage = 2,      // the command line is wrong
    kExitNoFile = 3,     // a named input file does not exist
    kExitCannotOpen = 4, // an input file exists but cannot be used
};

struct TCliCommand {
    const char* name;
    // The options it takes (see TCliArgs::Parse): "name=" with a value,
    // "name" a switch.
    const char* options;
    const char* usage; // options, shown by "tavrin-cli help" and "COMMAND --help"
    const char* summary;
    // argv[0] is the command name; returns the process exit status.
    int (*run)(const TCliArgs& args);
    // Commands that take one word before the options (e.g. "filter caption").
    bool takesWord = false;
};

// Every command, in the order "tavrin-cli help" lists them.
std::span<const TCliCommand> CliCommands();

// Prints "tavrin-cli: error" on stderr and returns kExitUsage.
int Fail(const std::string& error);

int RunSettings(const TCliArgs& args);
int RunPaths(const TCliArgs& args);
int RunFilter(const TCliArgs& args);
int RunLogin(const TCliArgs& args);
int RunSchedule(const TCliArgs& args);
int RunPrepare(const TCliArgs& args);
int RunInfo(const TCliArgs& args);
int RunCut(const TCliArgs& args);
int RunFrames(const TCliArgs& args);
int RunRecord(const TCliArgs& args);
int RunMp4(const TCliArgs& args);
int RunReplay(const TCliArgs& args);
int RunPushTest(const TCliArgs& args);
int RunUpload(const TCliArgs& args);
int RunDevices(const TCliArgs& args);

} // namespace tavrin::cli
