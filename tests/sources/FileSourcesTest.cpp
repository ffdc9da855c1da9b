#include "base/GloTimer.h"
#include "base/MediaFrame.h"
#include "base/Message.h"
#include "base/Thread.h"
#include "decode/DecodeAudio.h"
#include "output/Adts.h"
#include "sources/AVMaker.h"
#include "sources/Native_Image.h"
#include "sources/Native_Mp4.h"
#include "sources/SilentAAC.h"
#include "tests/base/TempDir.h"
#include "tests/sources/FakeLinks.h"
#include "tests/support/TestMedia.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

using Records = std::vector<std::vector<uint8_t>>;

// Three seconds of 25 fps H.264 with a tone.
std::string MakeMovie(const test::TempDir& dir, const std::string& name, const std::string& audio) {
    const std::string path = dir.File(name);
    const bool ok =
        test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=320x240:r=25 -f lavfi "
                  "-i sine=f=440:r=48000 -t 3 -c:v libx264 -g 25 -pix_fmt yuv420p " +
                  audio + " '" + path + "'");
    return ok ? path : std::string();
}

Records Drain(TNative_Mp4& mp4) {
    Records out;
    const std::vector<uint8_t>* head = nullptr;
    while (mp4.GetPackage(head) == 0) {
        out.push_back(*head);
        mp4.DeleteHead();
    }
    return out;
}

Records ReadToEnd(TNative_Mp4& mp4) {
    Records all;
    for (int i = 0; i < 1000 && mp4.ReadChunk() == 0; ++i) {
    }
    return Drain(mp4);
}

std::vector<std::vector<uint8_t>> AudioPacketsOf(const std::string& path) {
    std::vector<std::vector<uint8_t>> packets;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) != 0) {
        return packets;
    }
    AvInputFormatContextPtr ctx(raw);
    avformat_find_stream_info(ctx.get(), nullptr);
    const int audio = av_find_best_stream(ctx.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    AvPacketPtr pkt(av_packet_alloc());
    while (av_read_frame(ctx.get(), pkt.get()) == 0) {
        if (pkt->stream_index == audio) {
            packets.emplace_back(pkt->data, pkt->data + pkt->size);
        }
        av_packet_unref(pkt.get());
    }
    return packets;
}

int CountType(const Records& records, uint8_t type) {
    int n = 0;
    for (const auto& r : records) {
        n += r[0] == type ? 1 : 0;
    }
    return n;
}

class FileSourcesTest : public ::testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(FileSourcesTest, StereoAacAt48kPassesThroughWithAdtsHeaders) {
    const std::string movie = MakeMovie(dir, "a.mp4", "-c:a aac -ar 48000 -ac 2");
    ASSERT_FALSE(movie.empty());
    TNative_Mp4 mp4;
    ASSERT_EQ(mp4.initialize(movie), 0);
    EXPECT_TRUE(mp4.PassesAudioThrough());
    const Records records = ReadToEnd(mp4);
    EXPECT_TRUE(mp4.HasDone());

    const auto packets = AudioPacketsOf(movie);
    std::vector<const std::vector<uint8_t>*> audio;
    for (const auto& r : records) {
        if (r[0] == kFrameAAC) {
            audio.push_back(&r);
        }
    }
    ASSERT_EQ(audio.size(), packets.size());
    for (size_t i = 0; i < packets.size(); ++i) {
        const auto& rec = *audio[i];
        ASSERT_TRUE(HasAdtsHeader(rec.data() + 13, rec.size() - 13));
        const int adtsLength = ((rec[13 + 3] & 3) << 11) | (rec[13 + 4] << 3) | (rec[13 + 5] >> 5);
        EXPECT_EQ(size_t(adtsLength), rec.size() - 13);
        ASSERT_TRUE(std::equal(rec.begin() + 20, rec.end(), packets[i].begin(), packets[i].end()))
            << "frame " << i;
    }
    // Video in Annex B, at least one key frame with its parameter sets.
    const int keys = CountType(records, kFrameH264Key);
    EXPECT_GE(keys, 2);
    EXPECT_EQ(keys + CountType(records, kFrameH264), 75);
    for (const auto& r : records) {
        if (r[0] >= kFrameH264) {
            ASSERT_TRUE(r[13] == 0 && r[14] == 0 && (r[15] == 1 || (r[15] == 0 && r[16] == 1)));
        }
    }
}

TEST_F(FileSourcesTest, MonoAt44kIsReencodedToStereo48kWithEqualChannels) {
    const std::string movie = MakeMovie(dir, "b.mp4", "-c:a aac -ar 44100 -ac 1");
    ASSERT_FALSE(movie.empty());
    TNative_Mp4 mp4;
    ASSERT_EQ(mp4.initialize(movie), 0);
    EXPECT_FALSE(mp4.PassesAudioThrough());
    const Records records = ReadToEnd(mp4);
    const int frames = CountType(records, kFrameAAC);
    // Three seconds at 48 kHz are 140.6 frames; the encoder keeps a little back.
    EXPECT_GE(frames, 130);
    EXPECT_LE(frames, 142);

    TDecodeAudio decoder;
    ASSERT_EQ(decoder.initialize(nullptr), 0);
    int checked = 0;
    double signal = 0;
    double difference = 0;
    for (const auto& r : records) {
        if (r[0] != kFrameAAC || r.size() <= 20) {
            continue;
        }
        EXPECT_EQ(AdtsSampleRateIndex(48000), (r[13 + 2] >> 2) & 0xF);
        const uint8_t* pcm = nullptr;
        int bytes = 0;
        if (decoder.GetPCM(r.data() + 20, int(r.size() - 20), pcm, bytes) <= 0) {
            continue;
        }
        // The channels are coded separately, so they agree up to coding noise.
        const auto* s = reinterpret_cast<const int16_t*>(pcm);
        for (int i = 0; i + 1 < bytes / 2; i += 2) {
            signal += double(s[i]) * s[i];
            difference += double(s[i] - s[i + 1]) * (s[i] - s[i + 1]);
        }
        ++checked;
    }
    EXPECT_GT(checked, 100);
    EXPECT_GT(signal, 0);
    EXPECT_LT(difference, signal * 1e-3) << "left and right carry the same tone";
    EXPECT_EQ(decoder.SampleRate(), 48000);
}

TEST_F(FileSourcesTest, LoopingOffEndsAndSetCycleStartsOver) {
    const std::string movie = MakeMovie(dir, "c.mkv", "-c:a aac -ar 48000 -ac 2");
    ASSERT_FALSE(movie.empty());
    TTestClock clock(5000);
    TNative_Mp4 mp4;
    ASSERT_EQ(mp4.initialize(movie), 0);
    ReadToEnd(mp4);
    ASSERT_TRUE(mp4.HasDone());
    clock.Advance(1000);
    mp4.RunTurn();
    EXPECT_EQ(mp4.Queued(), 0u) << "an ended file produces nothing";

    EXPECT_TRUE(mp4.SetCycle(true));
    EXPECT_FALSE(mp4.HasDone());
    EXPECT_NE(mp4.ReadChunk(), 0) << "the read hits the end and seeks to the start";
    ASSERT_EQ(mp4.ReadChunk(), 0);
    const Records again = Drain(mp4);
    ASSERT_FALSE(again.empty());
    TZeroMediaFrameHead head{};
    ReadMediaFrameHead(again.front(), head);
    EXPECT_LT(head.PTS, 200000) << "starts over from the beginning";
}

TEST_F(FileSourcesTest, PacingIsOneChunkPer128MsAndSeekingClamps) {
    const std::string movie = MakeMovie(dir, "d.mp4", "-c:a aac -ar 48000 -ac 2");
    ASSERT_FALSE(movie.empty());
    TTestClock clock(20000);
    TNative_Mp4 mp4;
    ASSERT_EQ(mp4.initialize(movie), 0);
    mp4.RunTurn();
    EXPECT_EQ(CountType(Drain(mp4), kFrameAAC), 12) << "two chunks at the start";
    clock.Advance(127);
    mp4.RunTurn();
    EXPECT_EQ(mp4.Queued(), 0u);
    clock.Advance(1);
    mp4.RunTurn();
    EXPECT_EQ(CountType(Drain(mp4), kFrameAAC), 6);
    clock.Advance(5000); // a stall: one chunk, no catching up
    mp4.RunTurn();
    mp4.RunTurn();
    EXPECT_EQ(CountType(Drain(mp4), kFrameAAC), 6);

    int current = -1;
    int total = -1;
    mp4.GetCurrentPos(current, total);
    EXPECT_EQ(total, 3);
    EXPECT_EQ(current, 0) << "half a second of audio has been read";
    mp4.SetCurrentPos(2);
    ASSERT_EQ(mp4.ReadChunk(), 0);
    mp4.GetCurrentPos(current, total);
    EXPECT_EQ(current, 2);
    mp4.SetCurrentPos(100);
    Drain(mp4);
    int chunks = 0;
    while (chunks < 50 && mp4.ReadChunk() == 0) {
        ++chunks;
    }
    EXPECT_LE(chunks, 8) << "beyond the end seeks to the last key picture";
    EXPECT_TRUE(mp4.HasDone());
    mp4.SetCurrentPos(-5);
    EXPECT_FALSE(mp4.HasDone());
    Drain(mp4);
    ASSERT_EQ(mp4.ReadChunk(), 0);
    mp4.GetCurrentPos(current, total);
    EXPECT_EQ(current, 0) << "a negative position seeks to the start";
}

TEST_F(FileSourcesTest, LengthOfTwoAndAHalfSecondsShowsAsTwo) {
    // 25 pictures at 10 fps: the container lasts exactly 2.5 s.
    const std::string movie = dir.File("half.mp4");
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=320x240:r=10:d=2.5 "
                          "-f lavfi -i sine=f=440:r=48000:d=2.3 -c:v libx264 -g 10 "
                          "-pix_fmt yuv420p -c:a aac -ar 48000 -ac 2 '" +
                          movie + "'"));
    TNative_Mp4 mp4;
    ASSERT_EQ(mp4.initialize(movie), 0);
    int current = -1;
    int total = -1;
    mp4.GetCurrentPos(current, total);
    EXPECT_EQ(total, 2);
}

TEST_F(FileSourcesTest, PauseStillShowsTheFirstPictures) {
    const std::string movie = MakeMovie(dir, "e.mp4", "-c:a aac -ar 48000 -ac 2");
    ASSERT_FALSE(movie.empty());
    TTestClock clock(100);
    TNative_Mp4 mp4;
    ASSERT_EQ(mp4.initialize(movie), 0);
    EXPECT_TRUE(mp4.SetPause());
    mp4.RunTurn();
    EXPECT_GT(CountType(Drain(mp4), kFrameH264Key), 0);
    clock.Advance(1000);
    mp4.RunTurn();
    EXPECT_EQ(mp4.Queued(), 0u);
    EXPECT_FALSE(mp4.SetPause());
}

TEST_F(FileSourcesTest, MissingOrUnsuitableFilesAreRefused) {
    TNative_Mp4 missing;
    EXPECT_EQ(missing.initialize(dir.File("none.mp4")), -1);
    const std::string silent = dir.File("silent.mp4");
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=160x120:r=25 -t 1 "
                          "-c:v libx264 '" +
                          silent + "'"));
    TNative_Mp4 noAudio;
    EXPECT_EQ(noAudio.initialize(silent), -3);
}

TEST_F(FileSourcesTest, ImageWithoutMp3RepeatsOneCachedGroupWithSilence) {
    TMessageRecorder messages;
    const std::string jpg = dir.File("p.jpg");
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=640x360 "
                          "-frames:v 1 '" +
                          jpg + "'"));
    TNative_Image image;
    ASSERT_EQ(image.initialize(jpg, ""), 0);
    ASSERT_EQ(image.ReadChunk(), 0);
    EXPECT_EQ(image.CachedFrames(), 25) << "one group: a key frame and the rest up to the next";
    Records records;
    const std::vector<uint8_t>* head = nullptr;
    while (image.GetPackage(head) == 0) {
        records.push_back(*head);
        image.DeleteHead();
    }
    ASSERT_EQ(records.size(), 9u);
    for (size_t i = 0; i < records.size(); ++i) {
        if (i % 3 == 0) {
            EXPECT_EQ(records[i][0], i == 0 ? kFrameH264Key : kFrameH264) << i;
        } else {
            ASSERT_EQ(records[i].size(), 13u + sizeof kSilentAACFrame);
            EXPECT_EQ(std::memcmp(records[i].data() + 13, kSilentAACFrame, 13), 0);
        }
    }
    EXPECT_TRUE(messages.Messages().empty());
}

// With an MP3 the sound is decoded and encoded again: each pass queues its
// video frame and then two real AAC frames, none of them the silent one.
TEST_F(FileSourcesTest, ImageWithMp3SendsItsSoundReencodedTwoFramesAPass) {
    TMessageRecorder messages;
    const std::string jpg = dir.File("p.jpg");
    const std::string mp3 = dir.File("s.mp3");
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=640x360 "
                          "-frames:v 1 '" +
                          jpg + "'"));
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i sine=f=440:r=44100 -ac 2 -t 3 "
                          "-c:a libmp3lame '" +
                          mp3 + "'"));
    TNative_Image image;
    ASSERT_EQ(image.initialize(jpg, mp3), 0);
    ASSERT_TRUE(image.HasMp3());
    Records records;
    for (int chunk = 0; chunk < 4; ++chunk) {
        ASSERT_EQ(image.ReadChunk(), 0) << chunk;
        const std::vector<uint8_t>* head = nullptr;
        while (image.GetPackage(head) == 0) {
            records.push_back(*head);
            image.DeleteHead();
        }
    }
    ASSERT_EQ(records.size(), 36u) << "four chunks of three passes, three records a pass";
    for (size_t i = 0; i < records.size(); ++i) {
        if (i % 3 == 0) {
            EXPECT_NE(records[i][0], kFrameAAC) << i;
            continue;
        }
        ASSERT_EQ(records[i][0], kFrameAAC) << i;
        const bool silent = records[i].size() == 13u + sizeof kSilentAACFrame &&
                            std::memcmp(records[i].data() + 13, kSilentAACFrame, 13) == 0;
        EXPECT_FALSE(silent) << i;
    }
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(FileSourcesTest, MakerForwardsOneRecordPerTurnAndGatesAfterDisconnect) {
    const std::string movie = MakeMovie(dir, "f.mp4", "-c:a aac -ar 48000 -ac 2");
    ASSERT_FALSE(movie.empty());
    TTestClock clock(1000);
    TClientThread worker;
    ASSERT_EQ(worker.initialize(2, 2, 1280, 720), 0);
    test::FakeProgramme programme;
    TClientInfo info;
    info.DeviceType = kDeviceMp4;
    info.IP = movie;
    info.nChannel = 2;
    info.bConnectOK = true;
    TAVMaker maker;
    ASSERT_EQ(maker.initialize(&worker, &info, &programme), 0);
    ASSERT_EQ(maker.SourceResult(), 0);
    // The producer's thread reads its first two chunks at once.
    for (int i = 0; i < 400 && maker.Mp4()->Queued() < 12; ++i) {
        SleepMs(5);
    }
    for (int i = 0; i < 10; ++i) {
        maker.RunTurn();
    }
    EXPECT_EQ(worker.QueuedAudio() + worker.QueuedVideo(), 10);
    clock.Advance(1000);
    int v = 0;
    int a = 0;
    EXPECT_EQ(maker.GetAVCounterThisperiod(v, a), 10);
    EXPECT_EQ(v, worker.QueuedVideo());
    EXPECT_EQ(a, worker.QueuedAudio());

    maker.SetDisconnect();
    EXPECT_FALSE(info.bConnectOK);
    EXPECT_EQ(info.nErrorCode, -1001);
    EXPECT_EQ(info.nErrorDispTimes, 15);
    EXPECT_EQ(programme.errorPorts, std::vector<int>{2});
    const int before = worker.QueuedAudio() + worker.QueuedVideo();
    for (int i = 0; i < 5; ++i) {
        maker.RunTurn(); // audio and non-key pictures wait for a key frame
    }
    EXPECT_EQ(worker.QueuedAudio() + worker.QueuedVideo(), before);

    TClientInfo network;
    network.DeviceType = kDevicePhone;
    TAVMaker refused;
    EXPECT_EQ(refused.initialize(&worker, &network), -1);
}

} // namespace
} // namespace tavrin
