#include "cli/LessonScript.h"

#include "cli/CliArgs.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace tavrin::cli {

namespace {

struct TVerbName {
    const char* name;
    TScriptVerb verb;
    // Fixed argument count, or -1 for a comma list of 1 to 4 channels.
    int nArgs;
    // How many leading arguments are channel numbers.
    int nChannelArgs;
};

constexpr TVerbName kVerbs[] = {
    {"combine", TScriptVerb::Combine, -1, 0}, {"fullscreen", TScriptVerb::FullScreen, 1, 1},
    {"swap", TScriptVerb::Swap, 2, 2},        {"audio", TScriptVerb::Audio, 1, 1},
    {"cut", TScriptVerb::Cut, 5, 1},          {"uncut", TScriptVerb::Uncut, 1, 1},
    {"scene", TScriptVerb::Scene, 1, 0},      {"esc", TScriptVerb::Esc, 0, 0},
    {"focus", TScriptVerb::Focus, 2, 1},
};

constexpr int kMaxCombined = 4;
constexpr double kMaxSeconds = 24 * 3600;

bool ToInt(const std::string& text, int32_t& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool ToSeconds(const std::string& text, uint32_t& ms) {
    double seconds = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, seconds, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || !(seconds >= 0) || seconds > kMaxSeconds) {
        return false;
    }
    ms = uint32_t(std::llround(seconds * 1000));
    return true;
}

// Checks the arguments' ranges; an empty string when they are fine.
std::string CheckArgs(const TVerbName& v, const std::vector<int32_t>& args, int nChannels) {
    const size_t nChannelArgs = v.nArgs < 0 ? args.size() : size_t(v.nChannelArgs);
    for (size_t i = 0; i < nChannelArgs; ++i) {
        if (args[i] < 1 || args[i] > nChannels) {
            return "channel " + std::to_string(args[i]) + " is not 1 to " +
                   std::to_string(nChannels);
        }
    }
    if (v.nArgs < 0 && args.size() > size_t(kMaxCombined)) {
        return "at most 4 channels can be combined";
    }
    if (v.verb == TScriptVerb::Swap && args[0] == args[1]) {
        return "swap needs two different channels";
    }
    if (v.verb == TScriptVerb::Scene && args[0] < 1) {
        return "scene ids start at 1";
    }
    if (v.verb == TScriptVerb::Focus && (args[1] < 0 || args[1] > 65535)) {
        return "focus must be 0 to 65535";
    }
    if (v.verb == TScriptVerb::Cut) {
        for (size_t i = 1; i < 5; ++i) {
            if (args[i] < 0 || args[i] > 1000) {
                return "cut areas are permille, 0 to 1000";
            }
        }
        if (args[1] >= args[3] || args[2] >= args[4]) {
            return "a cut area needs x1 < x2 and y1 < y2";
        }
    }
    return {};
}

} // namespace

bool ParseLessonScript(const std::string& text, int nChannels, std::vector<TScriptAction>& actions,
                       std::string& error) {
    actions.clear();
    std::stringstream in(text);
    std::string raw;
    uint32_t lastMs = 0;
    for (int lineNo = 1; std::getline(in, raw); ++lineNo) {
        const std::string line = raw.substr(0, raw.find('#'));
        std::stringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) {
            w.push_back(word);
        }
        if (w.empty()) {
            continue;
        }
        auto fail = [&](const std::string& what) {
            error = "line " + std::to_string(lineNo) + ": " + what;
            return false;
        };
        TScriptAction action;
        action.line = lineNo;
        if (!ToSeconds(w[0], action.atMs)) {
            return fail("\"" + w[0] + "\" is not a time in seconds");
        }
        if (action.atMs < lastMs) {
            return fail("times must not decrease");
        }
        lastMs = action.atMs;
        if (w.size() < 2) {
            return fail("no action after the time");
        }
        const TVerbName* verb = nullptr;
        for (const TVerbName& v : kVerbs) {
            if (w[1] == v.name) {
                verb = &v;
            }
        }
        if (verb == nullptr) {
            return fail("unknown action \"" + w[1] + "\"");
        }
        action.verb = verb->verb;
        if (verb->nArgs < 0) {
            if (w.size() != 3 || !ParseNumberList(w[2], action.args)) {
                return fail(std::string(verb->name) + " needs a channel list like 1,2");
            }
        } else {
            if (w.size() != size_t(verb->nArgs) + 2) {
                return fail(std::string(verb->name) + " takes " + std::to_string(verb->nArgs) +
                            " numbers");
            }
            for (size_t i = 2; i < w.size(); ++i) {
                int32_t n = 0;
                if (!ToInt(w[i], n)) {
                    return fail("\"" + w[i] + "\" is not a number");
                }
                action.args.push_back(n);
            }
        }
        if (std::string why = CheckArgs(*verb, action.args, nChannels); !why.empty()) {
            return fail(why);
        }
        actions.push_back(std::move(action));
    }
    return true;
}

std::string DescribeAction(const TScriptAction& action) {
    std::string text;
    for (const TVerbName& v : kVerbs) {
        if (v.verb == action.verb) {
            text = v.name;
        }
    }
    for (size_t i = 0; i < action.args.size(); ++i) {
        text += (action.verb == TScriptVerb::Combine && i > 0) ? "," : " ";
        text += std::to_string(action.args[i]);
    }
    return text;
}

} // namespace tavrin::cli
