// What one --channel option of tavrin-cli record names: a channel number
// and its source, "N=file:PATH", "N=image:JPG[|MP3]",
// "N=device:CAMERA[|MICROPHONE]", "N=phone:IP" or "N=desktop:IP".
#pragma once

#include <cstdint>
#include <string>

namespace tavrin::cli {

struct TChannelChoice {
    int channel = 0;
    uint8_t type = 0;   // a device kind of sources/ClientInfo.h
    std::string path;   // file, camera name or address
    std::string second; // MP3 of an image, microphone of a camera
};

// False with error set when the text is not one of the forms above, its
// number is not 1..nMaxChannel or an address is not a dotted IPv4 address.
bool ParseChannelChoice(const std::string& text, int nMaxChannel, TChannelChoice& choice,
                        std::string& error);

// The address the manager connects to: path, with "|second" when given.
std::string ConnectAddress(const TChannelChoice& choice);

} // namespace tavrin::cli
