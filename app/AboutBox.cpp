#include "app/AboutBox.h"

#include "base/Message.h"
#include "base/ProgramDir.h"
#include "base/ui/ImageButton.h"
#include "base/ui/ShellOpen.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace tavrin {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle(QString::fromUtf8(kAppTitle.data(), int(kAppTitle.size())));
    auto* column = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(TImageButton::Picture(4, 4));
    picture->setAlignment(Qt::AlignCenter);
    column->addWidget(picture);
    auto* name = new QLabel("Tavrin 录课导播台", this);
    name->setAlignment(Qt::AlignCenter);
    column->addWidget(name);
    auto* site = new QLabel(QString("<a href=\"%1\">%1</a>").arg(kMakerSite), this);
    site->setObjectName("MakerSite");
    site->setAlignment(Qt::AlignCenter);
    site->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(site, &QLabel::linkActivated, this,
            [](const QString& link) { ShellOpen(link.toStdString()); });
    column->addWidget(site);
    auto* version = new QLabel(QString("当前版本: ") + ProgramVersion(), this);
    version->setObjectName("Version");
    version->setAlignment(Qt::AlignCenter);
    column->addWidget(version);
    setMinimumWidth(360);
}

void TAboutBox::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyReleaseEvent(event);
}

} // namespace tavrin
