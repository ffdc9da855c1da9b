// tavrin-cli: the headless front end over the console's libraries.
#include "av/AvLog.h"
#include "base/ProgramDir.h"
#include "cli/Commands.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tavrin::cli {

namespace {

void PrintCommand(const TCliCommand& c) {
    std::printf("  %s %s\n      %s\n", c.name, c.usage, c.summary);
}

void PrintUsage() {
    std::printf("usage: tavrin-cli COMMAND [options]   (tavrin-cli COMMAND --help)\n\ncommands:\n");
    for (const TCliCommand& c : CliCommands()) {
        PrintCommand(c);
    }
    std::printf("  version\n      print the version\n");
    std::printf("\nexit status: %d done, %d failed, %d wrong command line, %d no such input file, "
                "%d input file unusable\n",
                kExitOK, kExitFailed, kExitUsage, kExitNoFile, kExitCannotOpen);
}

} // namespace
} // namespace tavrin::cli

int main(int argc, char** argv) {
    using namespace tavrin::cli;
    tavrin::InstallAvLogToTrace();
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        PrintUsage();
        return argc < 2 ? kExitUsage : kExitOK;
    }
    const std::string name = argv[1];
    if (name == "version" || name == "--version") {
        std::printf("tavrin-cli %s\n", tavrin::ProgramVersion());
        return kExitOK;
    }
    for (const TCliCommand& command : CliCommands()) {
        if (name != command.name) {
            continue;
        }
        TCliArgs args;
        if (!args.Parse(argc, argv, 2, command.options, command.takesWord)) {
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
