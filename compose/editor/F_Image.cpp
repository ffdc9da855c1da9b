#include "compose/editor/F_Image.h"

#include "compose/JpegPicture.h"
#include "compose/LayoutRecords.h"
#include "compose/editor/FilePickers.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tavrin {

TF_Image::TF_Image(const QString& name, const QString& filename, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("底图"));
    setObjectName("TF_Image");
    auto* grid = new QGridLayout(this);
    edName = new QLineEdit(name, this);
    edName->setObjectName("edName");
    edFile = new QLineEdit(filename, this);
    edFile->setObjectName("edFile");
    edFile->setReadOnly(true);
    auto* pick = new QPushButton(QStringLiteral("选择..."), this);
    pick->setObjectName("btnPick");
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    grid->addWidget(new QLabel(QStringLiteral("名称："), this), 0, 0);
    grid->addWidget(edName, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("文件名："), this), 1, 0);
    grid->addWidget(edFile, 1, 1);
    grid->addWidget(pick, 1, 2);
    grid->addWidget(ok, 2, 2);
    connect(pick, &QPushButton::clicked, this, &TF_Image::PickFile);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(480);
}

void TF_Image::PickFile() {
    const QString file = PickOpenFile(this, QStringLiteral("选择图片作为视频源"),
                                      QStringLiteral("JPEG Image File (*.jpg *.jpeg)"));
    // Only a picture of the canvas size can be a background.
    if (!file.isEmpty() && CheckCardImage(kPlanWidth, kPlanHeight, file.toStdString())) {
        edFile->setText(file);
    }
}

QString TF_Image::Name() const {
    return edName->text().trimmed();
}

QString TF_Image::FileName() const {
    return edFile->text();
}

} // namespace tavrin
