#include "tests/support/PlatformSimSuite.h"

namespace tavrin::test {

namespace {

std::string WrittenAccounts(const TempDir& dir, const std::string& json) {
    WriteFile(dir.File("accounts.json"), json);
    return dir.File("accounts.json");
}

} // namespace

TPlatformSimSuite::TPlatformSimSuite(const std::string& accountsJson,
                                     const std::vector<std::string>& extra)
    : sim_(WrittenAccounts(dir_, accountsJson), extra) {}

TvoServerSetup TPlatformSimSuite::Setup(int port, const std::string& ownVersion,
                                        bool withCache) const {
    TvoServerSetup setup;
    setup.https.Host = "127.0.0.1";
    setup.https.Port = port;
    setup.https.CAFile = PlatformSimDir() + "/platform-cert.pem";
    setup.sCacheFile = withCache ? Cache() : std::string();
    setup.sOwnVersion = ownVersion;
    return setup;
}

} // namespace tavrin::test
