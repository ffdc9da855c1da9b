#include "sources/ui/F_ChooseIP.h"

#include "base/Message.h"
#include "sources/ui/AddressCheck.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tavrin {

TF_ChooseIP::TF_ChooseIP(QWidget* parent) : QDialog(parent) {
    setObjectName("F_ChooseIP");
    setWindowTitle(QString::fromUtf8(kAppTitle.data(), qsizetype(kAppTitle.size())));
    setFixedSize(294, 104);

    Label1 = new QLabel(QStringLiteral("请输入设备IP地址："), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setText(QString::fromStdString(LocalAddressPrefix(ReadInterfaceAddresses())));
    Button1 = new QPushButton(QStringLiteral("连接"), this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName("Button2");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, [this] { ConnectClicked(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TF_ChooseIP::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The caret goes after the prefix: the operator types the last part
    // only. Focus arrives as if by Tab, which would select the prefix.
    Edit1->setFocus(Qt::OtherFocusReason);
    QTimer::singleShot(0, Edit1, [this] {
        Edit1->deselect();
        Edit1->end(false);
    });
}

void TF_ChooseIP::ConnectClicked() {
    // Blanks around a pasted address are not part of it.
    const std::string text = Edit1->text().trimmed().toStdString();
    if (!IsValidIPv4(text)) {
        ShowMessage("IP地址不合法，请重新输入", TMsgIcon::Information);
        return;
    }
    sIP = CanonicalIPv4(text);
    bIP = true;
    accept();
}

} // namespace tavrin
