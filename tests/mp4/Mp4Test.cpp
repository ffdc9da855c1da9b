// MP4 production end to end: lessons of real H.264 and AAC go through the
// builder, and what ffprobe and ffmpeg read back from the file is checked.
#include "mp4/CardImage.h"
#include "mp4/Mp4Thread.h"
#include "tests/base/TempDir.h"
#include "tests/mp4/LessonKit.h"
#include "tests/mp4/MediaServerSim.h"
#include "tests/support/TestMedia.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using test::FrameHashes;
using test::ProbeFrameSizes;
using test::ProbePackets;

constexpr int kLesson = 812;

class Mp4Test : public ::testing::Test {
protected:
    void SetUp() override { paths.initialize(dir.Path(), "1001"); }

    // Builds the MP4 synchronously; returns the builder's result.
    int Make(int nType, int head, int tail, int offset = 0, TConvertMode mode = Mode720(),
             const TheadInfo& headImage = {}, const TheadInfo& tailImage = {}) {
        TLessionInfo info;
        info.LessionID = kLesson;
        info.LessionName = "第1课:It's";
        info.subject = "数学 上册";
        info.grade = "三年级";
        info.ShcoolName = "实验小学";
        info.TeacherName = "王老师";
        TMakerInfo maker{"电教中心", "2026年12月9日"};
        TMp4Thread builder(paths);
        if (builder.initialize(nType, info, maker, headImage, tailImage, head, tail, offset, mode,
                               mp4) != 0) {
            return 1000;
        }
        const int result = builder.RunTask();
        EXPECT_EQ(builder.GetCurrentPos(), -1);
        frames = builder.GetTotalMp4Frames();
        return result;
    }
    static TConvertMode Mode720() {
        TConvertMode m;
        m.nW = 1280;
        m.nH = 720;
        m.nBitbrate = 1000000;
        return m;
    }
    std::string TempFile(bool aac) const {
        std::string s;
        aac ? paths.Get_AACFile(kLesson, s) : paths.Get_H264File(kLesson, s);
        return s;
    }
    // No decode errors, and the index comes before the media data.
    void ExpectCleanFastStart() const {
        std::string errors;
        test::Capture("ffmpeg -nostdin -v error -i '" + mp4 + "' -f null - 2>&1", errors);
        EXPECT_EQ(errors, "");
        std::ifstream in(mp4, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        const size_t moov = bytes.find("moov");
        const size_t mdat = bytes.find("mdat");
        ASSERT_NE(moov, std::string::npos);
        ASSERT_NE(mdat, std::string::npos);
        EXPECT_LT(moov, mdat);
        EXPECT_FALSE(fs::exists(mp4 + ".part"));
        EXPECT_FALSE(fs::exists(TempFile(true)));
        EXPECT_FALSE(fs::exists(TempFile(false)));
    }

    test::TempDir dir;
    TGetLessionInfo paths;
    std::string mp4;
    int frames = 0;
};

TEST_F(Mp4Test, WithoutMarksEveryRecordedPictureArrivesUnchanged) {
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 1280, 720, 3);
    ASSERT_EQ(Make(2, 5, 5), 0);
    EXPECT_EQ(mp4, dir.Path() + "/1001/output/王老师-第1课：It‘s-812.mp4");
    ExpectCleanFastStart();
    const auto video = ProbePackets(mp4, "v");
    EXPECT_EQ(int(video.size()), lesson.VideoCount());
    EXPECT_EQ(int(ProbePackets(mp4, "a").size()), lesson.AudioCount());
    EXPECT_EQ(frames, lesson.VideoCount() + lesson.AudioCount());
    // Each block's key picture, and only that, is a place to start playing.
    for (size_t i = 0; i < video.size(); ++i) {
        EXPECT_EQ(video[i].find(",K") != std::string::npos, i % 25 == 0) << "picture " << i;
    }
    test::TempDir raw;
    std::ofstream(raw.File("v.h264"), std::ios::binary) << lesson.VideoStream();
    const auto expected = FrameHashes(raw.File("v.h264"), "h264");
    ASSERT_EQ(int(expected.size()), lesson.VideoCount());
    EXPECT_EQ(FrameHashes(mp4), expected);
}

TEST_F(Mp4Test, MarkedBlocksAreLeftOutAndTheRestKeepsItsOrder) {
    const std::vector<int> cut = {1, 3};
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 1280, 720, 5, cut);
    ASSERT_EQ(Make(2, 0, 0), 0);
    ExpectCleanFastStart();
    EXPECT_EQ(int(ProbePackets(mp4, "a").size()), lesson.AudioCount(cut));
    test::TempDir raw;
    std::ofstream(raw.File("v.h264"), std::ios::binary) << lesson.VideoStream(cut);
    const auto expected = FrameHashes(raw.File("v.h264"), "h264");
    ASSERT_EQ(int(expected.size()), lesson.VideoCount(cut));
    EXPECT_EQ(FrameHashes(mp4), expected);
}

TEST_F(Mp4Test, StandardTitleCardAddsSilenceAndCardPictures) {
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 1280, 720, 2);
    ASSERT_EQ(Make(0, 5, 0), 0);
    ExpectCleanFastStart();
    const auto video = ProbePackets(mp4, "v");
    EXPECT_EQ(int(video.size()), 115 + lesson.VideoCount());
    EXPECT_EQ(int(ProbePackets(mp4, "a").size()), 215 + lesson.AudioCount());
    ASSERT_FALSE(video.empty());
    EXPECT_EQ(video[0].substr(0, 10), "0.040000,K"); // the card opens on a key frame
    // Every second of the card starts on a key frame and shows the same
    // pictures as the first: it decodes on its own wherever it is cut.
    const auto hashes = FrameHashes(mp4);
    ASSERT_GE(hashes.size(), size_t(115));
    for (size_t i = 0; i < 115; ++i) {
        EXPECT_EQ(video[i].find(",K") != std::string::npos, i % 25 == 0) << "picture " << i;
        EXPECT_EQ(hashes[i], hashes[i % 25]) << "picture " << i;
    }
    // The title card's text is drawn: the card's first picture differs from
    // the bare background in the strip-free upper part.
    test::TempDir raw;
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -i '" + mp4 +
                          "' -frames:v 1 -vf crop=1280:600:0:0 -f rawvideo -pix_fmt gray '" +
                          raw.File("card.y") + "'"));
    std::ifstream in(raw.File("card.y"), std::ios::binary);
    const std::string luma((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(luma.size(), size_t(1280 * 600));
    const auto bright =
        std::count_if(luma.begin(), luma.end(), [](char c) { return uint8_t(c) > 200; });
    EXPECT_GT(bright, 2000); // white text on the dark board
}

TEST_F(Mp4Test, NoCardWhenItsLengthIsZero) {
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 1280, 720, 1);
    ASSERT_EQ(Make(0, 0, 0), 0);
    EXPECT_EQ(int(ProbePackets(mp4, "v").size()), lesson.VideoCount());
    EXPECT_EQ(int(ProbePackets(mp4, "a").size()), lesson.AudioCount());
}

TEST_F(Mp4Test, Mode1PutsSmallCardsAroundTheUnchangedFullHdLesson) {
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 1920, 1080, 1);
    TConvertMode mode = Mode720();
    mode.nMode = 1;
    ASSERT_EQ(Make(0, 1, 1, 0, mode), 0);
    ExpectCleanFastStart();
    const auto sizes = ProbeFrameSizes(mp4);
    // 1 s of card is 43 audio frames, 23 pictures.
    ASSERT_EQ(int(sizes.size()), 23 + lesson.VideoCount() + 23);
    for (size_t i = 0; i < sizes.size(); ++i) {
        const bool card = i < 23 || i >= sizes.size() - 23;
        EXPECT_EQ(sizes[i], card ? "1280x720" : "1920x1080") << "picture " << i;
    }
}

TEST_F(Mp4Test, Mode2ReencodesAtTheChosenSizeAndRate) {
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 1920, 1080, 2);
    TConvertMode mode = Mode720();
    mode.nMode = 2;
    mode.nBitbrate = 300000;
    ASSERT_EQ(Make(2, 0, 0, 0, mode), 0);
    ExpectCleanFastStart();
    const auto sizes = ProbeFrameSizes(mp4);
    ASSERT_EQ(int(sizes.size()), lesson.VideoCount());
    for (const auto& s : sizes) {
        EXPECT_EQ(s, "1280x720");
    }
    // The encoder was asked for 300 kbit/s; the test scene needs far more at
    // the recorded 4 Mbit/s, so a copy would be several times larger.
    std::string rate;
    test::Capture("ffprobe -v error -select_streams v -show_entries stream=bit_rate -of csv=p=0 '" +
                      mp4 + "'",
                  rate);
    EXPECT_LT(std::atol(rate.c_str()), 600000) << rate;
}

// The first stamp of a stream, in seconds.
double FirstStamp(const std::string& file, const std::string& stream) {
    const auto packets = ProbePackets(file, stream);
    return packets.empty() ? -1.0 : std::atof(packets.front().c_str());
}

TEST_F(Mp4Test, AudioOffsetDelaysOneStreamOnly) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 1);
    // MP4 edit lists count in milliseconds, hence the tolerance.
    ASSERT_EQ(Make(2, 0, 0, 200), 0);
    EXPECT_NEAR(FirstStamp(mp4, "a"), 0.2213, 0.0011);
    EXPECT_NEAR(FirstStamp(mp4, "v"), 0.04, 0.0011);
    ASSERT_EQ(Make(2, 0, 0, -200), 0);
    EXPECT_NEAR(FirstStamp(mp4, "a"), 0.0213, 0.0011);
    EXPECT_NEAR(FirstStamp(mp4, "v"), 0.24, 0.0011);
}

TEST_F(Mp4Test, ImageCardsUseTheChosenJpegAndSkipAMissingOne) {
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 1280, 720, 1);
    const std::string jpg = dir.File("head.jpg");
    ASSERT_TRUE(test::Run("ffmpeg -nostdin -v error -y -f lavfi -i color=c=white:s=1280x720 "
                          "-frames:v 1 '" +
                          jpg + "'"));
    TLessionInfo vo;
    vo.LessionID = kLesson;
    TheadInfo head{int(jpg.size()), jpg, &vo};
    TheadInfo tail{int(jpg.size()), dir.File("deleted.jpg"), nullptr};
    ASSERT_EQ(Make(1, 2, 2, 0, Mode720(), head, tail), 0);
    ExpectCleanFastStart();
    // 2 s title card: 86 silent audio frames, 46 pictures; no tail card.
    EXPECT_EQ(int(ProbePackets(mp4, "v").size()), 46 + lesson.VideoCount());
    EXPECT_EQ(int(ProbePackets(mp4, "a").size()), 86 + lesson.AudioCount());
    std::string mean;
    test::Capture("ffmpeg -nostdin -v info -i '" + mp4 +
                      "' -frames:v 1 -vf signalstats,metadata=print:key=lavfi.signalstats.YAVG "
                      "-f null - 2>&1 | grep -o 'YAVG=[0-9]*'",
                  mean);
    EXPECT_EQ(mean.substr(0, 6), "YAVG=2") << mean; // white, about 235
}

TEST_F(Mp4Test, FailureLeavesNoFileUnderTheFinalName) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 1);
    TLessionInfo info;
    info.LessionID = kLesson;
    TMp4Thread builder(paths);
    std::string name;
    ASSERT_EQ(builder.initialize(2, info, {}, {}, {}, 0, 0, 0, Mode720(), name), 0);
    const std::string target = dir.File("missing-folder/out.mp4");
    builder.SetMp4File(target);
    EXPECT_EQ(builder.RunTask(), TMp4Thread::kOpenOutput);
    EXPECT_EQ(builder.GetCurrentPos(), -1);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(target + ".part"));
    EXPECT_FALSE(fs::exists(TempFile(true)));
}

TEST_F(Mp4Test, TerminatedBuilderStopsAndLeavesNoFiles) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 2);
    TLessionInfo info;
    info.LessionID = kLesson;
    TConvertMode mode;
    mode.nMode = 2;
    mode.nW = 1920;
    mode.nH = 1080;
    TMp4Thread builder(paths);
    std::string name;
    // Long 1080 cards around a re-encoded body: far from done when ended.
    ASSERT_EQ(
        builder.initialize(0, info, {"电教中心", "2026年12月9日"}, {}, {}, 15, 15, 0, mode, name),
        0);
    ASSERT_TRUE(builder.Start());
    ASSERT_TRUE(test::WaitUntil([&] { return builder.GetCurrentPos() > 0; }, 60000));
    builder.Terminate();
    builder.WaitFor();
    EXPECT_EQ(builder.GetResult(), TMp4Thread::kStopped);
    EXPECT_FALSE(fs::exists(name));
    EXPECT_FALSE(fs::exists(name + ".part"));
    EXPECT_FALSE(fs::exists(TempFile(true)));
    EXPECT_FALSE(fs::exists(TempFile(false)));
}

TEST_F(Mp4Test, UnrecordedLessonReportsTheStoreError) {
    TLessionInfo info;
    info.LessionID = 99;
    TMp4Thread builder(paths);
    std::string name;
    EXPECT_EQ(builder.initialize(2, info, {}, {}, {}, 0, 0, 0, Mode720(), name),
              TReadAV::kNotRecorded);
}

TEST_F(Mp4Test, CliMakesTheFileWithAProgressBar) {
    const auto lesson = test::WriteMediaLesson(paths, kLesson, 1280, 720, 1);
    const char* bin = std::getenv("TAVRIN_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    const std::string out = dir.File("cli.mp4");
    std::string printed;
    ASSERT_TRUE(test::Capture(std::string(bin) + "/tavrin-cli mp4 --root '" + dir.Path() +
                                  "' --user 1001 --lesson 812 --size 1280x720 --head-seconds 1 "
                                  "--tail-seconds 1 --maker 电教中心 --date 2026-12-09 --out '" +
                                  out + "' 2>" + dir.File("err"),
                              printed));
    EXPECT_EQ(printed,
              out + "\nframes " +
                  std::to_string(lesson.VideoCount() + lesson.AudioCount() + 2 * (43 + 23)) + "\n");
    const std::string progress = test::ReadFile(dir.File("err"));
    EXPECT_NE(progress.find("100%"), std::string::npos) << progress;
    EXPECT_EQ(int(ProbePackets(out, "v").size()), lesson.VideoCount() + 46);
}

// Mode 0 from the command line: the cards take the recording's size, so the
// picture size never changes inside the MP4, and everything, cards included,
// is High profile as the container's avcC says.
TEST_F(Mp4Test, CliModeZeroKeepsTheRecordedSizeAndHighProfile) {
    const char* bin = std::getenv("TAVRIN_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    for (const auto& [w, h] : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        const int id = w; // a lesson of each size
        const auto lesson = test::WriteMediaLesson(paths, id, w, h, 1);
        const std::string out = dir.File("mode0-" + size + ".mp4");
        std::string printed;
        ASSERT_TRUE(test::Capture(std::string(bin) + "/tavrin-cli mp4 --root '" + dir.Path() +
                                      "' --user 1001 --lesson " + std::to_string(id) +
                                      " --mode 0 --head-seconds 1 "
                                      "--tail-seconds 1 --out '" +
                                      out + "' 2>/dev/null",
                                  printed))
            << size;
        const auto sizes = ProbeFrameSizes(out);
        ASSERT_EQ(int(sizes.size()), 23 + lesson.VideoCount() + 23) << size;
        for (size_t i = 0; i < sizes.size(); ++i) {
            EXPECT_EQ(sizes[i], size) << "picture " << i;
        }
        std::string profile;
        test::Capture("ffprobe -v error -select_streams v -show_entries stream=profile -of "
                      "csv=p=0 '" +
                          out + "'",
                      profile);
        EXPECT_EQ(profile, "High\n") << size;
    }
}

TEST_F(Mp4Test, CopyModeRefusesASizeOtherThanTheRecordings) {
    test::WriteMediaLesson(paths, kLesson, 1280, 720, 1);
    TLessionInfo info;
    info.LessionID = kLesson;
    TConvertMode mode; // 1920 x 1080
    std::string name;
    TMp4Thread builder(paths);
    EXPECT_EQ(builder.initialize(2, info, {}, {}, {}, 0, 0, 0, mode, name),
              TMp4Thread::kSizeNotRecorded);
    mode.nMode = 1; // cards at the other size
    TMp4Thread cards(paths);
    EXPECT_EQ(cards.initialize(2, info, {}, {}, {}, 0, 0, 0, mode, name), 0);
    // The command line refuses a contradicting --size instead of ignoring it.
    const std::string bin = std::getenv("TAVRIN_BIN_DIR");
    std::string printed;
    EXPECT_FALSE(
        test::Capture(bin + "/tavrin-cli mp4 --root '" + dir.Path() +
                          "' --user 1001 --lesson 812 --mode 0 --size 1920x1080 2>/dev/null",
                      printed));
}

TEST(CardPictures, BuiltInBackgroundsHaveADarkBoardAndALightStrip) {
    for (const int h : {720, 1080}) {
        const int w = h * 16 / 9;
        for (const bool tail : {false, true}) {
            std::vector<uint8_t> buf(1920 * 1080 * 3 / 2);
            ASSERT_TRUE(LoadCardPicture(tail, w, h, buf)) << CardPictureName(tail, h);
            EXPECT_LT(buf[size_t(h / 3) * w + 160], 60);      // board where text goes
            EXPECT_GT(buf[size_t(h - 20) * w + w / 10], 150); // the strip
        }
    }
}

} // namespace
} // namespace tavrin

namespace tavrin {
namespace {

TEST(CliReplay, PlaysTheKeptBlocksIntoTheAudioFile) {
    test::TempDir dir;
    TGetLessionInfo paths;
    paths.initialize(dir.Path(), "1001");
    const auto lesson = test::WriteMediaLesson(paths, 812, 640, 360, 3, {1});
    const std::string bin = std::getenv("TAVRIN_BIN_DIR");
    std::string printed;
    ASSERT_TRUE(test::Capture(bin + "/tavrin-cli replay --root '" + dir.Path() +
                                  "' --user 1001 --lesson 812 --audio-out '" + dir.File("out.raw") +
                                  "' 2>/dev/null",
                              printed));
    EXPECT_NE(printed.find("audio frames " + std::to_string(lesson.AudioCount({1}))),
              std::string::npos)
        << printed;
    EXPECT_NE(printed.find("size 640x360"), std::string::npos) << printed;
    // Every decoded frame is 1024 stereo 16-bit samples; the device file
    // holds at least what was queued before the end.
    EXPECT_GE(fs::file_size(dir.File("out.raw")), size_t(lesson.AudioCount({1}) - 6) * 4096);
}

} // namespace
} // namespace tavrin
