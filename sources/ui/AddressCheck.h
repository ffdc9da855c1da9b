// The address a channel is connected to by hand: the IPv4 check of the
// address dialog and the prefix it offers, taken from this PC's own address.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin {

// Four decimal parts from 0 to 255 separated by dots, nothing else: no empty
// part, no sign, no blank. A dot at the end adds no part but is still not
// part of an address, so "1.2.3.4." is refused like "1.2.3.".
bool IsValidIPv4(const std::string& text);

// The address in plain decimal ("010.001.0.9" gives "10.1.0.9"), so that a
// leading zero is never read as octal further down; empty when invalid.
std::string CanonicalIPv4(const std::string& text);

// One IPv4 address of a network interface.
struct TInterfaceAddress {
    bool bUp = false;
    bool bLoopback = false;
    std::array<uint8_t, 4> addr{};
};

// "a.b.c." of the first address of an interface that is up and not the
// loopback; empty when there is none. The host name is no help here: Debian
// maps it to 127.0.1.1, which would offer a prefix no device can have.
std::string LocalAddressPrefix(const std::vector<TInterfaceAddress>& list);

// This machine's IPv4 interface addresses in the kernel's order.
std::vector<TInterfaceAddress> ReadInterfaceAddresses();

} // namespace tavrin
