#include "sources/ui/AddressCheck.h"

#include <cstdio>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace tavrin {
namespace {

// The parts of text, or an empty list when a part is not a decimal 0..255.
std::vector<int> Parts(const std::string& text) {
    std::vector<int> parts;
    size_t begin = 0;
    while (true) {
        const size_t dot = text.find('.', begin);
        const size_t end = dot == std::string::npos ? text.size() : dot;
        if (end == begin) {
            return {}; // empty part (also the one after a dot at the end)
        }
        int value = 0;
        for (size_t i = begin; i < end; ++i) {
            const char c = text[i];
            if (c < '0' || c > '9') {
                return {};
            }
            value = value * 10 + (c - '0');
            if (value > 255) {
                return {};
            }
        }
        parts.push_back(value);
        if (dot == std::string::npos) {
            return parts;
        }
        begin = dot + 1;
    }
}

} // namespace

bool IsValidIPv4(const std::string& text) {
    return Parts(text).size() == 4;
}

std::string CanonicalIPv4(const std::string& text) {
    const std::vector<int> parts = Parts(text);
    if (parts.size() != 4) {
        return {};
    }
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." +
           std::to_string(parts[2]) + "." + std::to_string(parts[3]);
}

std::string LocalAddressPrefix(const std::vector<TInterfaceAddress>& list) {
    for (const TInterfaceAddress& a : list) {
        if (a.bUp && !a.bLoopback) {
            char text[16];
            std::snprintf(text, sizeof text, "%d.%d.%d.", a.addr[0], a.addr[1], a.addr[2]);
            return text;
        }
    }
    return {};
}

std::vector<TInterfaceAddress> ReadInterfaceAddresses() {
    std::vector<TInterfaceAddress> list;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) {
        return list;
    }
    for (const ifaddrs* i = all; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        TInterfaceAddress a;
        a.bUp = (i->ifa_flags & IFF_UP) != 0;
        a.bLoopback = (i->ifa_flags & IFF_LOOPBACK) != 0;
        const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        const auto* bytes = reinterpret_cast<const uint8_t*>(&in->sin_addr.s_addr);
        a.addr = {bytes[0], bytes[1], bytes[2], bytes[3]};
        list.push_back(a);
    }
    freeifaddrs(all);
    return list;
}

} // namespace tavrin
