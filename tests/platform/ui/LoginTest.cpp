// The sign-in dialog against the platform simulator over real HTTPS, typed
// into through the X server.
#include "base/Message.h"
#include "base/ui/MessageBoxHandler.h"
#include "platform/ui/F_Login.h"
#include "platform/voServer.h"
#include "tests/base/TempDir.h"
#include "tests/support/PlatformSimSuite.h"
#include "tests/support/ui/GuiTestEnv.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace tavrin {
namespace {

using nlohmann::json;
using test::TempDir;
using test::TPlatformSim;
using test::TPlatformSimSuite;
using test::TXdo;
using test::WaitUntil;

constexpr int kInstallerSize = 300000;

std::string Accounts(const std::string& version) {
    json lesson = {{"ID", 30101},
                   {"day", 0},
                   {"time", "08:30:00"},
                   {"LessionNO", 1},
                   {"Subject", "数学"},
                   {"Volume", "上册"},
                   {"TeacherName", "王晓梅"},
                   {"LessionName", "一元二次方程"}};
    json accounts = json::array({
        {{"userID", 1001},
         {"password", "demo1001"},
         {"name", "王晓梅"},
         {"areaName", "示范区教育局"},
         {"lessons", json::array({lesson})}},
        {{"userID", 1002}, {"password", "pw"}, {"state", "frozen"}},
        {{"userID", 1003}, {"password", "pw"}, {"state", "noServer"}},
        {{"userID", 1004}, {"password", "pw"}, {"state", "noPermission"}},
        {{"userID", 2001}, {"password", "pw"}, {"name", "张伟"}, {"version", "9.9.9.9"}},
    });
    return json{{"version", version}, {"accounts", accounts}}.dump();
}

class LoginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        suite_ = std::make_unique<TPlatformSimSuite>(
            Accounts("0.1.0.1"),
            std::vector<std::string>{"--installer-size", std::to_string(kInstallerSize)});
    }
    static void TearDownTestSuite() { suite_.reset(); }
    void SetUp() override {
        ASSERT_GT(suite_->Port(), 0) << "platform-sim did not start";
        std::filesystem::remove(Cache());
        // The installer goes to the temporary folder: this test's own.
        ::setenv("TMPDIR", tmp_.Path().c_str(), 1);
    }
    void TearDown() override { ::unsetenv("TMPDIR"); }

    static std::string Cache() { return suite_->Cache(); }
    static TvoServerSetup Setup(int port, bool withCache = true) {
        return suite_->Setup(port, "0.1.0.1", withCache);
    }
    // A port nobody listens on.
    static int DeadPort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

    // Fills the fields, presses "登录" and waits until the click is handled.
    static void SignIn(TF_Login& login, const QString& account, const QString& password) {
        login.AccountEdit()->setText(account);
        login.PasswordEdit()->setText(password);
        login.LoginButton()->click();
    }

    TempDir tmp_;
    static std::unique_ptr<TPlatformSimSuite> suite_;
};

std::unique_ptr<TPlatformSimSuite> LoginTest::suite_;

TEST_F(LoginTest, AccountAndPasswordAreCheckedBeforeAnyRequest) {
    // A plain listener stands in for the platform: it would see any request.
    QTcpServer platform;
    ASSERT_TRUE(platform.listen(QHostAddress::LocalHost, 0));
    int connections = 0;
    QObject::connect(&platform, &QTcpServer::newConnection, [&] { ++connections; });
    TvoServer server(Setup(platform.serverPort()));
    TF_Login login(server);
    login.show();
    TMessageRecorder recorder;

    SignIn(login, " 12a", "demo1001");
    SignIn(login, "1001", "   ");
    SignIn(login, "", "x");
    test::Pump(200);
    EXPECT_EQ(connections, 0);
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "请保证用户名是数字");
    EXPECT_EQ(shown[0].icon, TMsgIcon::Information);
    EXPECT_EQ(shown[1].text, "请保证用户名与密码皆不为空");
    EXPECT_EQ(shown[1].icon, TMsgIcon::Information);
    EXPECT_EQ(shown[2].text, "请保证用户名是数字");
    EXPECT_TRUE(login.isVisible());
    EXPECT_FALSE(login.bLoginOK);
}

TEST_F(LoginTest, EachRefusalShowsItsTextAndKeepsTheDialogOpen) {
    struct Case {
        const char* account;
        const char* password;
        const char* text;
    };
    const Case cases[] = {
        {"1002", "pw", "此用户登录已被禁用，登录失败\r\n错误码：301"},
        {"1001", "wrong", "用户账号或密码错误，登录失败\r\n错误码：302"},
        {"1003", "pw", "登录失败！本用户所属代理商未配置服务器\r\n错误码：400"},
        {"1004", "pw", "登录失败！本用户无操作权限\r\n错误码：500"},
    };
    TvoServer server(Setup(suite_->Port()));
    TF_Login login(server);
    login.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.account);
        TMessageRecorder recorder;
        SignIn(login, c.account, c.password);
        const auto shown = recorder.Messages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, c.text);
        EXPECT_EQ(shown[0].icon, TMsgIcon::Error);
        EXPECT_TRUE(login.isVisible());
        EXPECT_FALSE(login.bLoginOK);
    }

    // No platform and no saved list.
    TvoServer offline(Setup(DeadPort(), false));
    TF_Login lost(offline);
    lost.show();
    TMessageRecorder recorder;
    SignIn(lost, "1001", "demo1001");
    const auto shown = recorder.Messages();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().text, "登录失败！请检查网络后再行尝试，或退出");
    EXPECT_EQ(shown.back().icon, TMsgIcon::Error);
    EXPECT_TRUE(lost.isVisible());
}

TEST_F(LoginTest, TypedThroughTheServerTheSignInGreetsWithTheChineseNames) {
    TvoServer server(Setup(suite_->Port()));
    TF_Login login(server);
    login.SetAccount(1001);
    InstallMessageBoxHandler();
    login.open();
    ASSERT_TRUE(WaitUntil([&] { return login.isVisible(); }));
    TXdo xdo;
    ASSERT_TRUE(xdo.Focus(&login));
    ASSERT_TRUE(WaitUntil([&] { return login.isActiveWindow(); }));
    EXPECT_EQ(QApplication::focusWidget(), login.PasswordEdit());

    // A person corrects the account, then tabs to the password and types it.
    ASSERT_TRUE(xdo.Click(login.AccountEdit()));
    ASSERT_TRUE(xdo.Key("ctrl+a"));
    ASSERT_TRUE(xdo.Type("1001"));
    ASSERT_TRUE(xdo.Key("Tab"));
    ASSERT_TRUE(xdo.Type("demo1001"));
    ASSERT_TRUE(WaitUntil([&] { return login.PasswordEdit()->text() == "demo1001"; }));
    EXPECT_EQ(login.AccountEdit()->text(), "1001");
    EXPECT_EQ(login.PasswordEdit()->displayText(), "########");
    EXPECT_FALSE(test::SaveScreenshot(&login, "sign-in").empty());

    QString greeting, caption;
    test::WhenModalShown("QMessageBox", [&](QWidget* box) {
        greeting = static_cast<QMessageBox*>(box)->text();
        caption = box->windowTitle();
        test::SaveScreen("sign-in-greeting");
        TXdo answer;
        answer.Focus(box);
        answer.Key("Return");
    });
    ASSERT_TRUE(xdo.Key("Return"));
    ASSERT_TRUE(WaitUntil([&] { return !login.isVisible(); }));
    SetMessageHandler({});
    SetEndProcessHandler({});

    EXPECT_EQ(greeting,
              QStringLiteral("您好：\n示范区教育局 王晓梅 ，\n欢迎您的到来，祝工作顺利！"));
    EXPECT_EQ(caption, "Tavrin");
    EXPECT_TRUE(login.bLoginOK);
    EXPECT_EQ(login.LoginUserID, 1001);
    EXPECT_EQ(login.result(), QDialog::Accepted);
    EXPECT_EQ(server.GetLoginState(), 1);
}

TEST_F(LoginTest, EscapeCancels) {
    TvoServer server(Setup(suite_->Port()));
    TF_Login login(server);
    login.open();
    TXdo xdo;
    ASSERT_TRUE(xdo.Focus(&login));
    ASSERT_TRUE(xdo.Key("Escape"));
    ASSERT_TRUE(WaitUntil([&] { return !login.isVisible(); }));
    EXPECT_FALSE(login.bLoginOK);
    EXPECT_EQ(login.result(), QDialog::Rejected);
}

TEST_F(LoginTest, ANewerVersionIsDownloadedOpenedAndTheProcessEnds) {
    // A slow platform, so the window has to keep running during the download.
    TPlatformSim slow(suite_->AccountsFile(),
                      {"--installer-size", std::to_string(kInstallerSize), "--delay", "0.3"});
    ASSERT_GT(slow.Port(), 0);
    TvoServer server(Setup(slow.Port()));
    TF_Login login(server);
    login.show();
    TMessageRecorder recorder;
    test::TShellOpenRecorder shell;

    int maximum = 0, peak = 0, ticksWhileUpdating = 0;
    QString status;
    bool buttonsDisabled = false;
    QObject::connect(login.ProgressBar(), &QProgressBar::valueChanged, [&](int v) {
        maximum = std::max(maximum, login.ProgressBar()->maximum());
        peak = std::max(peak, v);
        status = login.StatusLine()->text();
        buttonsDisabled = !login.LoginButton()->isEnabled() && !login.CancelButton()->isEnabled();
    });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (login.isVisible() && login.ProgressBar()->isVisible()) {
            ++ticksWhileUpdating;
        }
    });
    ticker.start(10);
    SignIn(login, "2001", "pw");
    ticker.stop();

    const std::string file = tmp_.File("setupVO.exe");
    EXPECT_EQ(status, QStringLiteral("正在更新版本，请稍候..."));
    EXPECT_TRUE(buttonsDisabled);
    EXPECT_EQ(maximum, kInstallerSize);
    EXPECT_EQ(peak, kInstallerSize);
    EXPECT_EQ(login.ProgressBar()->value(), 0);
    EXPECT_GT(ticksWhileUpdating, 0) << "the window did not run during the download";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(std::filesystem::file_size(file), uintmax_t(kInstallerSize));
    EXPECT_EQ(test::ReadFile(file).substr(0, 26), "setupVO stand-in installer");
    EXPECT_EQ(shell.Opened(), std::vector<std::string>{file});
    EXPECT_EQ(recorder.EndProcessCount(), 1);
    EXPECT_TRUE(recorder.Messages().empty());
    EXPECT_FALSE(login.bLoginOK);
    EXPECT_EQ(server.GetLoginState(), 0);
}

TEST_F(LoginTest, AFailedDownloadReportsAndStillSignsIn) {
    // The newer version's installer address points at a missing file.
    TempDir other;
    test::WriteFile(other.File("accounts.json"), Accounts("9.9.9.9"));
    const std::string missing =
        "https://127.0.0.1:" + std::to_string(suite_->Port()) + "/nothing/setupVO.exe";
    TPlatformSim newer(other.File("accounts.json"), {"--url", missing});
    ASSERT_GT(newer.Port(), 0);
    TvoServer server(Setup(newer.Port()));
    TF_Login login(server);
    login.show();
    TMessageRecorder recorder;
    test::TShellOpenRecorder shell;

    SignIn(login, "1001", "demo1001");
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "版本更新失败。");
    EXPECT_EQ(shown[0].icon, TMsgIcon::Error);
    EXPECT_TRUE(login.bLoginOK);
    EXPECT_EQ(login.LoginUserID, 1001);
    EXPECT_FALSE(login.isVisible());
    EXPECT_TRUE(shell.Opened().empty());
    EXPECT_EQ(recorder.EndProcessCount(), 0);
    EXPECT_EQ(server.GetLoginState(), 0);
}

TEST_F(LoginTest, OfflineTheSavedListSignsInWithItsNames) {
    {
        TvoServer online(Setup(suite_->Port()));
        TMessageRecorder quiet;
        ASSERT_EQ(online.Login(1001, "demo1001"), 200);
        ASSERT_TRUE(std::filesystem::exists(Cache()));
    }
    TvoServer server(Setup(DeadPort()));
    TF_Login login(server);
    login.show();
    TMessageRecorder recorder;
    recorder.QueueAnswer(TMsgAnswer::Yes); // use the saved list
    SignIn(login, "1001", "demo1001");
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].icon, TMsgIcon::Question);
    EXPECT_EQ(shown[1].text, "您好：\r\n示范区教育局 王晓梅 ，\r\n欢迎您的到来，祝工作顺利！");
    EXPECT_TRUE(login.bLoginOK);
    EXPECT_EQ(login.LoginUserID, 1001);
    EXPECT_EQ(server.GetLoginState(), 2);
}

TEST(InstallerPath, KeepsTheAddressesFileNameInsideTheTemporaryFolder) {
    TempDir tmp;
    ::setenv("TMPDIR", tmp.Path().c_str(), 1);
    EXPECT_EQ(InstallerPath("https://h:1/download/setupVO.exe"), tmp.File("setupVO.exe"));
    EXPECT_EQ(InstallerPath("https://h/a/tavrin-1.2.run?k=v"), tmp.File("tavrin-1.2.run"));
    EXPECT_EQ(InstallerPath("https://h/download/"), tmp.File("setupVO.exe"));
    // Whatever the address says, the file stays a plain name in the folder.
    for (const char* hostile : {"https://h/x/..%2F..%2Fetc%2Fpasswd", "https://h/%2E%2E",
                                "https://h/a/..", "https://h/a%5C..%5Cb"}) {
        const std::filesystem::path path = InstallerPath(hostile);
        EXPECT_EQ(path.parent_path(), tmp.Path()) << hostile;
        EXPECT_NE(path.filename(), "..") << hostile;
        EXPECT_EQ(path.filename().string().find('\\'), std::string::npos) << hostile;
    }
    ::unsetenv("TMPDIR");
}

} // namespace
} // namespace tavrin
