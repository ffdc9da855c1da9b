#include "sources/AudioClient.h"

#include "base/Rounding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tavrin {

namespace {

// Bytes per channel of one encoder frame (the encoder buffers float samples).
constexpr int kEncoderFrameBytes = TEncodeAudio::kFrameSamples * int(sizeof(float));

template <typename T> int32_t PeakOf(const T* p, size_t n, double scale) {
    int32_t peak = 0;
    for (size_t i = 0; i < n; ++i) {
        const int32_t v = int32_t(std::lround(std::fabs(double(p[i]) * scale)));
        peak = std::max(peak, v);
    }
    return peak;
}

} // namespace

int16_t PeakPCM(const AVFrame* frame) {
    if (!frame || frame->nb_samples <= 0) {
        return 0;
    }
    const auto fmt = AVSampleFormat(frame->format);
    const int channels = frame->ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(fmt);
    const int planes = planar ? channels : 1;
    const size_t perPlane = size_t(frame->nb_samples) * size_t(planar ? 1 : channels);
    int32_t peak = 0;
    for (int c = 0; c < planes; ++c) {
        const uint8_t* d = frame->extended_data[c];
        switch (av_get_packed_sample_fmt(fmt)) {
        case AV_SAMPLE_FMT_S16:
            peak = std::max(peak, PeakOf(reinterpret_cast<const int16_t*>(d), perPlane, 1.0));
            break;
        case AV_SAMPLE_FMT_S32:
            peak = std::max(peak,
                            PeakOf(reinterpret_cast<const int32_t*>(d), perPlane, 1.0 / 65536.0));
            break;
        case AV_SAMPLE_FMT_FLT:
            peak = std::max(peak, PeakOf(reinterpret_cast<const float*>(d), perPlane, 32767.0));
            break;
        default:
            return 0; // formats a sound card does not deliver
        }
    }
    return int16_t(std::min<int32_t>(peak, 32767));
}

int VolumeFromPeak(int16_t peak) {
    return RoundToInt(double(std::max<int16_t>(peak, 0)) * 100.0 / 32767.0);
}

TAudioClient::~TAudioClient() {
    Destroy();
}

int TAudioClient::initialize(int ownerType, const TNativeDeviceInfo_Audio& dev, ICaptureSink* TC) {
    nType = ownerType;
    device = dev;
    ClientThread = TC;
    return OpenGuarded("audio", [this] { return OpenAudioDevice(); });
}

int TAudioClient::OpenAudioDevice() {
    AVDictionary* raw = nullptr;
    // 16-bit stereo in 20 ms buffers at the card's rate.
    av_dict_set(&raw, "sample_size", "16", 0);
    av_dict_set(&raw, "channels", "2", 0);
    av_dict_set(&raw, "sample_rate", std::to_string(device.rate).c_str(), 0);
    av_dict_set(&raw, "audio_buffer_size", "20", 0);
    AvDictionaryPtr options(raw);
    const std::string url = AudioCaptureUrl(device.backend, device.path, device.rate);
    const int r = OpenInput(device.backend, url, options.get(), AVMEDIA_TYPE_AUDIO);
    if (r != 0) {
        return r;
    }
    if (nType == kTypeChannel) {
        EncodeAudio = std::make_unique<TEncodeAudio>();
        if (EncodeAudio->initialize(pCodecCtx.get()) != 0) {
            EncodeAudio.reset();
            return -6;
        }
        aac.reserve(4096);
    }
    return 0;
}

void TAudioClient::OnFrame(AVFrame* frame) {
    if (nType == kTypeLevel) {
        const int16_t peak = PeakPCM(frame);
        int16_t cur = MaxPCM.load();
        while (peak > cur && !MaxPCM.compare_exchange_weak(cur, peak)) {
        }
        return;
    }
    if (!EncodeAudio) {
        return;
    }
    EncodeAudio->addPCM(frame, frame->nb_samples, nullptr);
    // Take every frame ready: a sound card may deliver many frames' worth of
    // samples at once, and the encoder hands out one per call.
    bool bFrameError = false;
    for (int guard = 0; guard < 1024; ++guard) {
        if (EncodeAudio->GetAAC(aac, bFrameError) <= 0) {
            if (EncodeAudio->BufferedBytes() < kEncoderFrameBytes) {
                break;
            }
            continue; // a frame went in without one coming out yet
        }
        TZeroMediaFrameHead head{};
        if (!ReadMediaFrameHead(aac, head)) {
            break;
        }
        pLink.Push(kFrameMarkerAudio);
        nAacFrames.fetch_add(1);
        if (ClientThread) {
            ClientThread->RealPlayAudio(aac.data() + kMediaFrameHeadSize, kFrameAAC,
                                        head.nFrameSize);
        }
    }
}

int TAudioClient::GetMaxVolume() {
    const int16_t peak = MaxPCM.exchange(0);
    return VolumeFromPeak(peak);
}

void TAudioClient::Destroy() {
    StopAndClose();
    EncodeAudio.reset();
}

} // namespace tavrin
