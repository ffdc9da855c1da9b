// Lesson scripts are typed by operators: any text must either parse into
// actions within their ranges or be refused with a line number.
#include "cli/LessonScript.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrin::cli;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<TScriptAction> actions;
    std::string error;
    if (!ParseLessonScript(text, 5, actions, error)) {
        if (error.rfind("line ", 0) != 0) {
            std::abort();
        }
        return 0;
    }
    uint32_t last = 0;
    for (const TScriptAction& a : actions) {
        if (a.atMs < last || DescribeAction(a).empty()) {
            std::abort();
        }
        last = a.atMs;
    }
    return 0;
}
