#include "sources/NativeDevice.h"

#include "base/Rounding.h"
#include "decode/AlsaLog.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tavrin {

int32_t FrameCountFromInterval(int64_t interval100ns) {
    if (interval100ns <= 0) {
        return 0;
    }
    return int32_t(RoundToInt(1000.0 / (double(interval100ns) / 10000.0)));
}

void AddPixInfo(std::vector<TPixInfo>& list, const TPixInfo& info) {
    for (const TPixInfo& p : list) {
        if (p.width == info.width && p.height == info.height) {
            return;
        }
    }
    list.push_back(info);
}

void MakeNamesUnique(std::vector<std::string>& names) {
    // Compare against the names as listed, so a renamed device does not
    // collide again with a later one.
    const std::vector<std::string> original = names;
    std::vector<bool> renamed(names.size(), false);
    for (size_t i = 0; i < original.size(); ++i) {
        if (renamed[i]) {
            continue;
        }
        int counter = 0;
        for (size_t j = i + 1; j < original.size(); ++j) {
            if (!renamed[j] && original[j] == original[i]) {
                names[j] = original[i] + "_" + std::to_string(++counter);
                renamed[j] = true;
            }
        }
    }
}

namespace {

template <typename Info> void UniqueNames(std::vector<Info>& list) {
    std::vector<std::string> names;
    names.reserve(list.size());
    for (const Info& d : list) {
        names.push_back(d.sName);
    }
    MakeNamesUnique(names);
    for (size_t i = 0; i < list.size(); ++i) {
        list[i].sName = names[i];
    }
}

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

int Xioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

// The first (fastest listed) interval of one size, in 100 ns units; 0 if none.
int64_t FirstInterval(int fd, uint32_t fourcc, uint32_t w, uint32_t h) {
    v4l2_frmivalenum iv{};
    iv.index = 0;
    iv.pixel_format = fourcc;
    iv.width = w;
    iv.height = h;
    if (Xioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &iv) < 0) {
        return 0;
    }
    const v4l2_fract f = iv.type == V4L2_FRMIVAL_TYPE_DISCRETE ? iv.discrete : iv.stepwise.min;
    if (f.denominator == 0) {
        return 0;
    }
    return int64_t(f.numerator) * 10000000 / f.denominator;
}

bool ListCamera(const std::string& node, TNativeDeviceInfo_Video& out) {
    FdCloser dev{::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC)};
    if (dev.fd < 0) {
        return false;
    }
    v4l2_capability cap{};
    if (Xioctl(dev.fd, VIDIOC_QUERYCAP, &cap) < 0) {
        return false;
    }
    const uint32_t caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE)) {
        return false; // metadata and output nodes of the same camera
    }
    out.sName.assign(reinterpret_cast<const char*>(cap.card),
                     strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
    out.path = node;
    out.backend = TCaptureBackend::V4L2;
    for (uint32_t fi = 0;; ++fi) {
        v4l2_fmtdesc fmt{};
        fmt.index = fi;
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (Xioctl(dev.fd, VIDIOC_ENUM_FMT, &fmt) < 0) {
            break;
        }
        for (uint32_t si = 0;; ++si) {
            v4l2_frmsizeenum size{};
            size.index = si;
            size.pixel_format = fmt.pixelformat;
            if (Xioctl(dev.fd, VIDIOC_ENUM_FRAMESIZES, &size) < 0) {
                break;
            }
            uint32_t w = 0, h = 0;
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                w = size.discrete.width;
                h = size.discrete.height;
            } else {
                // A continuous range: offer its largest size only.
                w = size.stepwise.max_width;
                h = size.stepwise.max_height;
            }
            const int64_t interval = FirstInterval(dev.fd, fmt.pixelformat, w, h);
            AddPixInfo(out.aPixInfo, TPixInfo{int32_t(fmt.pixelformat), int32_t(w), int32_t(h),
                                              FrameCountFromInterval(interval)});
            if (size.type != V4L2_FRMSIZE_TYPE_DISCRETE) {
                break;
            }
        }
    }
    out.nPixCount = int32_t(out.aPixInfo.size());
    out.nPixIndex = 0;
    return out.nPixCount > 0;
}

} // namespace

std::vector<TNativeDeviceInfo_Video> EnumerateV4L2Cameras(const std::string& devDir) {
    std::vector<std::pair<int, std::string>> nodes;
    if (DIR* d = ::opendir(devDir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (std::strncmp(e->d_name, "video", 5) == 0) {
                char* end = nullptr;
                const long n = std::strtol(e->d_name + 5, &end, 10);
                if (end != e->d_name + 5 && *end == '\0') {
                    nodes.emplace_back(int(n), devDir + "/" + e->d_name);
                }
            }
        }
        ::closedir(d);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<TNativeDeviceInfo_Video> list;
    for (const auto& [n, node] : nodes) {
        TNativeDeviceInfo_Video info;
        if (ListCamera(node, info)) {
            list.push_back(std::move(info));
        }
    }
    return list;
}

namespace {

struct CtlCloser {
    void operator()(snd_ctl_t* c) const { snd_ctl_close(c); }
};
struct PcmInfoFree {
    void operator()(snd_pcm_info_t* p) const { snd_pcm_info_free(p); }
};
struct PcmCloser {
    void operator()(snd_pcm_t* p) const { snd_pcm_close(p); }
};
struct HwParamsFree {
    void operator()(snd_pcm_hw_params_t* p) const { snd_pcm_hw_params_free(p); }
};

// Reads the channel count and rate the PCM offers; keeps the defaults (2, 48000)
// when it is busy or refuses.
void ReadPcmFormat(const std::string& pcmName, TNativeDeviceInfo_Audio& info) {
    snd_pcm_t* raw = nullptr;
    if (snd_pcm_open(&raw, pcmName.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0) {
        return;
    }
    std::unique_ptr<snd_pcm_t, PcmCloser> pcm(raw);
    snd_pcm_hw_params_t* hwRaw = nullptr;
    if (snd_pcm_hw_params_malloc(&hwRaw) < 0) {
        return;
    }
    std::unique_ptr<snd_pcm_hw_params_t, HwParamsFree> hw(hwRaw);
    if (snd_pcm_hw_params_any(pcm.get(), hw.get()) < 0) {
        return;
    }
    unsigned maxCh = 0;
    if (snd_pcm_hw_params_get_channels_max(hw.get(), &maxCh) == 0 && maxCh > 0) {
        info.ch = int32_t(std::min(maxCh, 2u));
    }
    if (snd_pcm_hw_params_test_rate(pcm.get(), hw.get(), 48000, 0) != 0) {
        unsigned rate = 0;
        int dir = 0;
        if (snd_pcm_hw_params_get_rate_max(hw.get(), &rate, &dir) == 0 && rate > 0) {
            info.rate = int32_t(rate);
        }
    }
    info.format = SND_PCM_FORMAT_S16_LE;
}

} // namespace

std::vector<TNativeDeviceInfo_Audio> EnumerateAlsaMicrophones() {
    RouteAlsaLogToTrace();
    std::vector<TNativeDeviceInfo_Audio> list;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        const std::string hw = "hw:" + std::to_string(card);
        snd_ctl_t* ctlRaw = nullptr;
        if (snd_ctl_open(&ctlRaw, hw.c_str(), 0) < 0) {
            continue;
        }
        std::unique_ptr<snd_ctl_t, CtlCloser> ctl(ctlRaw);
        char* cardName = nullptr;
        std::string sCard = "card " + std::to_string(card);
        if (snd_card_get_name(card, &cardName) == 0 && cardName) {
            sCard = cardName;
            std::free(cardName); // NOLINT(cppcoreguidelines-no-malloc): ALSA allocated it
        }
        snd_pcm_info_t* infoRaw = nullptr;
        if (snd_pcm_info_malloc(&infoRaw) < 0) {
            continue;
        }
        std::unique_ptr<snd_pcm_info_t, PcmInfoFree> pcmInfo(infoRaw);
        int device = -1;
        while (snd_ctl_pcm_next_device(ctl.get(), &device) == 0 && device >= 0) {
            snd_pcm_info_set_device(pcmInfo.get(), unsigned(device));
            snd_pcm_info_set_subdevice(pcmInfo.get(), 0);
            snd_pcm_info_set_stream(pcmInfo.get(), SND_PCM_STREAM_CAPTURE);
            if (snd_ctl_pcm_info(ctl.get(), pcmInfo.get()) < 0) {
                continue; // no capture side on this device
            }
            TNativeDeviceInfo_Audio info;
            info.sName = sCard + ": " + snd_pcm_info_get_name(pcmInfo.get());
            // The plug layer converts to the 16-bit stereo we ask for.
            info.path = "plughw:" + std::to_string(card) + "," + std::to_string(device);
            info.backend = TCaptureBackend::Alsa;
            ReadPcmFormat(info.path, info);
            list.push_back(std::move(info));
        }
    }
    return list;
}

namespace {

// Optional length of the virtual cameras' pictures, so a camera that stops
// can be played; 0 = endless.
std::string VirtualCameraPath() {
    const char* s = std::getenv("TAVRIN_VIRTUAL_CAMERA_SECONDS");
    if (s && std::atoi(s) > 0) {
        return "testsrc2=duration=" + std::to_string(std::atoi(s));
    }
    return "testsrc2";
}

} // namespace

std::vector<TNativeDeviceInfo_Video> VirtualCameras() {
    // Two cameras of one name: the first offers 1280 x 720 at 30 and 15
    // frames per second and 640 x 480 at 30, the second only 640 x 480.
    const int64_t i30 = 333333, i15 = 666667;
    const int32_t yuyv = int32_t(V4L2_PIX_FMT_YUYV);
    std::vector<TNativeDeviceInfo_Video> list(2);
    for (TNativeDeviceInfo_Video& cam : list) {
        cam.sName = "Virtual Camera";
        cam.path = VirtualCameraPath();
        cam.backend = TCaptureBackend::Virtual;
    }
    AddPixInfo(list[0].aPixInfo, {yuyv, 1280, 720, FrameCountFromInterval(i30)});
    AddPixInfo(list[0].aPixInfo, {yuyv, 1280, 720, FrameCountFromInterval(i15)});
    AddPixInfo(list[0].aPixInfo, {yuyv, 640, 480, FrameCountFromInterval(i30)});
    AddPixInfo(list[1].aPixInfo, {yuyv, 640, 480, FrameCountFromInterval(i30)});
    for (TNativeDeviceInfo_Video& cam : list) {
        cam.nPixCount = int32_t(cam.aPixInfo.size());
    }
    return list;
}

std::vector<TNativeDeviceInfo_Audio> VirtualMicrophones() {
    TNativeDeviceInfo_Audio mic;
    mic.sName = "Virtual Microphone";
    // Both channels carry the tone at full strength, as a stereo card would.
    mic.path = "sine,pan=stereo|c0=c0|c1=c0";
    mic.backend = TCaptureBackend::Virtual;
    mic.format = SND_PCM_FORMAT_S16_LE;
    return {mic};
}

bool VirtualDevicesEnabled() {
    const char* s = std::getenv("TAVRIN_VIRTUAL_DEVICES");
    return s && std::strcmp(s, "1") == 0;
}

int TNativeDevice::initialize() {
    if (VirtualDevicesEnabled()) {
        SetLists(VirtualCameras(), VirtualMicrophones());
    } else {
        SetLists(EnumerateV4L2Cameras(), EnumerateAlsaMicrophones());
    }
    return nVideoDeviceCount + nAudioDeviceCount;
}

void TNativeDevice::SetLists(std::vector<TNativeDeviceInfo_Video> video,
                             std::vector<TNativeDeviceInfo_Audio> audio) {
    UniqueNames(video);
    UniqueNames(audio);
    std::lock_guard lock(FLock);
    NV = std::move(video);
    NA = std::move(audio);
    nVideoDeviceCount = int32_t(NV.size());
    nAudioDeviceCount = int32_t(NA.size());
    nVideoIndex = NV.empty() ? -1 : 0;
    nAudioIndex = NA.empty() ? -1 : 0;
    nPixIndex = 0;
}

int TNativeDevice::GetInfoList_V(std::vector<TNativeDeviceInfo_Video>& out) const {
    std::lock_guard lock(FLock);
    out = NV;
    return int(out.size());
}

int TNativeDevice::GetInfoList_A(std::vector<TNativeDeviceInfo_Audio>& out) const {
    std::lock_guard lock(FLock);
    out = NA;
    return int(out.size());
}

int TNativeDevice::GetVideoInfoByName(const std::string& sDeviceName,
                                      TNativeDeviceInfo_Video& out) const {
    std::lock_guard lock(FLock);
    for (size_t i = 0; i < NV.size(); ++i) {
        if (NV[i].sName == sDeviceName) {
            out = NV[i];
            return int(i);
        }
    }
    return -1;
}

int TNativeDevice::GetAudioInfoByName(const std::string& sDeviceName,
                                      TNativeDeviceInfo_Audio& out) const {
    std::lock_guard lock(FLock);
    for (size_t i = 0; i < NA.size(); ++i) {
        if (NA[i].sName == sDeviceName) {
            out = NA[i];
            return int(i);
        }
    }
    return -1;
}

void TNativeDevice::GetCurrentIndex(int& NV_index, int& NV_PixIndex, int& NA_index,
                                    TNativeDeviceInfo_Video* PV,
                                    TNativeDeviceInfo_Audio* PA) const {
    std::lock_guard lock(FLock);
    NV_index = nVideoIndex;
    NV_PixIndex = NV.empty() ? -1 : nPixIndex;
    NA_index = nAudioIndex;
    if (PV && nVideoIndex >= 0) {
        *PV = NV[size_t(nVideoIndex)];
    }
    if (PA && nAudioIndex >= 0) {
        *PA = NA[size_t(nAudioIndex)];
    }
}

void TNativeDevice::SetCurrentIndex(int NV_index, int NV_PixIndex, int NA_index) {
    std::lock_guard lock(FLock);
    // Out-of-range choices keep the previous selection.
    if (NV_index >= 0 && size_t(NV_index) < NV.size()) {
        nVideoIndex = NV_index;
        TNativeDeviceInfo_Video& v = NV[size_t(NV_index)];
        if (NV_PixIndex >= 0 && NV_PixIndex < int(v.aPixInfo.size())) {
            nPixIndex = NV_PixIndex;
            v.nPixIndex = NV_PixIndex;
        }
    }
    if (NA_index >= 0 && size_t(NA_index) < NA.size()) {
        nAudioIndex = NA_index;
    }
}

TNativeDevice& TNativeDevice::Instance() {
    static TNativeDevice device;
    static std::once_flag once;
    std::call_once(once, [] { device.initialize(); });
    return device;
}

} // namespace tavrin
