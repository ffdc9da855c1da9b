// lesson.dat and the platform's sign-in answer come from outside: a damaged
// file or a hostile answer must never crash the console.
#include "base/Message.h"
#include "platform/HexCipher.h"
#include "platform/LessonCache.h"
#include "platform/voServer.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Damaged-file messages would flood the output; nobody is asked here.
const bool kQuiet = [] {
    tavrin::SetMessageHandler([](const std::string&, tavrin::TMsgIcon, tavrin::TMsgButtons b) {
        return tavrin::CautiousAnswer(b);
    });
    return true;
}();

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string plain;
    tavrin::HexCipherDecode(input, tavrin::LessonCacheKey(), plain);
    tavrin::HexCipherDecode(input, "", plain);

    // The file as LoadLessonCache deciphers it, and the text both as that
    // plain JSON and as the platform's answer.
    tavrin::TLessonCache cache;
    if (tavrin::DecipherLessonCache(input, plain)) {
        tavrin::ParseLessonCache(plain, 1001, "pw", cache);
    }
    tavrin::ParseLessonCache(input, 1001, "pw", cache);

    tavrin::TvoServerSetup setup; // no cache file: nothing is written
    setup.sOwnVersion = "0.1.0.1";
    tavrin::TvoServer server(setup);
    server.ReadLoginAnswer(input);
    std::string ip, token;
    int32_t live = 0, port = 0;
    server.GetServerInfo(1, ip, token, live, port);
    return 0;
}
