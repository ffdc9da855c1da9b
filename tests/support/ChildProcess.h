// Starts a helper program (a peer simulator) for a test.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tavrin::test {

// Starts args[0] with args, its standard output on a pipe, and waits at most
// waitMs for the first line it prints (its "listening on ..." line). Returns
// the child's pid, or -1 when it could not be started.
pid_t SpawnAndReadFirstLine(std::vector<std::string> args, int waitMs, std::string& firstLine);

} // namespace tavrin::test
