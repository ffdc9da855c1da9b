#include "sources/DiscoveryAnswer.h"

#include "base/Trace.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(DiscoveryAnswerTest, SchemesGiveTypeAndIdentity) {
    TTraceCapture trace;
    TDiscoveryInfo info;
    info.sIP = "127.0.0.9";
    ASSERT_TRUE(ParseDiscoveryAnswer("<a>kvxandroidlive://10.1.2.3/pad-42</a>", info));
    EXPECT_EQ(2, info.nDeviceType);
    EXPECT_EQ("pad-42", info.ID);
    EXPECT_EQ("127.0.0.9", info.sIP); // the address in the text is not used
    EXPECT_TRUE(trace.Contains("----ss---KEY_PAD_ANDROID=pad-42"));

    ASSERT_TRUE(ParseDiscoveryAnswer("kvxpptlive://host/PC-1<", info));
    EXPECT_EQ(1, info.nDeviceType);
    EXPECT_EQ("PC-1", info.ID);
    EXPECT_TRUE(trace.Contains("----ss---KEY_PPT=PC-1"));

    const size_t lines = trace.Lines().size();
    ASSERT_TRUE(ParseDiscoveryAnswer("kvxapplelive://h/ipad", info));
    EXPECT_EQ(2, info.nDeviceType);
    EXPECT_EQ("ipad", info.ID); // no "<": the identity runs to the end
    EXPECT_EQ(lines, trace.Lines().size());
}

TEST(DiscoveryAnswerTest, EdgeCases) {
    TDiscoveryInfo info;
    info.ID = "stale";
    ASSERT_TRUE(ParseDiscoveryAnswer("kvxandroidlive://10.0.0.5<x>", info));
    EXPECT_EQ("", info.ID);
    // The desktop scheme is tested first, whatever the order in the text.
    ASSERT_TRUE(ParseDiscoveryAnswer("kvxapplelive://a/b< kvxpptlive://c/d<", info));
    EXPECT_EQ(1, info.nDeviceType);
    EXPECT_EQ("d", info.ID);
    EXPECT_FALSE(ParseDiscoveryAnswer("hello://x/y<", info));
    EXPECT_FALSE(ParseDiscoveryAnswer(DiscoveryProbe(), info));
}

} // namespace
} // namespace tavrin
