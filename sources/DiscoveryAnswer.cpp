#include "sources/DiscoveryAnswer.h"

#include "base/Trace.h"

namespace tavrin {

const std::string& DiscoveryProbe() {
    // The question marks stand where the declaration would have blanks;
    // the apps match the probe as it is.
    static const std::string probe =
        "<?xml?version=\"1.0\"?encoding=\"utf-8\"?><kvxpptliveask><address>"
        "http://www.tavrin.cn/findPPT</address></kvxpptliveask>";
    return probe;
}

bool ParseDiscoveryAnswer(std::string_view d, TDiscoveryInfo& info) {
    if (d == DiscoveryProbe()) {
        return false;
    }
    struct Scheme {
        std::string_view text;
        uint8_t nType;
        std::string_view trace;
    };
    static constexpr Scheme kSchemes[] = {
        {"kvxpptlive://", 1, "KEY_PPT="},
        {"kvxandroidlive://", 2, "KEY_PAD_ANDROID="},
        {"kvxapplelive://", 2, ""},
    };
    for (const Scheme& s : kSchemes) {
        const size_t at = d.find(s.text);
        if (at == std::string_view::npos) {
            continue;
        }
        info.nDeviceType = s.nType;
        info.ID.clear();
        const size_t slash = d.find('/', at + s.text.size());
        if (slash != std::string_view::npos) {
            const size_t end = d.find('<', slash + 1);
            info.ID = std::string(
                d.substr(slash + 1, end == std::string_view::npos ? d.npos : end - slash - 1));
        }
        if (!s.trace.empty()) {
            Trace(std::string(s.trace) + info.ID);
        }
        return true;
    }
    return false;
}

} // namespace tavrin
