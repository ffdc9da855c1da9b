#include "output/EncodeVideo.h"

#include "base/H264Nal.h"
#include "tests/support/Pictures.h"

#include <gtest/gtest.h>
#include <vector>

namespace tavrin {
namespace {

using test::FillScene;
using test::MakePicture;

struct TUnit {
    std::vector<uint8_t> bytes;
    int type;
};

// NAL unit types of an Annex B access unit, in order.
std::vector<int> NalTypes(const std::vector<uint8_t>& au) {
    std::vector<int> types;
    TNalScanner scanner(au);
    TNalUnit nal;
    while (scanner.Next(nal)) {
        types.push_back(nal.type);
    }
    return types;
}

bool Has(const std::vector<int>& v, int x) {
    return std::find(v.begin(), v.end(), x) != v.end();
}

std::vector<TUnit> Encode(TEncodeVideo& enc, int w, int h, int pictures,
                          std::vector<AvFramePtr>* sources = nullptr) {
    std::vector<TUnit> units;
    std::vector<uint8_t> out;
    for (int i = 0; i < pictures; ++i) {
        AvFramePtr pic = MakePicture(w, h);
        FillScene(pic.get(), i);
        int type = 0;
        const int size = enc.GetPackage(pic.get(), out, type);
        if (size > 0) {
            EXPECT_EQ(size_t(size), out.size());
            units.push_back({out, type});
        } else {
            EXPECT_EQ(type, 99);
            EXPECT_TRUE(out.empty());
        }
        if (sources != nullptr) {
            sources->push_back(std::move(pic));
        }
    }
    return units;
}

// Decodes Annex B units with libavcodec alone (no extradata), flushing at
// the end, as any player of the store would.
std::vector<AvFramePtr> DecodeUnits(const std::vector<TUnit>& units) {
    std::vector<AvFramePtr> pictures;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AvCodecContextPtr ctx(avcodec_alloc_context3(codec));
    EXPECT_EQ(avcodec_open2(ctx.get(), codec, nullptr), 0);
    AvPacketPtr pkt(av_packet_alloc());
    auto drain = [&] {
        for (;;) {
            AvFramePtr f(av_frame_alloc());
            if (avcodec_receive_frame(ctx.get(), f.get()) < 0) {
                break;
            }
            pictures.push_back(std::move(f));
        }
    };
    for (const TUnit& u : units) {
        av_new_packet(pkt.get(), int(u.bytes.size()));
        std::copy(u.bytes.begin(), u.bytes.end(), pkt->data);
        EXPECT_EQ(avcodec_send_packet(ctx.get(), pkt.get()), 0);
        av_packet_unref(pkt.get());
        drain();
    }
    avcodec_send_packet(ctx.get(), nullptr);
    drain();
    return pictures;
}

TEST(EncodeVideo, KeyUnitEveryTwentyFifthPictureWithParameterSetsInBand) {
    TEncodeVideo enc;
    ASSERT_EQ(enc.initialize(320, 240, 800 * 1024, false), 0);
    const std::vector<TUnit> units = Encode(enc, 320, 240, 80);
    ASSERT_GE(units.size(), 70u); // only the frame threads' start-up delay is missing

    for (size_t i = 0; i < units.size(); ++i) {
        const std::vector<int> nals = NalTypes(units[i].bytes);
        const bool key = i % 25 == 0;
        EXPECT_EQ(units[i].type, key ? 10 : 9) << "unit " << i;
        if (key) {
            // 00 00 00 01 and an SPS first, then the PPS and an IDR slice.
            EXPECT_EQ(units[i].bytes[0], 0);
            EXPECT_EQ(units[i].bytes[3], 1);
            EXPECT_EQ(units[i].bytes[4] & 0x1F, 7);
            EXPECT_TRUE(Has(nals, 8)) << "unit " << i;
            EXPECT_TRUE(Has(nals, 5)) << "unit " << i;
        } else {
            EXPECT_FALSE(Has(nals, 7)) << "unit " << i;
            EXPECT_FALSE(Has(nals, 5)) << "unit " << i; // no scene-cut key frames
        }
    }
}

TEST(EncodeVideo, AForcedKeyPictureIsAnIdrAndTheGroupCountsOnFromIt) {
    // A recording starts in the middle of the encoder's second: the picture
    // it starts with becomes an IDR picture with its parameter sets, and
    // the next key picture follows 25 pictures later, not at the old rhythm.
    TEncodeVideo enc;
    ASSERT_EQ(enc.initialize(320, 240, 800 * 1024, false), 0);
    std::vector<uint8_t> out;
    std::vector<std::pair<int64_t, TUnit>> units; // picture number, unit
    for (int i = 0; i < 80; ++i) {
        AvFramePtr pic = MakePicture(320, 240);
        FillScene(pic.get(), i);
        EXPECT_EQ(enc.NextPictureIndex(), i);
        if (i == 37) {
            enc.ForceKeyPicture();
        }
        int type = 0;
        if (enc.GetPackage(pic.get(), out, type) > 0) {
            units.push_back({enc.LastUnitPicture(), {out, type}});
        }
    }
    ASSERT_GE(units.size(), 70u);
    for (size_t k = 0; k < units.size(); ++k) {
        const auto& [picture, unit] = units[k];
        EXPECT_EQ(picture, int64_t(k)); // units come out in picture order
        const bool key = picture == 0 || picture == 25 || picture == 37 || picture == 62;
        EXPECT_EQ(unit.type, key ? 10 : 9) << "picture " << picture;
        const std::vector<int> nals = NalTypes(unit.bytes);
        EXPECT_EQ(Has(nals, 5), key) << "picture " << picture;
        if (key) {
            EXPECT_EQ(nals.front(), 7) << "picture " << picture;
            EXPECT_TRUE(Has(nals, 8)) << "picture " << picture;
        }
    }
}

TEST(EncodeVideo, RoundTripKeepsThePicturesInOrder) {
    TEncodeVideo enc;
    ASSERT_EQ(enc.initialize(320, 240, 2048 * 1024, false), 0);
    std::vector<AvFramePtr> sources;
    const std::vector<TUnit> units = Encode(enc, 320, 240, 30, &sources);
    const std::vector<AvFramePtr> decoded = DecodeUnits(units);
    ASSERT_EQ(decoded.size(), units.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
        ASSERT_EQ(decoded[i]->width, 320);
        ASSERT_EQ(decoded[i]->height, 240);
        // No B-frames: the i-th decoded picture is the i-th source picture.
        EXPECT_GT(test::LumaPsnr(sources[i].get(), decoded[i].get()), 35.0) << "picture " << i;
        if (i + 1 < decoded.size()) {
            EXPECT_LT(test::LumaPsnr(sources[i + 1].get(), decoded[i].get()), 35.0);
        }
    }
}

// A counted picture is lent to the encoder, not copied: the caller may
// repaint it as soon as the call returns and keeps the only reference.
TEST(EncodeVideo, ALentPictureIsEncodedAsItWasWhenHandedOver) {
    TEncodeVideo enc;
    ASSERT_EQ(enc.initialize(320, 240, 2048 * 1024, false), 0);
    AvFramePtr pic = MakePicture(320, 240);
    ASSERT_NE(pic->buf[0], nullptr);
    std::vector<TUnit> units;
    std::vector<uint8_t> out;
    for (int i = 0; i < 30; ++i) {
        FillScene(pic.get(), i);
        int type = 0;
        if (enc.GetPackage(pic.get(), out, type) > 0) {
            units.push_back({out, type});
        }
        EXPECT_EQ(av_buffer_get_ref_count(pic->buf[0]), 1) << "picture " << i;
    }
    const std::vector<AvFramePtr> decoded = DecodeUnits(units);
    ASSERT_EQ(decoded.size(), units.size());
    AvFramePtr expected = MakePicture(320, 240);
    for (size_t i = 0; i < decoded.size(); ++i) {
        FillScene(expected.get(), int(i));
        EXPECT_GT(test::LumaPsnr(expected.get(), decoded[i].get()), 35.0) << "picture " << i;
    }
}

TEST(EncodeVideo, ProfileAndHdColourTags) {
    TEncodeVideo mainEnc;
    ASSERT_EQ(mainEnc.initialize(1280, 720, 3145728, true), 0);
    const std::vector<TUnit> mainUnits = Encode(mainEnc, 1280, 720, 4);
    ASSERT_FALSE(mainUnits.empty());
    EXPECT_EQ(mainUnits[0].bytes[5], 77); // profile_idc main

    TEncodeVideo highEnc;
    ASSERT_EQ(highEnc.initialize(320, 240, 1 << 20, false), 0);
    const std::vector<TUnit> highUnits = Encode(highEnc, 320, 240, 4);
    ASSERT_FALSE(highUnits.empty());
    EXPECT_EQ(highUnits[0].bytes[5], 100); // profile_idc high

    const std::vector<AvFramePtr> decoded = DecodeUnits(mainUnits);
    ASSERT_FALSE(decoded.empty());
    EXPECT_EQ(decoded[0]->colorspace, AVCOL_SPC_BT709);
}

TEST(EncodeVideo, PicturesItCannotEncodeGiveNoUnit) {
    std::vector<uint8_t> out{1, 2, 3};
    int type = 0;
    TEncodeVideo unopened;
    AvFramePtr pic = MakePicture(320, 240);
    FillScene(pic.get(), 0);
    EXPECT_EQ(unopened.GetPackage(pic.get(), out, type), -1);
    EXPECT_EQ(type, 99);
    EXPECT_TRUE(out.empty());

    TEncodeVideo enc;
    ASSERT_EQ(enc.initialize(320, 240, 1 << 20, false), 0);
    AvFramePtr wrongSize = MakePicture(640, 480);
    FillScene(wrongSize.get(), 0);
    type = 0;
    EXPECT_EQ(enc.GetPackage(wrongSize.get(), out, type), -1);
    EXPECT_EQ(type, 99);
    EXPECT_EQ(enc.GetPackage(nullptr, out, type), -1);

    // The encoder is still usable and its first unit is still a key unit.
    const std::vector<TUnit> units = Encode(enc, 320, 240, 5);
    ASSERT_FALSE(units.empty());
    EXPECT_EQ(units[0].type, 10);
}

} // namespace
} // namespace tavrin

namespace tavrin {
namespace {

TEST(EncodeVideoDrain, HeldPicturesComeOutAtTheEnd) {
    TEncodeVideo enc;
    ASSERT_EQ(enc.initialize(320, 240, 500000, true), 0);
    const std::vector<TUnit> units = Encode(enc, 320, 240, 30);
    std::vector<uint8_t> out;
    int type = 0;
    int delayed = 0;
    while (enc.GetDelayedPackage(out, type) > 0) {
        EXPECT_TRUE(type == 9 || type == 10);
        ++delayed;
    }
    EXPECT_EQ(int(units.size()) + delayed, 30);
    EXPECT_EQ(enc.GetDelayedPackage(out, type), -1);
    EXPECT_TRUE(out.empty());
}

} // namespace
} // namespace tavrin
