// Multicast discovery, each test inside a private network namespace made
// here: the probe never reaches the machine's own interfaces.
#include "sources/Discovery.h"

#include "base/Message.h"
#include "sources/PhoneConnection.h"
#include "tests/sources/PhoneSim.h"
#include "tests/sources/RecordingSink.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QUdpSocket>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sched.h>
#include <thread>
#include <tuple>

namespace tavrin {
namespace {

// Moves this process into a fresh network namespace with only a loopback
// interface that carries the multicast group.
bool EnterPrivateNetwork() {
    if (::unshare(CLONE_NEWNET) != 0) {
        return false;
    }
    return std::system("ip link set lo up && ip link set lo multicast on && "
                       "ip route add 239.0.0.0/8 dev lo") == 0;
}

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!EnterPrivateNetwork()) {
            GTEST_SKIP() << "needs root to make a private network namespace";
        }
        test::EnsureQtApp();
    }

    struct Found {
        std::string ip;
        uint8_t type;
        std::string id;
        bool onGuiThread;
        auto operator<=>(const Found&) const = default;
    };
    TDiscovery::FindThisClientFn Recorder() {
        const auto gui = std::this_thread::get_id();
        return [this, gui](const std::string& ip, uint8_t type, const std::string& id) {
            found.push_back({ip, type, id, std::this_thread::get_id() == gui});
            return int(found.size()) - 1;
        };
    }

    std::vector<Found> found;
};

TEST_F(DiscoveryTest, AnswersReachTheGuiThreadAndLeadToTheDevice) {
    test::TPhoneSim pad("127.0.0.2", {"--discovery", "--id", "pad-A"});
    test::TPhoneSim pc("127.0.0.3", {"--discovery", "--id", "pc-B", "--device-type", "1",
                                     "--discovery-scheme", "kvxpptlive://"});
    ASSERT_TRUE(pad.Ready());
    ASSERT_TRUE(pc.Ready());

    TDiscovery discovery;
    ASSERT_EQ(0, discovery.initialize());
    EXPECT_TRUE(discovery.GetIfHasCapility());
    EXPECT_EQ(22685, discovery.LocalPort());
    discovery.SetFindThisClient(Recorder());
    ASSERT_TRUE(discovery.Start());
    ASSERT_EQ(0, discovery.DoDiscovery());
    ASSERT_TRUE(test::PumpUntil([&] { return found.size() >= 2; }));
    std::sort(found.begin(), found.end());
    EXPECT_EQ((Found{"127.0.0.2", 2, "pad-A", true}), found[0]);
    EXPECT_EQ((Found{"127.0.0.3", 1, "pc-B", true}), found[1]);
    EXPECT_TRUE(test::PumpUntil([&] { return discovery.Pending() == 0; }));

    // The probe reached the phone byte for byte.
    const auto probes = pad.LogLines("probe ");
    ASSERT_EQ(1u, probes.size());
    const std::string& p = DiscoveryProbe();
    std::string hex;
    for (unsigned char ch : p) {
        char b[3];
        std::snprintf(b, sizeof b, "%02x", ch);
        hex += b;
    }
    EXPECT_EQ(" " + hex, probes[0].substr(probes[0].rfind(' ')));

    // The answering address is where the device streams from.
    test::TRecordingSink sink;
    TClientInfo info;
    TPhoneConnection conn;
    conn.initialize(&sink, &info);
    conn.ConnectTo(found[0].ip);
    ASSERT_TRUE(test::PumpUntil([&] { return !info.ID.empty(); }));
    EXPECT_EQ("pad-A", info.ID);
    discovery.Destroy();
}

TEST_F(DiscoveryTest, OwnProbeAndUnknownDatagramsAreIgnored) {
    TDiscovery discovery;
    ASSERT_EQ(0, discovery.initialize());
    QUdpSocket peer;
    peer.setProxy(QNetworkProxy::NoProxy); // as the console's own sockets
    ASSERT_TRUE(peer.bind(QHostAddress(QStringLiteral("127.0.0.7")), 0));
    const QHostAddress console(QStringLiteral("127.0.0.1"));
    const std::string& probe = DiscoveryProbe();
    peer.writeDatagram(probe.data(), qint64(probe.size()), console, discovery.LocalPort());
    peer.writeDatagram("nothing to see", console, discovery.LocalPort());
    peer.writeDatagram("<x>kvxapplelive://10.0.0.1/ipad-9</x>", console, discovery.LocalPort());
    ASSERT_TRUE(test::PumpUntil([&] { return discovery.Pending() >= 1; }));
    test::PumpUntil([] { return false; }, 300);
    EXPECT_EQ(1u, discovery.Pending());

    // Served in order once the thread runs.
    discovery.SetFindThisClient(Recorder());
    ASSERT_TRUE(discovery.Start());
    ASSERT_TRUE(test::PumpUntil([&] { return found.size() == 1; }));
    EXPECT_EQ((Found{"127.0.0.7", 2, "ipad-9", true}), found[0]);
}

TEST_F(DiscoveryTest, NextPortWhenTakenAndErrorsWhenNoneIsFree) {
    std::vector<std::unique_ptr<QUdpSocket>> taken;
    auto take = [&](uint16_t port) {
        taken.push_back(std::make_unique<QUdpSocket>());
        taken.back()->setProxy(QNetworkProxy::NoProxy);
        return taken.back()->bind(QHostAddress::AnyIPv4, port);
    };
    ASSERT_TRUE(take(22685));
    {
        TDiscovery discovery;
        ASSERT_EQ(0, discovery.initialize());
        EXPECT_EQ(22941, discovery.LocalPort());
    }
    for (int i = 1; i < TDiscovery::kLocalPortAttempts; ++i) {
        ASSERT_TRUE(take(uint16_t(22685 + 256 * i)));
    }
    TMessageRecorder messages;
    TDiscovery discovery;
    EXPECT_EQ(-2, discovery.initialize());
    EXPECT_FALSE(discovery.GetIfHasCapility());
    EXPECT_EQ(-1, discovery.DoDiscovery());
    EXPECT_EQ(-1, discovery.FindDEV(37020));
    EXPECT_EQ("组播地址绑定失败", TDiscovery::GetErrorByID(-2));
    EXPECT_TRUE(messages.Messages().empty());
}

} // namespace
} // namespace tavrin
