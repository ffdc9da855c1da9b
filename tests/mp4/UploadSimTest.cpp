// MP4 upload end to end: MP4s made by the ffmpeg command line, sent by the
// upload to the media-server simulator, every stored frame compared with
// what the file holds.
#include "base/GloTimer.h"
#include "base/H264Nal.h"
#include "base/MediaFrame.h"
#include "mp4/ParseMp4.h"
#include "output/Adts.h"
#include "tests/base/TempDir.h"
#include "tests/mp4/MediaServerSim.h"
#include "tests/support/TestMedia.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace tavrin {
namespace {

using test::TempDir;
using test::TMediaServerSim;
using test::WaitUntil;

using Nals = std::vector<std::vector<uint8_t>>;

// The NAL units of an Annex B unit, start codes and trailing zeros removed,
// so 3- and 4-byte start codes compare equal.
Nals SplitNals(const uint8_t* p, size_t size) {
    Nals nals;
    TNalScanner scanner({p, size});
    TNalUnit nal;
    while (scanner.Next(nal)) {
        nals.emplace_back(nal.bytes.begin(), nal.bytes.end());
    }
    return nals;
}

Nals FrameNals(const std::vector<uint8_t>& frame) {
    return SplitNals(frame.data() + kMediaFrameHeadSize, frame.size() - kMediaFrameHeadSize);
}

int64_t Stamp(const std::vector<uint8_t>& frame) {
    TZeroMediaFrameHead h{};
    ReadMediaFrameHead(frame, h);
    return h.PTS;
}

uint32_t PayloadSize(const std::vector<uint8_t>& frame) {
    TZeroMediaFrameHead h{};
    ReadMediaFrameHead(frame, h);
    return h.nFrameSize;
}

void SplitByType(const std::vector<std::vector<uint8_t>>& frames,
                 std::vector<std::vector<uint8_t>>& video,
                 std::vector<std::vector<uint8_t>>& audio) {
    for (const auto& f : frames) {
        (f[0] == kFrameAAC ? audio : video).push_back(f);
    }
}

// Uploads and waits for the outcome; returns the final position.
int Upload(const std::string& mp4, int port, TParseMp4& up, const std::string& token = "tok") {
    if (up.initizlize(mp4, "127.0.0.1", port, 4321, 1, 99, token) != 0) {
        return 1;
    }
    up.Start();
    WaitUntil([&] { return up.GetCurrentPos() < 0; }, 60000);
    return up.GetCurrentPos();
}

// A plain MP4 from the ffmpeg command line: libx264 with its parameter sets
// in the stream header only, a key frame every 25 pictures, AAC at rate Hz.
bool MakePlainMp4(const std::string& path, double seconds, int rate = 48000,
                  bool withAudio = true) {
    std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=320x180:r=25";
    if (withAudio) {
        cmd += " -f lavfi -i sine=f=440:r=" + std::to_string(rate);
    }
    cmd += " -t " + std::to_string(seconds) +
           " -c:v libx264 -preset ultrafast -g 25 -keyint_min 25 -sc_threshold 0 -bf 0";
    if (withAudio) {
        cmd += " -c:a aac -ac 2";
    }
    return test::Run(cmd + " '" + path + "'");
}

// Our own encoder's units (parameter sets in front of every key frame) and a
// 3-s ADTS tone, put into an MP4 by the ffmpeg command line.
bool MuxUnits(const std::vector<std::vector<uint8_t>>& units, const TempDir& dir,
              const std::string& mp4) {
    {
        std::ofstream out(dir.File("v.h264"), std::ios::binary);
        for (const auto& u : units) {
            out.write(reinterpret_cast<const char*>(u.data() + kMediaFrameHeadSize),
                      std::streamsize(u.size() - kMediaFrameHeadSize));
        }
    }
    return test::MakeTestAdts(dir.File("a.aac"), 3) &&
           test::Run("ffmpeg -nostdin -v error -y -framerate 25 -f h264 -i '" + dir.File("v.h264") +
                     "' -i '" + dir.File("a.aac") + "' -map 0:v -map 1:a -c copy '" + mp4 + "'");
}

// Puts an SEI unit of exactly nalSize bytes in front of a picture, so that
// in an MP4 the picture opens with that length as its 4-byte prefix.
void PrependSei(std::vector<uint8_t>& unit, size_t nalSize) {
    // NAL header, payload type 5 (user data), size 255 + n, trailing bits.
    const size_t payload = nalSize - 5;
    std::vector<uint8_t> sei = {0, 0, 0, 1, 0x06, 0x05, 0xFF, uint8_t(payload - 255)};
    sei.insert(sei.end(), payload, 0x55);
    sei.push_back(0x80);
    unit.insert(unit.begin() + kMediaFrameHeadSize, sei.begin(), sei.end());
}

// The key flags the MP4 itself gives its pictures, in file order.
std::vector<bool> Mp4KeyFlags(const std::string& mp4) {
    std::vector<bool> keys;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, mp4.c_str(), nullptr, nullptr) != 0) {
        return keys;
    }
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(fmt, pkt) == 0) {
        if (fmt->streams[pkt->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            keys.push_back((pkt->flags & AV_PKT_FLAG_KEY) != 0);
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return keys;
}

class UploadSim : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& simArgs = {}) {
        sim = std::make_unique<TMediaServerSim>(dir.File("sim"), simArgs);
        ASSERT_GT(sim->Port(), 0) << "mediaserver-sim did not start";
    }
    TTestClock clock{0};
    TempDir dir;
    std::unique_ptr<TMediaServerSim> sim;
};

TEST_F(UploadSim, EveryFrameOfTheFileArrivesUnchanged) {
    // Our own encoder's units (parameter sets in front of every key frame)
    // and an ADTS tone, put into an MP4 by the ffmpeg command line.
    const auto units = test::EncodeTestVideo(320, 180, 75);
    ASSERT_EQ(units.size(), 75u);
    const std::string mp4 = dir.File("lesson.mp4");
    ASSERT_TRUE(MuxUnits(units, dir, mp4));
    const auto adts = test::ReadMediaFrames(dir.File("a.aac"));
    ASSERT_GT(adts.size(), 100u);

    Start();
    TParseMp4 up;
    ASSERT_EQ(Upload(mp4, sim->Port(), up), -1);
    EXPECT_EQ(sim->CountEvents("end"), 1u);
    EXPECT_TRUE(sim->WaitForEvent("closed"));

    const auto frames = sim->Frames();
    EXPECT_EQ(up.GetTotalMp4Frames(), int(frames.size()));
    std::vector<std::vector<uint8_t>> video, audio;
    SplitByType(frames, video, audio);
    ASSERT_EQ(video.size(), units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(video[i][0], units[i][0]) << "type of picture " << i;
        EXPECT_EQ(FrameNals(video[i]), FrameNals(units[i])) << "payload of picture " << i;
        if (i > 0) {
            EXPECT_EQ(Stamp(video[i]) - Stamp(video[i - 1]), 40000) << i;
        }
    }
    // Raw AAC in the MP4 gets back exactly the ADTS header it had.
    ASSERT_EQ(audio.size(), adts.size());
    for (size_t i = 0; i < adts.size(); ++i) {
        ASSERT_EQ(PayloadSize(audio[i]), PayloadSize(adts[i])) << i;
        EXPECT_TRUE(std::equal(audio[i].begin() + kMediaFrameHeadSize, audio[i].end(),
                               adts[i].begin() + kMediaFrameHeadSize))
            << "audio frame " << i;
        if (i > 0) {
            const int64_t step = Stamp(audio[i]) - Stamp(audio[i - 1]);
            EXPECT_TRUE(step == 21333 || step == 21334) << i << ": " << step;
        }
    }
}

TEST_F(UploadSim, PicturesWhoseLengthReadsLikeAStartCodeKeepTheirType) {
    // A length of 0x187 is stored as 00 00 01 87: a start code followed by
    // the type of a sequence parameter set, when read the wrong way.
    auto units = test::EncodeTestVideo(320, 180, 75);
    ASSERT_EQ(units.size(), 75u);
    const size_t lookAlikes[] = {0x187, 0x107, 0x1E7, 0x1A5};
    for (size_t i = 0; i < units.size(); ++i) {
        if (i % 25 != 0 && i % 7 < 4) {
            PrependSei(units[i], lookAlikes[i % 7]);
            ASSERT_EQ(units[i][0], kFrameH264);
        }
    }
    const std::string mp4 = dir.File("lookalike.mp4");
    ASSERT_TRUE(MuxUnits(units, dir, mp4));
    const std::vector<bool> keys = Mp4KeyFlags(mp4);
    ASSERT_EQ(keys.size(), units.size());

    Start();
    TParseMp4 up;
    ASSERT_EQ(Upload(mp4, sim->Port(), up), -1);
    std::vector<std::vector<uint8_t>> video, audio;
    SplitByType(sim->Frames(), video, audio);
    ASSERT_EQ(video.size(), keys.size());
    size_t keyCount = 0;
    for (size_t i = 0; i < video.size(); ++i) {
        EXPECT_EQ(video[i][0], keys[i] ? kFrameH264Key : kFrameH264) << "picture " << i;
        EXPECT_EQ(FrameNals(video[i]), FrameNals(units[i])) << "payload of picture " << i;
        keyCount += keys[i] ? 1 : 0;
    }
    EXPECT_EQ(keyCount, 3u);
}

TEST_F(UploadSim, KeyFramesOfAPlainMp4AreTypedKeyAndAudioGetsAdts) {
    const std::string mp4 = dir.File("plain.mp4");
    ASSERT_TRUE(MakePlainMp4(mp4, 2, 44100));
    Start();
    TParseMp4 up;
    ASSERT_EQ(Upload(mp4, sim->Port(), up), -1);
    std::vector<std::vector<uint8_t>> video, audio;
    SplitByType(sim->Frames(), video, audio);
    ASSERT_EQ(video.size(), 50u);
    for (size_t i = 0; i < video.size(); ++i) {
        const bool key = i % 25 == 0;
        EXPECT_EQ(video[i][0], key ? kFrameH264Key : kFrameH264) << i;
        bool hasSps = false;
        for (const auto& nal : FrameNals(video[i])) {
            hasSps = hasSps || (!nal.empty() && (nal[0] & 0x1F) == 7);
        }
        EXPECT_EQ(hasSps, key) << "parameter sets in front of key frames only, picture " << i;
    }
    ASSERT_GT(audio.size(), 80u);
    for (const auto& a : audio) {
        const uint8_t* p = a.data() + kMediaFrameHeadSize;
        const unsigned length = (unsigned(p[3] & 3) << 11) | unsigned(p[4]) << 3 | (p[5] >> 5);
        EXPECT_EQ(p[0], 0xFF);
        EXPECT_EQ(p[1], 0xF1);
        EXPECT_EQ(p[2], 0x40 + 4 * 4) << "44,100 Hz is index 4";
        EXPECT_EQ(length, PayloadSize(a)) << "the length counts the header";
    }
}

TEST_F(UploadSim, RefusedEndIsReportedNotTakenForSuccess) {
    const std::string mp4 = dir.File("short.mp4");
    ASSERT_TRUE(MakePlainMp4(mp4, 1));
    Start({"--end-status", "404"});
    TParseMp4 up;
    EXPECT_EQ(Upload(mp4, sim->Port(), up), -3);
    SleepMs(100);
    EXPECT_EQ(up.GetCurrentPos(), -3);
}

TEST_F(UploadSim, ServerDroppingTheConnectionMidUploadGivesMinusFour) {
    const std::string mp4 = dir.File("long.mp4");
    ASSERT_TRUE(MakePlainMp4(mp4, 8));
    Start({"--drop-after-frames", "40"});
    TParseMp4 up;
    EXPECT_EQ(Upload(mp4, sim->Port(), up), -4);
    EXPECT_EQ(sim->CountEvents("connect"), 1u);
    EXPECT_EQ(sim->CountEvents("end"), 0u);
}

TEST_F(UploadSim, FilesAndTokensThatCannotBeSent) {
    const std::string silent = dir.File("silent.mp4");
    ASSERT_TRUE(MakePlainMp4(silent, 1, 48000, false));
    TParseMp4 noAudio;
    EXPECT_EQ(noAudio.initizlize(silent, "127.0.0.1", 9, 1, 1, 1, "t"), TParseMp4::kNoStreams);

    const std::string mp4 = dir.File("ok.mp4");
    ASSERT_TRUE(MakePlainMp4(mp4, 1));
    TParseMp4 longToken;
    EXPECT_EQ(longToken.initizlize(mp4, "127.0.0.1", 9, 1, 1, 1, std::string(101, 't')),
              TParseMp4::kTransferRefused);
    EXPECT_EQ(longToken.GetCurrentPos(), 0);

    TParseMp4 missing; // tried 10 times, 500 ms apart
    EXPECT_EQ(missing.initizlize(dir.File("none.mp4"), "127.0.0.1", 9, 1, 1, 1, "t"),
              TParseMp4::kCannotOpen);
}

// tavrin-cli upload, with the exit status and what it printed on stderr.
int RunCli(const std::string& args, const std::string& errFile) {
    const char* bin = std::getenv("TAVRIN_BIN_DIR");
    const std::string cli = std::string(bin != nullptr ? bin : ".") + "/tavrin-cli";
    const int status = std::system((cli + " upload " + args + " 2>'" + errFile + "'").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(UploadSim, CommandLineUploadShowsTheOutcome) {
    const std::string mp4 = dir.File("cli.mp4");
    ASSERT_TRUE(MakePlainMp4(mp4, 1));
    test::WriteFile(dir.File("token"), "secret-token\n");
    Start();
    const std::string common = "--mp4 '" + mp4 + "' --live-id 77 --user 5 --token-file '" +
                               dir.File("token") + "' --timeout 60 --server 127.0.0.1:";
    EXPECT_EQ(RunCli(common + std::to_string(sim->Port()), dir.File("ok.txt")), 0);
    const std::string ok = test::ReadFile(dir.File("ok.txt"));
    EXPECT_NE(ok.find("Tavrin [information]: 成功！课程已上传至平台"), std::string::npos) << ok;
    EXPECT_NE(ok.find("100%"), std::string::npos) << ok;
    std::vector<std::vector<uint8_t>> video, audio;
    SplitByType(sim->Frames(), video, audio);
    EXPECT_EQ(video.size(), 25u);

    TempDir other;
    TMediaServerSim refusing(other.Path(), {"--login-status", "700"});
    ASSERT_GT(refusing.Port(), 0);
    EXPECT_EQ(RunCli(common + std::to_string(refusing.Port()), dir.File("refused.txt")), 1);
    const std::string refused = test::ReadFile(dir.File("refused.txt"));
    EXPECT_NE(refused.find("Tavrin [error]: 课程上传失败，平台已存在此课程生成的MP4"),
              std::string::npos)
        << refused;
    // The login carried the token without its line break, and the live type 1.
    const std::string login = refusing.Events().at(1);
    EXPECT_NE(login.find("0c000000"
                         "7365637265742d746f6b656e"),
              std::string::npos)
        << login;
    EXPECT_EQ(login.substr(login.size() - 2), "01");
}

} // namespace
} // namespace tavrin
