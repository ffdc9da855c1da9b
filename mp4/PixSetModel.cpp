#include "mp4/PixSetModel.h"

#include <cmath>
#include <cstdio>

namespace tavrin {

namespace {

// Half-way cases go to the even neighbour, as the figures always have.
int Round(double value) {
    return int(std::nearbyint(value));
}

void ResolutionOf(int index, int& w, int& h) {
    w = index == 0 ? 1280 : 1920;
    h = index == 0 ? 720 : 1080;
}

} // namespace

void TPixSetModel::SetServerInfo(int size, int nSec, int bitrate, int width, int height) {
    nSize = size;
    nSeconds = nSec;
    nBitrate = bitrate;
    nWidth = width;
    nHeight = height;
}

std::vector<std::string> TPixSetModel::BitrateEntries() {
    std::vector<std::string> entries{"1"};
    for (int tenth = 1; tenth <= 9; ++tenth) {
        entries.push_back("1." + std::to_string(tenth));
    }
    for (int mbit = 2; mbit <= 12; ++mbit) {
        entries.push_back(std::to_string(mbit));
    }
    return entries;
}

int TPixSetModel::BitrateKbps(int entry) {
    const int v = entry <= 10 ? entry : (entry - 10) * 10 + 10;
    return v * 100 + 1000;
}

int TPixSetModel::EstimateSizeMB(int nSeconds, int entry) {
    const int64_t mbPerHour = int64_t(BitrateKbps(entry)) * 128 * 3600 / 1048576;
    // Audio and the container add about 60 MB an hour and 5 %.
    const int withAudio = Round(double(mbPerHour + 60) * 1.05);
    return Round(double(nSeconds) * withAudio / 3600.0);
}

int TPixSetModel::EstimateMinutes(int nSeconds, bool b1080) {
    return int(std::ceil(double(nSeconds) / 60.0 * (b1080 ? 0.15 : 0.083)));
}

std::string TPixSetModel::InfoText() const {
    const int rate = nBitrate < 0 ? 0 : nBitrate;
    const int sec = nSeconds < 0 ? 0 : nSeconds;
    char hms[32];
    std::snprintf(hms, sizeof hms, "%02d:%02d:%02d", sec / 3600, sec / 60 % 60, sec % 60);
    return "当前录像分辨率为：" + std::to_string(nWidth) + "x" + std::to_string(nHeight) + "\r\n" +
           "视频压缩码率约为：" + std::to_string(rate / 10) + "." + std::to_string(rate % 10) +
           " M位" + "\r\n" + "MP4文件时长约为：" + hms + "\r\n" + "MP4文件大小约为：" +
           std::to_string(nSize) + " M";
}

std::string TPixSetModel::OtherResolutionCaption() const {
    return std::string("只转换片头分辨率到：") + (Wide() ? "1280x720" : "1920x1080") +
           "，不改变实际码率与分辨率";
}

std::string TPixSetModel::EstimateText(int resolutionIndex, int entry) const {
    return "MP4文件大小约为：" + std::to_string(EstimateSizeMB(nSeconds, entry)) + "  M字节，  " +
           "转换耗时约为：" + std::to_string(EstimateMinutes(nSeconds, resolutionIndex != 0)) +
           "  分钟";
}

TConvertMode TPixSetModel::Result(int nMode, int resolutionIndex, int entry) const {
    TConvertMode mode;
    mode.nMode = nMode;
    mode.nSrcW = nWidth;
    mode.nSrcH = nHeight;
    if (nMode == 0) {
        mode.nW = nWidth;
        mode.nH = nHeight;
    } else if (nMode == 1) {
        ResolutionOf(Wide() ? 0 : 1, mode.nW, mode.nH);
    } else {
        ResolutionOf(resolutionIndex, mode.nW, mode.nH);
        mode.nBitbrate = uint32_t(BitrateKbps(entry)) * 1024;
    }
    return mode;
}

} // namespace tavrin
