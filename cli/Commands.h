// The commands of tavrin-cli. Each lives in its own Cmd*.cpp and is listed
// once in the table in main.cpp.
#pragma once

#include "cli/CliArgs.h"

#include <string>

namespace tavrin::cli {

struct TCliCommand {
    const char* name;
    const char* usage; // options, shown by "tavrin-cli help" and "COMMAND --help"
    const char* summary;
    // argv[0] is the command name; returns the process exit status.
    int (*run)(const TCliArgs& args);
    // Commands that take one word before the options (e.g. "filter caption").
    bool takesWord = false;
};

// Prints "tavrin-cli: error" on stderr and returns the usage-error status 2.
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
int RunPushTest(const TCliArgs& args);
int RunDevices(const TCliArgs& args);
int RunRecord(const TCliArgs& args);

} // namespace tavrin::cli
