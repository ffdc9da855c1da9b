#include "base/Message.h"
#include "platform/Base64.h"
#include "platform/LessonCache.h"
#include "platform/voServer.h"
#include "tests/base/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tavrin {
namespace {

using nlohmann::json;
using test::ReadFile;
using test::TempDir;

json Lesson(int id, const std::string& teacher) {
    return json{{"ID", id},
                {"LessionTime", "2026-12-09 08:30:45"},
                {"CreateTime", "2026-11-30 10:00:00"},
                {"LessionNO", "3"},
                {"continueMinutes", 45},
                {"Subject", Base64Encode("数学")},
                {"Volume", Base64Encode("上册")},
                {"TeacherName", Base64Encode(teacher)},
                {"LessionName", Base64Encode("一元二次方程")},
                {"Grade", Base64Encode("九年级")},
                {"Version", Base64Encode("人教版")},
                {"SchoolName", Base64Encode("第一中学")},
                {"allowLive", 1},
                {"allowUpload", 1},
                {"liveToken", "tok-" + std::to_string(id)}};
}

json Answer(const std::string& version) {
    json lessons = json::array({Lesson(11, "王晓梅"), Lesson(12, "李建国")});
    lessons[1].erase("allowUpload");
    return json{{"resultCode", "200"},
                {"currentDate", "2026-12-09 07:15:00"},
                {"version", version},
                {"url", "https://127.0.0.1:8201/download/setupVO.exe"},
                {"serverIp", "127.0.0.9"},
                {"serverPort", "8202"},
                {"name", Base64Encode("王晓梅")},
                {"areaName", Base64Encode("示范区")},
                {"data", lessons}};
}

class LoginAnswerTest : public ::testing::Test {
protected:
    TvoServer Server() {
        TvoServerSetup setup;
        setup.sCacheFile = cache_;
        setup.sOwnVersion = "1.2.3.9";
        return TvoServer(setup);
    }

    TempDir dir_;
    std::string cache_ = dir_.File("lesson.dat");
};

TEST_F(LoginAnswerTest, ScheduleIsDecodedAndSavedForOfflineUse) {
    TvoServer server = Server();
    ASSERT_EQ(server.ReadLoginAnswer(Answer("1.2.3.9").dump()), 200);

    const TCommInfo& c = server.GetCommInfo();
    EXPECT_EQ(c.voName, "王晓梅");
    EXPECT_EQ(c.areaName, "示范区");
    EXPECT_EQ(c.serverIp, "127.0.0.9");
    EXPECT_EQ(c.serverPort, 8202);
    EXPECT_EQ(c.URL, "https://127.0.0.1:8201/download/setupVO.exe");
    EXPECT_EQ(server.GetCurrentDate(), (TDateTime{2026, 12, 9, 0, 0, 0}));

    const std::vector<Tvo_FromServer>* list = nullptr;
    ASSERT_EQ(server.GetLessionList(list), 2);
    const Tvo_FromServer& first = (*list)[0];
    EXPECT_EQ(first.LI.subject, "数学 上册");
    EXPECT_EQ(first.LI.TeacherName, "王晓梅");
    EXPECT_EQ(first.LI.LessionName, "一元二次方程");
    EXPECT_EQ(first.LI.ShcoolName, "第一中学");
    EXPECT_EQ(first.LI.version, "人教版");
    EXPECT_EQ(first.LessionTime, (TDateTime{2026, 12, 9, 8, 30, 0}));
    EXPECT_EQ(first.LessionNO, 3); // a decimal string reads as a number
    EXPECT_EQ(first.allowUpload, 1);
    EXPECT_EQ((*list)[1].allowUpload, 0); // the key is missing

    std::string ip = "-", token = "-";
    int32_t live = -5, port = -5;
    EXPECT_EQ(server.GetServerInfo(12, ip, token, live, port), 0);
    EXPECT_EQ(ip, "127.0.0.9");
    EXPECT_EQ(token, "tok-12");
    EXPECT_EQ(live, 1);
    EXPECT_EQ(port, 8202);
    ip = token = "-";
    live = port = -5;
    EXPECT_EQ(server.GetServerInfo(99, ip, token, live, port), -1);
    EXPECT_EQ(ip + token, "--");
    EXPECT_EQ(live + port, -10);
    TDateTime when;
    EXPECT_EQ(server.GetLessonTime(99, when), -1);
    EXPECT_EQ(server.GetLessonTime(11, when), 0);
    EXPECT_EQ(when.hour, 8);
    EXPECT_EQ(server.GetAllowUpload(11), 1);
    EXPECT_EQ(server.GetAllowUpload(99), 0);

    // The saved copy holds the same schedule.
    TvoServer offline = Server();
    ASSERT_EQ(offline.ParseLessonCache(LoadLessonCache(cache_), 0, ""), 0);
    ASSERT_EQ(offline.GetLessionList(list), 2);
    EXPECT_EQ((*list)[0].LI.TeacherName, "王晓梅");
    EXPECT_EQ(offline.GetCommInfo().serverPort, 8202);
}

TEST_F(LoginAnswerTest, PlatformRefusalsComeBackUnchanged) {
    TvoServer server = Server();
    EXPECT_EQ(server.ReadLoginAnswer(R"({"resultCode":"301","data":[]})"), 301);
    EXPECT_EQ(server.ReadLoginAnswer(R"({"resultCode":302})"), 302);
    EXPECT_EQ(server.ReadLoginAnswer(R"({"resultCode":"777"})"), 777);
    EXPECT_EQ(server.GetLoginState(), 0);
    EXPECT_FALSE(std::filesystem::exists(cache_));
    // 200 without a list changes nothing.
    EXPECT_EQ(server.ReadLoginAnswer(R"({"resultCode":"200","version":"9.9.9.9"})"), 200);
    EXPECT_EQ(server.GetCommInfo().version, "");
    EXPECT_FALSE(std::filesystem::exists(cache_));
}

TEST_F(LoginAnswerTest, NewerPlatformVersionGivesMinusTwo) {
    TvoServer server = Server();
    EXPECT_EQ(server.ReadLoginAnswer(Answer("1.2.4.0").dump()), -2);
    const std::vector<Tvo_FromServer>* list = nullptr;
    EXPECT_EQ(server.GetLessionList(list), 2); // the list is loaded all the same
    EXPECT_TRUE(std::filesystem::exists(cache_));
    EXPECT_EQ(Server().ReadLoginAnswer(Answer("1.2.3.8").dump()), 200);
}

TEST_F(LoginAnswerTest, ThreePartVersionIsUnreadableButTheListIsSaved) {
    TvoServer server = Server();
    EXPECT_EQ(server.ReadLoginAnswer(Answer("1.2.4").dump()), -1);
    TvoServer offline = Server();
    EXPECT_EQ(offline.ParseLessonCache(LoadLessonCache(cache_), 0, ""), 0);
}

TEST_F(LoginAnswerTest, UnreadableAnswersNeverReplaceTheSavedList) {
    TvoServer good = Server();
    ASSERT_EQ(good.ReadLoginAnswer(Answer("1.2.3.9").dump()), 200);
    const std::string saved = ReadFile(cache_);

    json badBase64 = Answer("1.2.3.9");
    badBase64["data"][1]["TeacherName"] = "%%%";
    json notArray = Answer("1.2.3.9");
    notArray["data"] = "none";
    json badPort = Answer("1.2.3.9");
    badPort["serverPort"] = "port";
    json noCode = Answer("1.2.3.9");
    noCode.erase("resultCode");
    const std::string full = Answer("1.2.3.9").dump();
    for (const std::string& body : {badBase64.dump(), notArray.dump(), badPort.dump(),
                                    noCode.dump(), full.substr(0, full.size() / 2),
                                    std::string("<html>busy</html>"), std::string("[200]")}) {
        TvoServer server = Server();
        EXPECT_EQ(server.ReadLoginAnswer(body), -1) << body;
        const std::vector<Tvo_FromServer>* list = nullptr;
        EXPECT_EQ(server.GetLessionList(list), 0) << body;
        EXPECT_EQ(ReadFile(cache_), saved) << body;
    }
}

TEST(PlatformResult, TextsOfTheResultCodes) {
    EXPECT_STREQ(TvoServer::ResultText(200), "成功");
    EXPECT_STREQ(TvoServer::ResultText(201), "失败");
    EXPECT_STREQ(TvoServer::ResultText(301), "本账号已冻结");
    EXPECT_STREQ(TvoServer::ResultText(302), "账号错误");
    EXPECT_STREQ(TvoServer::ResultText(400), "没有相匹配的服务器");
    EXPECT_STREQ(TvoServer::ResultText(500), "本账号无此权限");
    EXPECT_STREQ(TvoServer::ResultText(-1), "未知错误");
}

} // namespace
} // namespace tavrin
