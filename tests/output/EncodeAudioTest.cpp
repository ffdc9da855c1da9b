#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "base/MediaFrame.h"
#include "base/Trace.h"
#include "output/Adts.h"
#include "output/EncodeAudio.h"

namespace tavrin {
namespace {

// Interleaved s16 stereo: a sine on the left, half of it on the right.
std::vector<int16_t> Sine(int samples, int rate, double hz, double amplitude, int start = 0) {
    std::vector<int16_t> pcm(size_t(samples) * 2);
    for (int i = 0; i < samples; ++i) {
        const double v = amplitude * std::sin(2 * M_PI * hz * (start + i) / rate);
        pcm[size_t(i) * 2] = int16_t(std::lround(v * 32767));
        pcm[size_t(i) * 2 + 1] = int16_t(std::lround(v * 16383));
    }
    return pcm;
}

const uint8_t* Bytes(const std::vector<int16_t>& v) {
    return reinterpret_cast<const uint8_t*>(v.data());
}

std::vector<std::vector<uint8_t>> DrainFrames(TEncodeAudio& enc) {
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> frame;
    bool error = true;
    while (enc.GetAAC(frame, error) > 0) {
        EXPECT_FALSE(error);
        frames.push_back(frame);
    }
    return frames;
}

TEST(EncodeAudio, OneFrameOfInputFeedsExactlyOneFrame) {
    TEncodeAudio enc;
    ASSERT_EQ(enc.initialize_item(AV_SAMPLE_FMT_S16, 2, 48000), 0);
    const std::vector<int16_t> pcm = Sine(1024, 48000, 1000, 0.5);
    EXPECT_EQ(enc.addPCM(nullptr, 1024, Bytes(pcm)), 1024);
    EXPECT_EQ(enc.BufferedBytes(), 4096);
    DrainFrames(enc);
    EXPECT_EQ(enc.FramesFed(), 2);
    EXPECT_EQ(enc.BufferedBytes(), 0);

    // Less than a frame buffered: nothing is fed.
    EXPECT_EQ(enc.addPCM(nullptr, 512, Bytes(pcm)), 512);
    DrainFrames(enc);
    EXPECT_EQ(enc.FramesFed(), 2);
    EXPECT_EQ(enc.BufferedBytes(), 2048);

    TTraceCapture trace;
    enc.FlushBuf();
    EXPECT_TRUE(trace.Contains("----ss---now flush!"));
    EXPECT_EQ(enc.BufferedBytes(), 2048);
}

TEST(EncodeAudio, LargeBlocksAreDrainedAndOtherRatesResampled) {
    TEncodeAudio enc;
    ASSERT_EQ(enc.initialize_item(AV_SAMPLE_FMT_S16, 2, 48000), 0);
    const std::vector<int16_t> twoFrames = Sine(2048, 48000, 1000, 0.5);
    // Step one converts 1024; the drain takes the other 1024 at once.
    EXPECT_EQ(enc.addPCM(nullptr, 2048, Bytes(twoFrames)), 1024);
    EXPECT_EQ(enc.BufferedBytes(), 8192);

    TEncodeAudio resampling;
    ASSERT_EQ(resampling.initialize_item(AV_SAMPLE_FMT_S16, 2, 44100), 0);
    const std::vector<int16_t> tenth = Sine(4410, 44100, 1000, 0.5);
    for (int i = 0; i < 10; ++i) {
        const int converted = resampling.addPCM(nullptr, 4410, Bytes(tenth));
        EXPECT_GT(converted, 0);
        EXPECT_LE(converted, 1024);
    }
    // One second at 48 kHz is 48000 samples; less than a frame of them may
    // still wait inside the resampler.
    const int samples = resampling.BufferedBytes() / 4;
    EXPECT_EQ(resampling.BufferedBytes() % 4, 0);
    EXPECT_GT(samples, 48000 - 1024 - 64);
    EXPECT_LE(samples, 48000);
}

TEST(EncodeAudio, InputThatWouldOverrunTheBuffersIsRefused) {
    TEncodeAudio enc;
    ASSERT_EQ(enc.initialize_item(AV_SAMPLE_FMT_S16, 2, 48000), 0);
    const std::vector<int16_t> second = Sine(48000, 48000, 440, 0.3);
    int result = 0;
    int calls = 0;
    while ((result = enc.addPCM(nullptr, 48000, Bytes(second))) > 0 && calls < 100) {
        ++calls;
        ASSERT_LE(enc.BufferedBytes(), TEncodeAudio::kAccumulationBytes);
    }
    EXPECT_EQ(result, -4);
    EXPECT_GE(calls, 5); // about 5.2 s fit
    EXPECT_GT(enc.BufferedBytes(), TEncodeAudio::kAccumulationBytes - 4096);
    EXPECT_LE(enc.BufferedBytes(), TEncodeAudio::kAccumulationBytes);

    // Draining makes room again.
    DrainFrames(enc);
    EXPECT_EQ(enc.addPCM(nullptr, 1024, Bytes(second)), 1024);
}

TEST(EncodeAudio, PlanarFramesAreReadFromAllTheirPlanes) {
    TEncodeAudio enc;
    ASSERT_EQ(enc.initialize_item(AV_SAMPLE_FMT_FLTP, 2, 48000), 0);
    AvFramePtr frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->nb_samples = 1024;
    frame->sample_rate = 48000;
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&frame->ch_layout, &stereo);
    ASSERT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    for (int i = 0; i < 1024; ++i) {
        reinterpret_cast<float*>(frame->data[0])[i] = 0.25f;
        reinterpret_cast<float*>(frame->data[1])[i] = -0.25f;
    }
    EXPECT_EQ(enc.addPCM(frame.get(), 1024, nullptr), 1024);
    EXPECT_EQ(enc.BufferedBytes(), 4096);
    // One pointer cannot describe two planes.
    EXPECT_EQ(enc.addPCM(nullptr, 1024, frame->data[0]), -5);
    EXPECT_EQ(enc.BufferedBytes(), 4096);
}

// Encodes one second of a 1 kHz tone, writes the frames as an ADTS file,
// reads it back with FFmpeg's ADTS demuxer and decodes it with libavcodec.
TEST(EncodeAudio, FramesAreMediaFramesThatFfmpegReadsBack) {
    TEncodeAudio enc;
    ASSERT_EQ(enc.initialize_item(AV_SAMPLE_FMT_S16, 2, 48000), 0);
    std::vector<std::vector<uint8_t>> frames;
    for (int start = 0; start < 48000; start += 960) {
        const std::vector<int16_t> block = Sine(960, 48000, 1000, 0.5, start);
        ASSERT_EQ(enc.addPCM(nullptr, 960, Bytes(block)), 960);
        for (auto& f : DrainFrames(enc)) {
            frames.push_back(std::move(f));
        }
    }
    ASSERT_GE(frames.size(), 40u);

    const int64_t now = LocalWallClockMicros();
    char path[] = "/tmp/tavrin-adts-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE* file = fdopen(fd, "wb");
    for (const auto& f : frames) {
        TZeroMediaFrameHead head{};
        ASSERT_TRUE(ReadMediaFrameHead(f, head));
        EXPECT_EQ(head.nFrameType, kFrameAAC);
        EXPECT_EQ(size_t(head.nFrameSize), f.size() - kMediaFrameHeadSize);
        EXPECT_LE(std::llabs(now - int64_t{head.PTS}), 60LL * 1000 * 1000);
        uint8_t expected[kAdtsHeaderSize];
        ASSERT_TRUE(MakeAdtsHeader(expected, int(head.nFrameSize), 48000));
        EXPECT_TRUE(std::equal(expected, expected + kAdtsHeaderSize, f.begin() + 13));
        fwrite(f.data() + kMediaFrameHeadSize, 1, f.size() - kMediaFrameHeadSize, file);
    }
    fclose(file);

    AVFormatContext* raw = nullptr;
    ASSERT_EQ(avformat_open_input(&raw, path, av_find_input_format("aac"), nullptr), 0);
    AvInputFormatContextPtr fmt(raw);
    ASSERT_GE(avformat_find_stream_info(fmt.get(), nullptr), 0);
    ASSERT_EQ(fmt->nb_streams, 1u);
    const AVCodecParameters* par = fmt->streams[0]->codecpar;
    EXPECT_EQ(par->codec_id, AV_CODEC_ID_AAC);
    EXPECT_EQ(par->sample_rate, 48000);
    EXPECT_EQ(par->ch_layout.nb_channels, 2);
    EXPECT_EQ(par->profile, FF_PROFILE_AAC_LOW);

    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    AvCodecContextPtr dec(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(dec.get(), par);
    ASSERT_EQ(avcodec_open2(dec.get(), codec, nullptr), 0);
    AvPacketPtr pkt(av_packet_alloc());
    AvFramePtr pcm(av_frame_alloc());
    size_t packets = 0;
    int64_t samples = 0;
    int crossings = 0;
    double sumSquares = 0;
    int64_t measured = 0;
    float previous = 0;
    while (av_read_frame(fmt.get(), pkt.get()) >= 0) {
        ++packets;
        ASSERT_EQ(avcodec_send_packet(dec.get(), pkt.get()), 0);
        av_packet_unref(pkt.get());
        while (avcodec_receive_frame(dec.get(), pcm.get()) == 0) {
            const float* left = reinterpret_cast<const float*>(pcm->data[0]);
            for (int i = 0; i < pcm->nb_samples; ++i, ++samples) {
                if (samples < 4096) {
                    continue; // encoder priming
                }
                sumSquares += double(left[i]) * left[i];
                ++measured;
                if ((previous < 0) != (left[i] < 0)) {
                    ++crossings;
                }
                previous = left[i];
            }
        }
    }
    std::remove(path);
    EXPECT_EQ(packets, frames.size());
    EXPECT_GE(samples, int64_t(frames.size() - 1) * 1024);
    ASSERT_GT(measured, 24000);
    // A 1 kHz tone crosses zero 2000 times a second; amplitude 0.5 has RMS 0.354.
    const double seconds = double(measured) / 48000;
    EXPECT_NEAR(crossings / seconds, 2000, 40);
    EXPECT_NEAR(std::sqrt(sumSquares / double(measured)), 0.354, 0.03);
}

} // namespace
} // namespace tavrin
