// vo.ini is edited by hand on classroom PCs: any bytes must parse safely.
#include "base/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto lines = tavrin::TIniFile::SplitLines(text);
    std::string value;
    for (const char* section : {"StorePath", "User", "WindowSize", "AudioDelay"}) {
        if (tavrin::TIniFile::FindValue(lines, section, "width", value)) {
            int32_t number = 0;
            tavrin::ParseInt32(value, number);
        }
    }
    return 0;
}
