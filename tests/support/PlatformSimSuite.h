// One platform simulator shared by the tests of a suite: its accounts file
// in a folder of its own, the simulator serving it on 127.0.0.1, and the
// client set-up that reaches it.
#pragma once

#include "platform/voServer.h"
#include "tests/base/TempDir.h"
#include "tests/support/PlatformSim.h"

#include <string>
#include <vector>

namespace tavrin::test {

class TPlatformSimSuite {
public:
    // accountsJson is the simulator's accounts file; extra its arguments.
    TPlatformSimSuite(const std::string& accountsJson, const std::vector<std::string>& extra);
    TPlatformSimSuite(const TPlatformSimSuite&) = delete;
    TPlatformSimSuite& operator=(const TPlatformSimSuite&) = delete;

    // 0 when the simulator did not come up.
    int Port() const { return sim_.Port(); }
    // The accounts file, for further simulators a test starts itself.
    std::string AccountsFile() const { return dir_.File("accounts.json"); }
    // A file in the suite's folder.
    std::string File(const std::string& name) const { return dir_.File(name); }
    // The saved lesson list of the suite's clients.
    std::string Cache() const { return dir_.File("lesson.dat"); }
    // A client of the simulator on port (the suite's own or another one),
    // trusting its certificate, reporting ownVersion, with the suite's
    // lesson cache when withCache.
    TvoServerSetup Setup(int port, const std::string& ownVersion, bool withCache = true) const;

private:
    TempDir dir_;
    TPlatformSim sim_;
};

} // namespace tavrin::test
