// The texts of multicast device discovery: the probe the console sends and
// the reading of the answers the streaming apps send back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

struct TDiscoveryInfo {
    std::string sIP;         // sender of the answer, dotted
    uint8_t nDeviceType = 0; // 1 desktop app, 2 phone app
    std::string ID;
};

// The probe, byte for byte (no terminator).
const std::string& DiscoveryProbe();

// Reads an answer's device type and identity (sIP is left alone). False for
// the probe itself and for datagrams without a known scheme.
bool ParseDiscoveryAnswer(std::string_view datagram, TDiscoveryInfo& info);

} // namespace tavrin
