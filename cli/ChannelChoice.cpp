#include "cli/ChannelChoice.h"

#include "base/IniFile.h"
#include "sources/ClientInfo.h"

#include <arpa/inet.h>

namespace tavrin::cli {

namespace {

bool IsIPv4(const std::string& text) {
    in_addr addr{};
    return ::inet_pton(AF_INET, text.c_str(), &addr) == 1;
}

} // namespace

bool ParseChannelChoice(const std::string& text, int nMaxChannel, TChannelChoice& choice,
                        std::string& error) {
    const size_t eq = text.find('=');
    const size_t colon = text.find(':', eq == std::string::npos ? 0 : eq);
    if (eq == std::string::npos || colon == std::string::npos || eq == 0) {
        error = "--channel needs N=file:PATH, N=image:JPG[|MP3], N=device:CAMERA[|MIC], "
                "N=phone:IP or N=desktop:IP, not \"" +
                text + "\"";
        return false;
    }
    int32_t n = 0;
    if (!ParseInt32(text.substr(0, eq), n) || n < 1 || n > nMaxChannel) {
        error =
            "--channel number must be 1 to " + std::to_string(nMaxChannel) + ": \"" + text + "\"";
        return false;
    }
    choice.channel = n;
    const std::string kind = text.substr(eq + 1, colon - eq - 1);
    const std::string rest = text.substr(colon + 1);
    const size_t bar = rest.find('|');
    choice.path = rest.substr(0, bar);
    choice.second = bar == std::string::npos ? std::string() : rest.substr(bar + 1);
    if (kind == "file") {
        choice.type = kDeviceMp4;
        choice.path = rest; // a file name may hold "|"
        choice.second.clear();
    } else if (kind == "image") {
        choice.type = kDeviceImage;
        if (bar != std::string::npos && choice.second.empty()) {
            error = "--channel " + text + ": nothing after \"|\"";
            return false;
        }
    } else if (kind == "device") {
        // A camera and a microphone by their listed names (tavrin-cli devices).
        choice.type = kDeviceCamera;
    } else if (kind == "phone" || kind == "desktop") {
        choice.type = kind == "phone" ? kDevicePhone : kDeviceDesktop;
        if (!IsIPv4(rest)) {
            error = "--channel " + text + ": \"" + rest + "\" is not an IPv4 address";
            return false;
        }
        choice.path = rest;
        choice.second.clear();
    } else {
        error =
            "--channel kind must be file, image, device, phone or desktop, not \"" + kind + "\"";
        return false;
    }
    if (choice.path.empty()) {
        error = "--channel " + text + ": no file given";
        return false;
    }
    return true;
}

std::string ConnectAddress(const TChannelChoice& choice) {
    return choice.second.empty() ? choice.path : choice.path + "|" + choice.second;
}

} // namespace tavrin::cli
