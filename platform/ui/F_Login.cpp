#include "platform/ui/F_Login.h"

#include "base/Message.h"
#include "base/ui/ShellOpen.h"
#include "platform/HttpsClient.h"
#include "platform/ui/DecimalText.h"
#include "platform/voServer.h"

#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

namespace tavrin {

namespace {

constexpr int kInstallerReadTimeoutMs = 5000;

} // namespace

std::string InstallerPath(const std::string& url) {
    QString name = QUrl(QString::fromStdString(url)).fileName();
    // The name comes from outside: it must stay a plain name inside the folder.
    if (name.isEmpty() || name == "." || name == ".." || name.contains('/') ||
        name.contains('\\')) {
        name = QStringLiteral("setupVO.exe");
    }
    return QDir(QDir::tempPath()).filePath(name).toStdString();
}

TF_Login::TF_Login(TvoServer& server, QWidget* parent)
    : QDialog(parent), server_(server), account_(new QLineEdit(this)),
      password_(new QLineEdit(this)), status_(new QLabel(this)),
      login_(new QPushButton(QStringLiteral("登录"), this)),
      cancel_(new QPushButton(QStringLiteral("取消"), this)), bar_(new QProgressBar(this)) {
    setWindowTitle(QString::fromUtf8(kAppTitle.data(), int(kAppTitle.size())));
    password_->setEchoMode(QLineEdit::Password);
    login_->setDefault(true);
    login_->setAutoDefault(true);
    cancel_->setAutoDefault(false);
    bar_->setVisible(false);
    bar_->setTextVisible(false);
    bar_->setFixedHeight(12);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("用户名："), this), 0, 0, Qt::AlignRight);
    fields->addWidget(account_, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("密码："), this), 1, 0, Qt::AlignRight);
    fields->addWidget(password_, 1, 1);
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(12);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(login_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 10);
    layout->addLayout(fields);
    layout->addSpacing(6);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    layout->addSpacing(4);
    layout->addWidget(bar_);
    setFixedSize(360, 210);

    connect(login_, &QPushButton::clicked, this, &TF_Login::DoLogin);
    connect(cancel_, &QPushButton::clicked, this, &TF_Login::reject);
}

void TF_Login::SetAccount(int32_t userID) {
    account_->setText(userID == 0 ? QString() : QString::number(userID));
}

void TF_Login::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    password_->setFocus(Qt::OtherFocusReason);
}

void TF_Login::reject() {
    if (updating_) {
        return; // the download finishes or fails on its own
    }
    bLoginOK = false;
    QDialog::reject();
}

void TF_Login::closeEvent(QCloseEvent* event) {
    if (updating_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TF_Login::Accept(int32_t account) {
    bLoginOK = true;
    LoginUserID = account;
    accept();
}

void TF_Login::DoLogin() {
    int32_t account = 0;
    if (!ParseDecimal(account_->text().trimmed(), account)) {
        ShowMessage("请保证用户名是数字", TMsgIcon::Information);
        return;
    }
    const QString password = password_->text().trimmed();
    if (password.isEmpty()) {
        ShowMessage("请保证用户名与密码皆不为空", TMsgIcon::Information);
        return;
    }
    const int result = server_.Login(account, password.toStdString());
    const std::string code = std::to_string(result);
    switch (result) {
    case 200: {
        const TCommInfo& comm = server_.GetCommInfo();
        ShowMessage("您好：\r\n" + comm.areaName + " " + comm.voName + " ，" + "\r\n" +
                        "欢迎您的到来，祝工作顺利！",
                    TMsgIcon::Information);
        Accept(account);
        break;
    }
    case 301:
        ShowMessage("此用户登录已被禁用，登录失败\r\n错误码：" + code, TMsgIcon::Error);
        break;
    case 302:
        ShowMessage("用户账号或密码错误，登录失败\r\n错误码：" + code, TMsgIcon::Error);
        break;
    case 400:
        ShowMessage("登录失败！本用户所属代理商未配置服务器\r\n错误码：" + code, TMsgIcon::Error);
        break;
    case 500:
        ShowMessage("登录失败！本用户无操作权限\r\n错误码：" + code, TMsgIcon::Error);
        break;
    case -1:
        ShowMessage("登录失败！请检查网络后再行尝试，或退出", TMsgIcon::Error);
        break;
    case -2:
        RunUpdate(account);
        break;
    default:
        break; // any other answer leaves the dialog open
    }
}

void TF_Login::RunUpdate(int32_t account) {
    status_->setText(QStringLiteral("正在更新版本，请稍候..."));
    login_->setEnabled(false);
    cancel_->setEnabled(false);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setVisible(true);
    repaint();

    const std::string file = InstallerPath(server_.GetCommInfo().URL);
    updating_ = true;
    const int status = Download(server_.GetCommInfo().URL, file);
    updating_ = false;
    bar_->setValue(0);

    if (status != 200) {
        ShowMessage("版本更新失败。", TMsgIcon::Error);
        // The old console still works: go on signed in, without the greeting.
        Accept(account);
        return;
    }
    ShellOpen(file);
    EndProcess();
    // Only reached where EndProcess returns (tests): the dialog is done.
    QDialog::reject();
}

int TF_Login::Download(const std::string& url, const std::string& file) {
    THttpsSettings settings = server_.Setup().https;
    settings.nReadTimeoutMs = kInstallerReadTimeoutMs;
    std::atomic<int64_t> received{0};
    std::atomic<int64_t> total{0};
    std::atomic<bool> finished{false};
    int status = -1;
    // The transfer blocks, so it runs beside the GUI thread, which keeps the
    // window painted and shows the bytes as they come.
    std::thread worker([&] {
        THttpsClient client(settings);
        status = client.Download(url, file, [&](int64_t r, int64_t t) {
            received = r;
            total = t;
            return true;
        });
        finished = true;
    });
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        // The end is read before the counts: once the transfer is seen
        // finished, the counts read after it are its last ones, so the bar
        // shows the whole file before the window goes on.
        const bool done = finished.load();
        const int64_t announced = total.load();
        if (announced > 0) {
            bar_->setMaximum(int(std::min<int64_t>(announced, INT32_MAX)));
            bar_->setValue(int(std::min<int64_t>(received.load(), INT32_MAX)));
        }
        if (done) {
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    worker.join();
    return status;
}

} // namespace tavrin
