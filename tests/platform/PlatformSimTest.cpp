// The platform client against the platform simulator over real HTTPS on
// 127.0.0.1.
#include "base/Message.h"
#include "base/Text.h"
#include "platform/LessonCache.h"
#include "platform/voServer.h"
#include "tests/base/TempDir.h"
#include "tests/support/PlatformSimSuite.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

namespace tavrin {
namespace {

using nlohmann::json;
using test::PlatformSimDir;
using test::ReadFile;
using test::TempDir;
using test::TPlatformSim;
using test::TPlatformSimSuite;
using test::WriteFile;

json Lesson(int id, int day, const std::string& teacher) {
    return json{{"ID", id},
                {"day", day},
                {"time", "08:30:45"},
                {"LessionNO", 2},
                {"continueMinutes", 45},
                {"Subject", "数学"},
                {"Volume", "上册"},
                {"TeacherName", teacher},
                {"LessionName", "一元二次方程"},
                {"Grade", "九年级"},
                {"Version", "人教版"},
                {"SchoolName", "示范区第一中学"},
                {"allowLive", 1},
                {"allowUpload", 1},
                {"liveToken", "t" + std::to_string(id)}};
}

std::string Accounts() {
    json plain = Lesson(502, 1, "Anna Lee");
    plain.erase("allowUpload");
    json accounts = json::array({
        {{"userID", 1001},
         {"password", "pw1001"},
         {"name", "王晓梅"},
         {"areaName", "示范区教育局"},
         {"lessons", json::array({Lesson(501, 0, "王晓梅"), plain})}},
        {{"userID", 1002}, {"password", "pw"}, {"state", "frozen"}},
        {{"userID", 1003}, {"password", "pw"}, {"state", "noServer"}},
        {{"userID", 1004}, {"password", "pw"}, {"state", "noPermission"}},
        {{"userID", 2001},
         {"password", "pw"},
         {"version", "1.2.4.0"},
         {"lessons", json::array({Lesson(601, 0, "张伟")})}},
        {{"userID", 2002},
         {"password", "pw"},
         {"version", "1.2.4"},
         {"name", "陈静"},
         {"lessons", json::array({Lesson(701, -1, "陈静"), Lesson(702, 2, "陈静")})}},
        {{"userID", 2003}, {"password", "pw"}, {"broken", true}},
        {{"userID", 2004}, {"password", "pw"}, {"drop", true}},
        {{"userID", 2005}, {"password", "pw"}, {"delay", 60}},
        {{"userID", 2006}, {"password", "q\"uo\\te"}, {"lessons", json::array()}},
    });
    return json{{"version", "1.2.3.9"},
                {"serverIp", "127.0.0.7"},
                {"serverPort", 8202},
                {"accounts", accounts}}
        .dump();
}

class PlatformSimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        suite_ = std::make_unique<TPlatformSimSuite>(
            Accounts(), std::vector<std::string>{"--installer-size", "300000"});
    }
    static void TearDownTestSuite() { suite_.reset(); }
    void SetUp() override {
        ASSERT_GT(suite_->Port(), 0) << "platform-sim did not start";
        std::filesystem::remove(Cache());
    }

    static std::string Cache() { return suite_->Cache(); }
    static TvoServerSetup Setup(int port = suite_->Port()) {
        return suite_->Setup(port, "1.2.3.9");
    }

    static std::unique_ptr<TPlatformSimSuite> suite_;
};

std::unique_ptr<TPlatformSimSuite> PlatformSimTest::suite_;

TEST_F(PlatformSimTest, SignInReceivesTheDecodedSchedule) {
    TMessageRecorder recorder;
    TvoServer server(Setup());
    ASSERT_EQ(server.Login(1001, "pw1001"), 200);
    EXPECT_EQ(server.GetLoginState(), 1);
    EXPECT_EQ(server.GetCommInfo().voName, "王晓梅");
    EXPECT_EQ(server.GetCommInfo().areaName, "示范区教育局");
    EXPECT_EQ(server.GetCommInfo().serverIp, "127.0.0.7");
    EXPECT_EQ(server.GetCommInfo().serverPort, 8202);

    const std::vector<Tvo_FromServer>* list = nullptr;
    ASSERT_EQ(server.GetLessionList(list), 2);
    const Tvo_FromServer& today = (*list)[0];
    EXPECT_EQ(today.LI.LessionID, 501);
    EXPECT_EQ(today.LI.subject, "数学 上册");
    EXPECT_EQ(today.LI.TeacherName, "王晓梅");
    EXPECT_EQ(today.LI.ShcoolName, "示范区第一中学");
    EXPECT_EQ(DateOf(today.LessionTime), server.GetCurrentDate());
    EXPECT_EQ(today.LessionTime.minute, 30);
    EXPECT_EQ(today.LessionTime.second, 0); // the final number of the text is dropped
    EXPECT_EQ(today.allowUpload, 1);
    EXPECT_EQ((*list)[1].LI.TeacherName, "Anna Lee");
    EXPECT_EQ((*list)[1].allowUpload, 0);
    EXPECT_EQ(DaysBetween(server.GetCurrentDate(), (*list)[1].LessionTime), 1);
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_TRUE(std::filesystem::exists(Cache()));
}

TEST_F(PlatformSimTest, RefusalsAreReturnedWithoutMessages) {
    TMessageRecorder recorder;
    const struct {
        int32_t user;
        const char* password;
        int code;
    } cases[] = {{1002, "pw", 301},
                 {1001, "wrong", 302},
                 {9999, "pw", 302},
                 {1003, "pw", 400},
                 {1004, "pw", 500}};
    for (const auto& c : cases) {
        TvoServer server(Setup());
        EXPECT_EQ(server.Login(c.user, c.password), c.code) << c.user;
        EXPECT_EQ(server.GetLoginState(), 0);
    }
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_FALSE(std::filesystem::exists(Cache()));
}

TEST_F(PlatformSimTest, PasswordWithQuoteAndBackslashSignsIn) {
    TvoServer server(Setup());
    EXPECT_EQ(server.Login(2006, "q\"uo\\te"), 200);
}

TEST_F(PlatformSimTest, NewerConsoleVersionSignsInWithMinusTwo) {
    TvoServer server(Setup());
    EXPECT_EQ(server.Login(2001, "pw"), -2);
    EXPECT_EQ(server.GetLoginState(), 0);
    const std::vector<Tvo_FromServer>* list = nullptr;
    EXPECT_EQ(server.GetLessionList(list), 1);
    EXPECT_EQ(server.GetCommInfo().URL,
              "https://127.0.0.1:" + std::to_string(suite_->Port()) + "/download/setupVO.exe");
}

TEST_F(PlatformSimTest, UnreadableVersionOffersTheListThisAnswerSaved) {
    TMessageRecorder recorder;
    recorder.QueueAnswer(TMsgAnswer::Yes);
    TvoServer server(Setup());
    ASSERT_EQ(server.Login(2002, "pw"), 200);
    EXPECT_EQ(server.GetLoginState(), 2);
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, TMsgIcon::Question);
    EXPECT_EQ(shown[0].buttons, TMsgButtons::YesNo);
    const TDateTime saved = server.GetLastLoginTime();
    EXPECT_EQ(shown[0].text, "登录失败。本机存有您 " + FormatDateTime(saved) + " [" +
                                 IntToStr(DaysBetween(saved, LocalNow())) + "天前] " +
                                 " 成功登录后、从平台所获得的课表，是否使用？");
    const std::vector<Tvo_FromServer>* list = nullptr;
    ASSERT_EQ(server.GetLessionList(list), 2);
    EXPECT_EQ((*list)[0].LI.LessionID, 701);
    EXPECT_EQ(server.GetCommInfo().voName, "陈静");
    // Offline, the platform date is today.
    EXPECT_EQ(server.GetCurrentDate(), DateOf(LocalNow()));

    // Declined: no sign-in.
    TMessageRecorder declining;
    declining.QueueAnswer(TMsgAnswer::No);
    TvoServer again(Setup());
    EXPECT_EQ(again.Login(2002, "pw"), -1);
    EXPECT_EQ(again.GetLoginState(), 0);
}

TEST_F(PlatformSimTest, UnreachablePlatformFallsBackToTheSavedListOfThisAccountOnly) {
    {
        TvoServer online(Setup());
        ASSERT_EQ(online.Login(1001, "pw1001"), 200);
    }
    const std::string saved = ReadFile(Cache());
    // The broken, dropped and unreachable cases each end in the offline offer.
    for (const int32_t port : {suite_->Port(), 1}) {
        for (const int32_t user : {2003, 2004}) {
            TMessageRecorder recorder;
            TvoServer server(Setup(port));
            EXPECT_EQ(server.Login(user, "pw"), -1);
            const auto shown = recorder.Messages();
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].text, kOfflineNoSavedList);
            EXPECT_EQ(shown[0].icon, TMsgIcon::Information);
        }
    }
    EXPECT_EQ(ReadFile(Cache()), saved); // another account leaves it in place

    TMessageRecorder recorder;
    recorder.QueueAnswer(TMsgAnswer::Yes);
    TvoServer offline(Setup(1));
    ASSERT_EQ(offline.Login(1001, "pw1001"), 200);
    EXPECT_EQ(offline.GetLoginState(), 2);
    EXPECT_EQ(offline.GetCommInfo().areaName, "示范区教育局");
    const std::vector<Tvo_FromServer>* list = nullptr;
    EXPECT_EQ(offline.GetLessionList(list), 2);

    TMessageRecorder wrongPassword;
    TvoServer refused(Setup(1));
    EXPECT_EQ(refused.Login(1001, "pw1002"), -1);
    ASSERT_EQ(wrongPassword.Messages().size(), 1u);
    EXPECT_EQ(wrongPassword.Messages()[0].text, kOfflineNoSavedList);
}

TEST_F(PlatformSimTest, SilentPlatformIsGivenUpAfterTheReadTimeOut) {
    TMessageRecorder recorder;
    TvoServerSetup setup = Setup();
    setup.https.nReadTimeoutMs = 1500;
    TvoServer server(setup);
    EXPECT_EQ(server.Login(2005, "pw"), -1);
    ASSERT_EQ(recorder.Messages().size(), 1u);
    EXPECT_EQ(recorder.Messages()[0].text, kOfflineNoSavedList);
}

TEST_F(PlatformSimTest, InstallerDownloadsWithItsAnnouncedSize) {
    TvoServer server(Setup());
    ASSERT_EQ(server.Login(2001, "pw"), -2);
    THttpsClient client(Setup().https);
    int64_t lastReceived = 0, lastTotal = 0;
    int steps = 0;
    const std::string file = suite_->File("setupVO.exe");
    EXPECT_EQ(client.Download(server.GetCommInfo().URL, file,
                              [&](int64_t received, int64_t total) {
                                  EXPECT_GE(received, lastReceived);
                                  lastReceived = received;
                                  lastTotal = total;
                                  ++steps;
                                  return true;
                              }),
              200);
    EXPECT_EQ(std::filesystem::file_size(file), 300000u);
    EXPECT_EQ(lastReceived, 300000);
    EXPECT_EQ(lastTotal, 300000);
    EXPECT_GT(steps, 0);
    EXPECT_EQ(ReadFile(file).substr(0, 26), "setupVO stand-in installer");

    const std::string base = "https://127.0.0.1:" + std::to_string(suite_->Port());
    EXPECT_EQ(client.Download(base + "/nothing", file, nullptr), 404);
    EXPECT_EQ(client.Download("http://127.0.0.1:" + std::to_string(suite_->Port()) +
                                  "/download/setupVO.exe",
                              file, nullptr),
              -1); // never without TLS
}

TEST(PlatformSimCertificate, UntrustedCertificateIsRefused) {
    TempDir dir;
    WriteFile(dir.File("accounts.json"), Accounts());
    TPlatformSim sim(dir.File("accounts.json"), {}, "untrusted");
    ASSERT_GT(sim.Port(), 0);
    TMessageRecorder recorder;
    TvoServerSetup setup;
    setup.https.Port = sim.Port();
    setup.https.CAFile = PlatformSimDir() + "/platform-cert.pem";
    setup.sCacheFile = dir.File("lesson.dat");
    setup.sOwnVersion = "1.2.3.9";
    TvoServer server(setup);
    EXPECT_EQ(server.Login(1001, "pw1001"), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("lesson.dat")));

    // The same server passes once its own certificate is the trusted one.
    setup.https.CAFile = PlatformSimDir() + "/untrusted-cert.pem";
    TvoServer trusting(setup);
    EXPECT_EQ(trusting.Login(1001, "pw1001"), 200);
}

TEST(PlatformSimDemo, DemoAccountHasLessonsAroundToday) {
    TPlatformSim sim(PlatformSimDir() + "/demo-accounts.json");
    ASSERT_GT(sim.Port(), 0);
    TempDir dir;
    TvoServerSetup setup;
    setup.https.Port = sim.Port();
    setup.https.CAFile = PlatformSimDir() + "/platform-cert.pem";
    setup.sCacheFile = dir.File("lesson.dat");
    setup.sOwnVersion = "0.1.0.1";
    TvoServer server(setup);
    ASSERT_EQ(server.Login(1001, "demo1001"), 200);
    const std::vector<Tvo_FromServer>* list = nullptr;
    ASSERT_GT(server.GetLessionList(list), 0);
    std::set<int64_t> days;
    bool chinese = false;
    for (const Tvo_FromServer& vo : *list) {
        days.insert(DaysBetween(server.GetCurrentDate(), vo.LessionTime));
        chinese = chinese || CodePointCount(vo.LI.TeacherName) < vo.LI.TeacherName.size();
    }
    for (const int64_t day : {-1, 0, 1, 7}) {
        EXPECT_EQ(days.count(day), 1u) << day;
    }
    EXPECT_TRUE(chinese);
}

} // namespace
} // namespace tavrin
