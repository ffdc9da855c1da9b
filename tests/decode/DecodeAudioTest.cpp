#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "decode/DecodeAudio.h"
#include "output/EncodeAudio.h"

namespace tavrin {
namespace {

// AAC frames (without their 13-byte head and ADTS header) of a tone of the
// given amplitude, made by the system's own encoder.
std::vector<std::vector<uint8_t>> ToneFrames(double amplitude, int frames) {
    TEncodeAudio enc;
    EXPECT_EQ(enc.initialize_item(AV_SAMPLE_FMT_S16, 2, 48000), 0);
    std::vector<std::vector<uint8_t>> out;
    std::vector<int16_t> pcm(2048);
    std::vector<uint8_t> frame;
    bool error = false;
    for (int block = 0; block < frames + 3; ++block) {
        for (int i = 0; i < 1024; ++i) {
            const double v = amplitude * std::sin(2 * M_PI * 1000 * (block * 1024 + i) / 48000);
            pcm[size_t(i) * 2] = pcm[size_t(i) * 2 + 1] = int16_t(std::lround(v * 32767));
        }
        enc.addPCM(nullptr, 1024, reinterpret_cast<const uint8_t*>(pcm.data()));
        while (enc.GetAAC(frame, error) > 0) {
            out.emplace_back(frame.begin() + 20, frame.end());
        }
    }
    return out;
}

TEST(DecodeAudio, AacFramesBecomeStereoS16WithLevels) {
    TDecodeAudio dec;
    ASSERT_EQ(dec.initialize(), 0);
    EXPECT_EQ(dec.SampleRate(), 48000);
    const auto frames = ToneFrames(0.5, 12);
    ASSERT_GE(frames.size(), 10u);
    int decodedFrames = 0;
    int16_t peak = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        const uint8_t* pcm = nullptr;
        int bytes = 0;
        const int n = dec.GetPCM(frames[i].data(), int(frames[i].size()), pcm, bytes);
        if (n == 0) {
            continue;
        }
        ++decodedFrames;
        EXPECT_EQ(n, 1024);
        EXPECT_EQ(bytes, 4096);
        const auto* s = reinterpret_cast<const int16_t*>(pcm);
        for (int k = 0; k < n * 2; ++k) {
            peak = std::max<int16_t>(peak, int16_t(std::abs(s[k])));
        }
    }
    EXPECT_EQ(decodedFrames, int(frames.size()));
    EXPECT_NEAR(peak, 16384, 1600);

    // A frame that does not decode yields nothing and keeps the level.
    const uint8_t junk[3] = {0x00, 0x01, 0x02};
    const uint8_t* none = nullptr;
    int noneBytes = -1;
    EXPECT_EQ(dec.GetPCM(junk, 3, none, noneBytes), 0);
    EXPECT_EQ(dec.GetPCM(nullptr, 0, none, noneBytes), 0);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(noneBytes, -1);

    // Mean absolute value of a 0.5 sine: 0.5 * 2 / pi = 31.8 % of full scale.
    rAudioChannel level;
    level.bMainAudioCH = true;
    level.nPosition = 7;
    dec.GetMaxPCMVolume(level);
    EXPECT_NEAR(level.L, 32, 2);
    EXPECT_NEAR(level.R, 32, 2);
    EXPECT_TRUE(level.bMainAudioCH); // left to the caller
    EXPECT_EQ(level.nPosition, 7);
    dec.GetMaxPCMVolume(level);
    EXPECT_EQ(level.L, 0);
    EXPECT_EQ(level.R, 0);
}

TEST(DecodeAudio, FloatSamplesAreClampedAndRounded) {
    EXPECT_EQ(FloatSampleToS16(1.0f), 32767);
    EXPECT_EQ(FloatSampleToS16(-1.5f), -32767);
    EXPECT_EQ(FloatSampleToS16(3.0f), 32767);
    EXPECT_EQ(FloatSampleToS16(0.5f), 16384);
    EXPECT_EQ(FloatSampleToS16(0.0f), 0);
}

// A mono AAC stream, encoded directly with libavcodec, comes out as stereo
// with both channels equal.
TEST(DecodeAudio, MonoBecomesStereoWithEqualChannels) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    AvCodecContextPtr enc(avcodec_alloc_context3(codec));
    const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    av_channel_layout_copy(&enc->ch_layout, &mono);
    enc->sample_rate = 48000;
    enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
    enc->bit_rate = 64000;
    ASSERT_EQ(avcodec_open2(enc.get(), codec, nullptr), 0);

    AVCodecParameters* par = avcodec_parameters_alloc();
    avcodec_parameters_from_context(par, enc.get());
    TDecodeAudio dec;
    const int opened = dec.initialize(par);
    avcodec_parameters_free(&par);
    ASSERT_EQ(opened, 0);

    AvFramePtr frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->nb_samples = 1024;
    av_channel_layout_copy(&frame->ch_layout, &mono);
    frame->sample_rate = 48000;
    ASSERT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    AvPacketPtr pkt(av_packet_alloc());
    int checked = 0;
    for (int block = 0; block < 8; ++block) {
        av_frame_make_writable(frame.get());
        auto* s = reinterpret_cast<float*>(frame->data[0]);
        for (int i = 0; i < 1024; ++i) {
            s[i] = 0.4f * std::sin(float(2 * M_PI * 440 * (block * 1024 + i) / 48000));
        }
        frame->pts = block * 1024;
        ASSERT_EQ(avcodec_send_frame(enc.get(), frame.get()), 0);
        while (avcodec_receive_packet(enc.get(), pkt.get()) == 0) {
            const uint8_t* pcm = nullptr;
            int bytes = 0;
            const int n = dec.GetPCM(pkt->data, pkt->size, pcm, bytes);
            av_packet_unref(pkt.get());
            if (n == 0) {
                continue;
            }
            EXPECT_EQ(bytes, n * 4);
            const auto* st = reinterpret_cast<const int16_t*>(pcm);
            bool equal = true;
            bool loud = false;
            for (int i = 0; i < n; ++i) {
                equal = equal && st[2 * i] == st[2 * i + 1];
                loud = loud || std::abs(st[2 * i]) > 8000;
            }
            EXPECT_TRUE(equal);
            checked += loud ? 1 : 0;
        }
    }
    EXPECT_GE(checked, 3);
}

// Uncompressed s16 streams: interleaved passes through, planar is interleaved.
TEST(DecodeAudio, SixteenBitFormatsInterleavedAndPlanar) {
    std::vector<int16_t> left(480), right(480);
    for (int i = 0; i < 480; ++i) {
        left[size_t(i)] = int16_t(i * 50 - 12000);
        right[size_t(i)] = int16_t(9000 - i * 30);
    }
    for (const AVCodecID id : {AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_S16LE_PLANAR}) {
        AVCodecParameters* par = avcodec_parameters_alloc();
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = id;
        par->sample_rate = 48000;
        av_channel_layout_default(&par->ch_layout, 2);
        par->bits_per_coded_sample = 16;
        par->block_align = 4;
        TDecodeAudio dec;
        const int opened = dec.initialize(par);
        avcodec_parameters_free(&par);
        ASSERT_EQ(opened, 0);

        std::vector<int16_t> packet;
        if (id == AV_CODEC_ID_PCM_S16LE) {
            for (int i = 0; i < 480; ++i) {
                packet.push_back(left[size_t(i)]);
                packet.push_back(right[size_t(i)]);
            }
        } else {
            packet = left;
            packet.insert(packet.end(), right.begin(), right.end());
        }
        const uint8_t* pcm = nullptr;
        int bytes = 0;
        ASSERT_EQ(dec.GetPCM(reinterpret_cast<const uint8_t*>(packet.data()),
                             int(packet.size() * 2), pcm, bytes),
                  480)
            << avcodec_get_name(id);
        ASSERT_EQ(bytes, 1920);
        const auto* st = reinterpret_cast<const int16_t*>(pcm);
        for (int i = 0; i < 480; ++i) {
            ASSERT_EQ(st[2 * i], left[size_t(i)]) << avcodec_get_name(id) << " sample " << i;
            ASSERT_EQ(st[2 * i + 1], right[size_t(i)]) << avcodec_get_name(id) << " sample " << i;
        }
        // Levels come only from float frames.
        rAudioChannel level;
        dec.GetMaxPCMVolume(level);
        EXPECT_EQ(level.L, 0);
    }
}

} // namespace
} // namespace tavrin
