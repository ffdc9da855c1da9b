#include "compose/editor/F_NewProject.h"

#include "base/Message.h"
#include "compose/editor/FilePickers.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrin {

TF_NewProject::TF_NewProject(const QString& inUseName, const QString& inUseFile, QWidget* parent)
    : QDialog(parent), inUseName_(inUseName), inUseFile_(inUseFile) {
    setWindowTitle(QStringLiteral("活动方案"));
    setObjectName("TF_NewProject");
    auto* top = new QVBoxLayout(this);

    auto* newBox = new QGroupBox(QStringLiteral("新建活动方案"), this);
    auto* newLayout = new QVBoxLayout(newBox);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("输入活动名称："), newBox));
    edName = new QLineEdit(QStringLiteral("未命名"), newBox);
    edName->setObjectName("edName");
    nameRow->addWidget(edName);
    newLayout->addLayout(nameRow);
    auto* dirRow = new QHBoxLayout;
    auto* pickDir = new QPushButton(QStringLiteral("工作路径..."), newBox);
    pickDir->setObjectName("btnDir");
    lbDir = new QLabel(newBox);
    lbDir->setObjectName("lbDir");
    dirRow->addWidget(pickDir);
    dirRow->addWidget(lbDir, 1);
    newLayout->addLayout(dirRow);
    auto* ok = new QPushButton(QStringLiteral("确定"), newBox);
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    newLayout->addWidget(ok, 0, Qt::AlignRight);
    top->addWidget(newBox);

    auto* openFile = new QPushButton(QStringLiteral("打开已有活动方案文件"), this);
    openFile->setObjectName("btnOpenFile");
    top->addWidget(openFile);

    auto* inUseRow = new QHBoxLayout;
    auto* lbInUse = new QLabel(QStringLiteral("当前正在使用：") +
                                   (inUseFile.isEmpty() ? QStringLiteral("无") : inUseName),
                               this);
    lbInUse->setObjectName("lbInUse");
    auto* openInUse = new QPushButton(QStringLiteral("打开"), this);
    openInUse->setObjectName("btnOpenInUse");
    openInUse->setEnabled(!inUseFile.isEmpty());
    inUseRow->addWidget(lbInUse, 1);
    inUseRow->addWidget(openInUse);
    top->addLayout(inUseRow);

    connect(pickDir, &QPushButton::clicked, this, &TF_NewProject::ChooseFolder);
    connect(ok, &QPushButton::clicked, this, &TF_NewProject::ConfirmNew);
    connect(openFile, &QPushButton::clicked, this, &TF_NewProject::OpenFile);
    connect(openInUse, &QPushButton::clicked, this, &TF_NewProject::OpenInUse);
    setMinimumWidth(460);
}

void TF_NewProject::ChooseFolder() {
    const QString chosen = PickFolder(this, QStringLiteral("请选择活动保存的路径"));
    if (!chosen.isEmpty()) {
        dir = chosen;
        lbDir->setText(chosen);
    }
}

void TF_NewProject::ConfirmNew() {
    if (dir.isEmpty()) {
        ShowMessage("需要选择活动方案工作路径", TMsgIcon::Warning);
        return;
    }
    projectname = edName->text().trimmed();
    filename = dir + "/" + projectname + ".kvx";
    nMode = kPlanNew;
    bOK = true;
    accept();
}

void TF_NewProject::OpenFile() {
    const QString file = PickOpenFile(this, QString(), QStringLiteral("kvx (*.kvx)"));
    if (file.isEmpty()) {
        return;
    }
    filename = file;
    dir = QFileInfo(file).absolutePath();
    nMode = kPlanOpen;
    bOK = true;
    accept();
}

void TF_NewProject::OpenInUse() {
    filename = inUseFile_;
    projectname = inUseName_;
    dir = QFileInfo(inUseFile_).absolutePath();
    nMode = kPlanOpen;
    bOK = true;
    accept();
}

} // namespace tavrin
