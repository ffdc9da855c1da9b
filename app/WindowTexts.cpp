#include "app/WindowTexts.h"

#include "base/LessionInfo.h"
#include "base/Message.h"

#include <cmath>

namespace tavrin {

std::string MainCaption(const TLessionInfo& lesson) {
    return std::string(kAppTitle) + "    " + lesson.TeacherName + "     " + lesson.LessionName;
}

std::vector<std::string> AudioOffsetEntries() {
    std::vector<std::string> entries;
    entries.reserve(kAudioOffsetEntries);
    for (int k = 0; k < kAudioOffsetEntries; ++k) {
        const int offset = AudioOffsetOfEntry(k);
        const char* kind = offset < 0 ? " 提前音频" : offset == 0 ? " 标准音频" : " 延后音频";
        entries.push_back(std::to_string(offset) + kind);
    }
    return entries;
}

int AudioOffsetEntryFor(int nAudioDelay) {
    if (nAudioDelay > 48 || nAudioDelay < -48) {
        nAudioDelay = 11;
    }
    return nAudioDelay + 49;
}

std::string ClearMarksQuestion(int seconds) {
    std::string text = "已打删除标记的视频计时：";
    if (seconds >= 60) {
        text += std::to_string(seconds / 60) + " 分 ";
    }
    text += std::to_string(seconds % 60) + " 秒。\n\r";
    return text + "此操作将清除掉所有删除标记，请确认";
}

int PercentPlayed(int positionSec, int lengthSec) {
    if (lengthSec <= 0) {
        return 0;
    }
    return int(std::lround(double(positionSec) * 100.0 / double(lengthSec)));
}

namespace {

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string ChannelItemCaption(const TChannelMenuInfo& c) {
    switch (c.nDeviceType) {
    case 0:
        return "无";
    case 1:
        return c.sIP + " " + c.sPix + " " + "PPT ";
    case 2:
    case 3:
    case 4:
        return c.sIP + " " + c.sPix;
    case 5:
        return FileNameOf(c.sIP) + c.sPix;
    case 6:
        return FileNameOf(c.sIP) + " " + c.sPix + " 进度 " +
               std::to_string(PercentPlayed(c.nPositionSec, c.nLengthSec)) + "%";
    default:
        return c.sIP;
    }
}

std::string ChannelItemText(const std::string& caption, bool selected) {
    return (selected ? "√ " : "   ") + caption;
}

std::string BatteryText(int charge) {
    if (charge < 0) {
        return {};
    }
    return "电量 " + std::to_string(charge) + "%";
}

} // namespace tavrin
