#include "compose/RecordAudioPacer.h"

#include "av/AvPtr.h"
#include "output/Adts.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace tavrin {
namespace {

constexpr uint32_t kTickUs = 40000;
// The programme's pictures reach the recorder this many ticks after they
// were composed (the encoder's frame threads).
constexpr uint32_t kEncoderDelay = 2;

// An ADTS frame of the given format whose payload carries its number.
std::vector<uint8_t> Frame(uint32_t seq, int rate = 48000, int channelConfig = 2) {
    std::vector<uint8_t> f(kAdtsHeaderSize + 40, 0x5A);
    uint8_t header[kAdtsHeaderSize];
    MakeAdtsHeader(header, int(f.size()), rate);
    header[2] = uint8_t((header[2] & 0xFE) | ((channelConfig >> 2) & 1));
    header[3] = uint8_t((header[3] & 0x3F) | ((channelConfig & 3) << 6));
    std::memcpy(f.data(), header, kAdtsHeaderSize);
    std::memcpy(f.data() + kAdtsHeaderSize, &seq, 4);
    return f;
}

// What the recorder would have got: per picture, the frames released with
// it (a frame's number, or -1 for silence).
struct TRecording {
    std::vector<std::vector<int64_t>> byPicture;
    std::vector<uint8_t> lastSilence;
    void Add(const uint8_t* data, int size) {
        std::vector<int64_t>& now = byPicture.back();
        if (size == int(kAdtsHeaderSize + 40) && data[kAdtsHeaderSize + 4] == 0x5A) {
            uint32_t seq = 0;
            std::memcpy(&seq, data + kAdtsHeaderSize, 4);
            now.push_back(seq);
        } else {
            now.push_back(-1);
            lastSilence.assign(data, data + size);
        }
    }
    // The frames of the stream in the order they were recorded.
    std::vector<int64_t> Stream() const {
        std::vector<int64_t> all;
        for (const auto& p : byPicture) {
            all.insert(all.end(), p.begin(), p.end());
        }
        return all;
    }
    // Audio frames of each closed block of 25 pictures.
    std::vector<int> Blocks() const {
        std::vector<int> blocks;
        for (size_t b = 0; b + 25 <= byPicture.size(); b += 25) {
            int n = 0;
            for (size_t p = b; p < b + 25; ++p) {
                n += int(byPicture[p].size());
            }
            blocks.push_back(n);
        }
        return blocks;
    }
};

// Plays a recording of nTicks ticks: frame i of the sound channel arrives
// at arrival(i) microseconds (ascending), the programme composes a picture
// every 40 ms and the recorder gets each one kEncoderDelay ticks later.
template <typename Arrival>
TRecording Play(uint32_t nTicks, Arrival arrival, TRecordAudioPacer::TStats* stats = nullptr) {
    TRecording rec;
    TRecordAudioPacer pacer([&rec](const uint8_t* d, int n) { rec.Add(d, n); });
    pacer.Start();
    uint32_t next = 0;
    for (uint32_t tick = 0; tick < nTicks; ++tick) {
        const int64_t now = int64_t(tick) * kTickUs;
        for (; arrival(next) <= now; ++next) {
            const std::vector<uint8_t> f = Frame(next);
            pacer.Push(f.data(), int(f.size()));
        }
        pacer.Composed(tick + 1); // picture `tick` is composed now
        if (tick >= kEncoderDelay) {
            rec.byPicture.emplace_back();
            pacer.Release(tick - kEncoderDelay);
        }
    }
    if (stats != nullptr) {
        *stats = pacer.Stats();
    }
    return rec;
}

int64_t Steady(uint32_t i) {
    return int64_t(i) * 1024 * 1000000 / 48000;
}

// Every block of 25 pictures holds 46 or 47 frames, the stream as a whole
// exactly what the pictures' duration calls for.
void ExpectPaced(const TRecording& rec) {
    for (int n : rec.Blocks()) {
        EXPECT_TRUE(n == 46 || n == 47) << n;
    }
    EXPECT_EQ(rec.Stream().size(), rec.byPicture.size() * 48000 / 25 / 1024);
}

// How far (in frames, 1.875 to a picture) a real frame sits from where its
// arrival puts it.
int MaxOffset(const TRecording& rec, size_t fromPosition = 0) {
    const std::vector<int64_t> stream = rec.Stream();
    int most = 0;
    for (size_t j = fromPosition; j < stream.size(); ++j) {
        if (stream[j] >= 0) {
            most = std::max(most, std::abs(int(j) - int(stream[j])));
        }
    }
    return most;
}

TEST(RecordAudioPacer, SteadySoundIsPassedInOrderWithinAPicture) {
    TRecordAudioPacer::TStats stats;
    const TRecording rec = Play(25 * 20, Steady, &stats);
    ExpectPaced(rec);
    const std::vector<int64_t> stream = rec.Stream();
    // In order, each frame once, each with the picture it arrived with.
    int64_t last = -1;
    for (int64_t seq : stream) {
        if (seq >= 0) {
            EXPECT_GT(seq, last);
            last = seq;
        }
    }
    EXPECT_EQ(stats.nSilent, 0u);
    EXPECT_EQ(stats.nDropped, 0u);
    EXPECT_EQ(MaxOffset(rec), 0);
}

TEST(RecordAudioPacer, JitterIsAbsorbed) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> jitter(0, 30000); // up to 30 ms late
    std::vector<int64_t> times;
    for (uint32_t i = 0; i < 1200; ++i) {
        times.push_back(Steady(i) + jitter(random));
    }
    for (size_t i = 1; i < times.size(); ++i) {
        times[i] = std::max(times[i], times[i - 1]); // one connection: order is kept
    }
    TRecordAudioPacer::TStats stats;
    const TRecording rec = Play(
        25 * 20, [&times](uint32_t i) { return i < times.size() ? times[i] : INT64_MAX; }, &stats);
    ExpectPaced(rec);
    EXPECT_LE(MaxOffset(rec), 1); // sound and pictures within one picture
    EXPECT_LE(stats.nSilent + stats.nDropped, 6u) << stats.nSilent << " " << stats.nDropped;
}

TEST(RecordAudioPacer, AStallIsFilledWithSilenceAndItsBacklogDropped) {
    // The sound phone stops for 4 s from second 5 and then delivers what
    // it held back all at once.
    const int64_t stallFrom = 5000000;
    const int64_t stallTo = 9000000;
    TRecordAudioPacer::TStats stats;
    const TRecording rec = Play(
        25 * 20,
        [&](uint32_t i) {
            const int64_t t = Steady(i);
            return t >= stallFrom && t < stallTo ? stallTo : t;
        },
        &stats);
    ExpectPaced(rec);
    // About 4 s of silence (187.5 frames) instead of the missing sound ...
    EXPECT_NEAR(double(stats.nSilent), 187.5, 4.0);
    // ... and the backlog is not written as if it were current.
    EXPECT_NEAR(double(stats.nDropped), 187.5, 4.0);
    // The pictures during the stall got silence; afterwards the sound is
    // where its arrival puts it again.
    const std::vector<int64_t> stream = rec.Stream();
    const size_t stallStart = size_t(stallFrom / 21334) + 3;
    const size_t stallEnd = size_t(stallTo / 21333) - 1;
    for (size_t j = stallStart; j < stallEnd; ++j) {
        EXPECT_EQ(stream[j], -1) << j;
    }
    EXPECT_LE(MaxOffset(rec, stallEnd + 4), 1);
}

TEST(RecordAudioPacer, NothingIsDueBeforeTheFormatIsKnown) {
    int got = 0;
    TRecordAudioPacer pacer([&got](const uint8_t*, int) { ++got; });
    pacer.Start();
    EXPECT_FALSE(pacer.FormatKnown());
    EXPECT_EQ(pacer.Release(10), 0);
    const uint8_t notAdts[20] = {1, 2, 3};
    pacer.Push(notAdts, sizeof notAdts);
    EXPECT_FALSE(pacer.FormatKnown());
    const std::vector<uint8_t> f = Frame(0);
    pacer.NoteFormat(f.data(), int(f.size())); // learnt, not queued
    EXPECT_TRUE(pacer.FormatKnown());
    EXPECT_EQ(pacer.Queued(), 0u);
    EXPECT_EQ(pacer.Release(0), 1); // silence for the first picture
    EXPECT_EQ(got, 1);
}

// Decodes an ADTS AAC frame (twice, so the decoder's start-up is behind
// it) and returns the last samples.
AvFramePtr DecodeTwice(const std::vector<uint8_t>& frame) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx || avcodec_open2(ctx.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    AvPacketPtr pkt(av_packet_alloc());
    AvFramePtr out(av_frame_alloc());
    for (int i = 0; i < 2; ++i) {
        av_new_packet(pkt.get(), int(frame.size()));
        std::copy(frame.begin(), frame.end(), pkt->data);
        if (avcodec_send_packet(ctx.get(), pkt.get()) < 0 ||
            avcodec_receive_frame(ctx.get(), out.get()) < 0) {
            return nullptr;
        }
        av_packet_unref(pkt.get());
    }
    return out;
}

TEST(RecordAudioPacer, SilenceHasTheChannelsFormatAndDecodesAsSilence) {
    for (const TAdtsFormat format : {TAdtsFormat{48000, 2}, TAdtsFormat{44100, 1}}) {
        SCOPED_TRACE(format.nSampleRate);
        std::vector<uint8_t> silence;
        ASSERT_TRUE(MakeSilentAacFrame(format, silence));
        TAdtsFormat read;
        ASSERT_TRUE(ReadAdtsFormat(silence.data(), silence.size(), read));
        EXPECT_EQ(read, format);
        const AvFramePtr pcm = DecodeTwice(silence);
        ASSERT_TRUE(pcm);
        EXPECT_EQ(pcm->sample_rate, format.nSampleRate);
        EXPECT_EQ(pcm->ch_layout.nb_channels, format.nChannelConfig);
        EXPECT_EQ(pcm->nb_samples, 1024);
        ASSERT_EQ(pcm->format, AV_SAMPLE_FMT_FLTP);
        float loudest = 0;
        for (int ch = 0; ch < pcm->ch_layout.nb_channels; ++ch) {
            const float* s = reinterpret_cast<const float*>(pcm->extended_data[ch]);
            for (int i = 0; i < pcm->nb_samples; ++i) {
                loudest = std::max(loudest, std::fabs(s[i]));
            }
        }
        EXPECT_LT(loudest, 1e-4f);
    }

    // The pacer fills with the format of the channel's last frame, and
    // counts what is due at that frame's rate.
    TRecording rec;
    rec.byPicture.emplace_back();
    TRecordAudioPacer pacer([&rec](const uint8_t* d, int n) { rec.Add(d, n); });
    pacer.Start();
    const std::vector<uint8_t> mono = Frame(0, 44100, 1);
    pacer.Push(mono.data(), int(mono.size()));
    EXPECT_EQ(pacer.Release(24), 25 * 44100 / 25 / 1024); // one second: 43 frames
    TAdtsFormat filled;
    ASSERT_TRUE(ReadAdtsFormat(rec.lastSilence.data(), rec.lastSilence.size(), filled));
    EXPECT_EQ(filled, (TAdtsFormat{44100, 1}));
    EXPECT_EQ(rec.byPicture[0].front(), 0); // the real frame first
}

} // namespace
} // namespace tavrin
