// The process-wide list of local cameras and microphones with the picture
// sizes and rates each camera offers. Cameras come from V4L2, microphones from
// ALSA; with TAVRIN_VIRTUAL_DEVICES=1 a fixed set of lavfi test devices is
// listed instead, opened by the same capture code.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tavrin {

// How a capture thread reaches a device: the libavdevice input and the URL
// (or test source) it opens.
enum class TCaptureBackend : int32_t {
    V4L2 = 0,    // "video4linux2", path is the /dev/video node
    Alsa = 1,    // "alsa", path is the PCM name
    Virtual = 2, // "lavfi", path names the test source
};

struct TPixInfo {
    int32_t pixFormat = 0; // V4L2 fourcc of the first capability of this size
    int32_t width = 0;
    int32_t height = 0;
    int32_t frameCount = 0; // frames per second
};

struct TNativeDeviceInfo_Video {
    std::string sName; // display name, unique among cameras
    std::string path;
    TCaptureBackend backend = TCaptureBackend::V4L2;
    int32_t nPixCount = 0;
    int32_t nPixIndex = 0;
    std::vector<TPixInfo> aPixInfo;
};

struct TNativeDeviceInfo_Audio {
    std::string sName;
    std::string path;
    TCaptureBackend backend = TCaptureBackend::Alsa;
    int32_t ch = 2;
    int32_t bit = 16;
    int32_t rate = 48000;
    int32_t format = 0;
};

// Frames per second of a frame interval given in 100 ns units, rounded.
int32_t FrameCountFromInterval(int64_t interval100ns);

// Adds a size to the list unless that width x height is listed already: the
// first capability of a size wins.
void AddPixInfo(std::vector<TPixInfo>& list, const TPixInfo& info);

// Every later device named like device i gets "_" and a counter (1, 2, ...)
// appended, counted for that i.
void MakeNamesUnique(std::vector<std::string>& names);

class TNativeDevice {
public:
    // Enumerates cameras, then microphones. Safe to call again: the lists
    // are rebuilt. Returns the number of devices found.
    int initialize();

    int GetInfoList_V(std::vector<TNativeDeviceInfo_Video>& out) const;
    int GetInfoList_A(std::vector<TNativeDeviceInfo_Audio>& out) const;
    int GetVideoInfoByName(const std::string& sDeviceName, TNativeDeviceInfo_Video& out) const;
    int GetAudioInfoByName(const std::string& sDeviceName, TNativeDeviceInfo_Audio& out) const;
    // -1 for a kind without devices; PV / PA receive copies of the selected entries.
    void GetCurrentIndex(int& NV_index, int& NV_PixIndex, int& NA_index,
                         TNativeDeviceInfo_Video* PV, TNativeDeviceInfo_Audio* PA) const;
    void SetCurrentIndex(int NV_index, int NV_PixIndex, int NA_index);

    // Replaces the lists (the enumeration backends, and tests).
    void SetLists(std::vector<TNativeDeviceInfo_Video> video,
                  std::vector<TNativeDeviceInfo_Audio> audio);

    int32_t nVideoDeviceCount = 0;
    int32_t nAudioDeviceCount = 0;

    // The process-wide list, enumerated on first use.
    static TNativeDevice& Instance();

private:
    mutable std::mutex FLock;
    int32_t nVideoIndex = -1;
    int32_t nAudioIndex = -1;
    int32_t nPixIndex = 0;
    std::vector<TNativeDeviceInfo_Video> NV;
    std::vector<TNativeDeviceInfo_Audio> NA;
};

// True when TAVRIN_VIRTUAL_DEVICES=1 replaces the real devices.
bool VirtualDevicesEnabled();

// The enumeration backends; each returns what it could list (nothing on a
// machine without such devices).
std::vector<TNativeDeviceInfo_Video> EnumerateV4L2Cameras(const std::string& devDir = "/dev");
std::vector<TNativeDeviceInfo_Audio> EnumerateAlsaMicrophones();
std::vector<TNativeDeviceInfo_Video> VirtualCameras();
std::vector<TNativeDeviceInfo_Audio> VirtualMicrophones();

} // namespace tavrin
