#include "app/StatusLines.h"

#include <algorithm>
#include <cstdio>

namespace tavrin {

namespace {

// Last two decimal digits, zero-padded: the lines have room for no more.
std::string TwoDigits(long long value) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02lld", value % 100);
    return buf;
}

std::string SelectionMark(bool selected) {
    return selected ? ">" : "  ";
}

TStatusColour CounterColour(bool videoOk, bool audioOk) {
    return videoOk && audioOk ? kNormalColour : kIdleColour;
}

} // namespace

TStatusText RecordingLine(bool bPreventCapture, bool bRecording, int T, int L,
                          const std::string& pix) {
    TStatusText line{11, kStatusTop, {}, bRecording ? kNormalColour : kIdleColour};
    if (bPreventCapture) {
        line.text = "因录像大小或时长超标，录像已停止     ";
        line.colour = kIdleColour;
        return line;
    }
    line.text = "录像时长：" + TwoDigits(T / 3600) + ":" + TwoDigits((T % 3600) / 60) + ":" +
                TwoDigits(T % 60) + "   体积：" + std::to_string(L) + "M" + "  码流：" + pix;
    return line;
}

TStatusText FrameCounterLabel() {
    return {550, kStatusTop, "  各通道视频帧:音频帧", kNormalColour};
}

int CounterPitch(int clientWidth, int nChannels, int counterWidth) {
    if (nChannels <= 0) {
        return kCounterPitch;
    }
    const int room = clientWidth - kCounterRightMargin - kProgrammeCounterX - counterWidth;
    // Floor division, also for a window too narrow to hold even the first.
    const int pitch = room >= 0 ? room / nChannels : -((-room + nChannels - 1) / nChannels);
    return std::clamp(pitch, std::min(counterWidth, kCounterPitch), kCounterPitch);
}

std::optional<TStatusText> ProgrammeCounter(int result, uint32_t video, uint32_t audio,
                                            bool selected, bool videoOk, bool audioOk) {
    if (result != 0 && result != -1 && result != -2) {
        return std::nullopt;
    }
    TStatusText t{kProgrammeCounterX, kStatusTop,
                  SelectionMark(selected) + std::to_string(video) + ":" + std::to_string(audio) +
                      "   ",
                  result == -2 ? kAlertColour : CounterColour(videoOk, audioOk)};
    return t;
}

TStatusText ChannelCounter(int nChannel, int result, uint32_t video, uint32_t audio, bool selected,
                           bool videoOk, bool audioOk, int pitch) {
    TStatusText t{
        kProgrammeCounterX + nChannel * pitch, kStatusTop, {}, CounterColour(videoOk, audioOk)};
    t.text = SelectionMark(selected) +
             (result != 0 ? TwoDigits(video) + ":" + TwoDigits(audio) + "   " : "        ");
    return t;
}

std::optional<TStatusText> LiveLine(const TClientSendInfo& info, int programmeBottom) {
    if (!info.bSetURL) {
        return std::nullopt;
    }
    TStatusText t{11,
                  programmeBottom + kStatusBelowProgramme,
                  {},
                  !info.bConnectOK || info.bPause ? kIdleColour : kNormalColour};
    t.text = std::string(info.bConnectOK ? "直播连通: 是 " : "直播连通: 否 ") +
             "连接: " + std::to_string(info.nReconnectCount) + "次 " +
             "总帧数: " + std::to_string(info.nAcceptTotalFrames) + " " +
             "发送: " + std::to_string(info.nHasSendFrames) + " " +
             "缓冲区: " + std::to_string(info.nRemainFrames) + " " +
             "丢弃: " + std::to_string(info.nThrowFrames) +
             // After a stall the sender drops whole groups that waited too
             // long; the operator sees why the dropped count jumps.
             (info.bDroppingToStayLive ? " 正在丢弃积压画面以保持直播" : "") + std::string(9, ' ');
    return t;
}

std::optional<TStatusText> ErrorMarkNotice(int nDecCount, int nErrorCode, int programmeBottom) {
    if (nDecCount <= 0) {
        return std::nullopt;
    }
    TStatusText t{800, programmeBottom + kStatusBelowProgramme, {}, kNormalColour};
    t.text = nDecCount == 1 ? std::string(47, ' ')
                            : "已在录像中设定标记：" + std::to_string(nErrorCode) + "  ";
    return t;
}

} // namespace tavrin
