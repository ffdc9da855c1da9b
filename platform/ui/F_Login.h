// The sign-in dialog: account and password, the platform's answer as a
// message, the greeting, and the installer download when the platform
// announces a newer console.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tavrin {

class TvoServer;

class TF_Login : public QDialog {
    Q_OBJECT
public:
    // The platform client lives as long as the process; the dialog signs in
    // through it.
    explicit TF_Login(TvoServer& server, QWidget* parent = nullptr);

    // Fills the account field with the stored account (0: empty).
    void SetAccount(int32_t userID);

    bool bLoginOK = false;
    int32_t LoginUserID = 0;

    QLineEdit* AccountEdit() const { return account_; }
    QLineEdit* PasswordEdit() const { return password_; }
    QPushButton* LoginButton() const { return login_; }
    QPushButton* CancelButton() const { return cancel_; }
    QProgressBar* ProgressBar() const { return bar_; }
    QLabel* StatusLine() const { return status_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void DoLogin();
    void Accept(int32_t account);
    void RunUpdate(int32_t account);
    // Downloads the installer while the window keeps running; the HTTP status or -1.
    int Download(const std::string& url, const std::string& file);

    TvoServer& server_;
    QLineEdit* account_;
    QLineEdit* password_;
    QLabel* status_;
    QPushButton* login_;
    QPushButton* cancel_;
    QProgressBar* bar_;
    bool updating_ = false;
};

// Where the installer at url is saved: the system's temporary folder and the
// last path segment of the address ("setupVO.exe" when it names no file).
std::string InstallerPath(const std::string& url);

} // namespace tavrin
