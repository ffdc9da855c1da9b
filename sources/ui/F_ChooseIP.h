// The direct-connection dialog: the operator types the address of a
// streaming app. Shown modally for one use; the answer is read back from
// bIP and sIP.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrin {

class TF_ChooseIP : public QDialog {
    Q_OBJECT

public:
    explicit TF_ChooseIP(QWidget* parent = nullptr);

    bool bIP = false; // an address was accepted
    std::string sIP;  // the accepted address, in plain decimal

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* Button1; // "连接"
    QPushButton* Button2; // "取消"

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ConnectClicked();
};

} // namespace tavrin
