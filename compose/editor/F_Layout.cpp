#include "compose/editor/F_Layout.h"

#include "base/Message.h"
#include "compose/editor/F_Name.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

namespace tavrin {

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kStyleRole = Qt::UserRole + 1;

QListWidgetItem* AddEntry(QListWidget* list, const QString& name, int32_t id, bool checkable,
                          bool checked) {
    auto* item = new QListWidgetItem(name, list);
    item->setData(kIdRole, id);
    if (checkable) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }
    return item;
}

void Select(QListWidget* list, int32_t id) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(kIdRole).toInt() == id) {
            list->setCurrentRow(i);
            return;
        }
    }
    if (list->count() > 0 && id == -2) {
        list->setCurrentRow(0);
    }
}

int32_t SelectedId(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item != nullptr && item->isSelected() ? item->data(kIdRole).toInt() : -1;
}

} // namespace

TF_Layout::TF_Layout(const TLayoutForm& form, QWidget* parent) : QDialog(parent), form_(form) {
    setWindowTitle(QStringLiteral("场景"));
    setObjectName("TF_Layout");
    auto* grid = new QGridLayout(this);
    edName = new QLineEdit(form.name, this);
    edName->setObjectName("edName");
    lvImage = new QListWidget(this);
    lvImage->setObjectName("lvImage");
    lvRect = new QListWidget(this);
    lvRect->setObjectName("lvRect");
    lvText = new QListWidget(this);
    lvText->setObjectName("lvText");
    lvStyle = new QListWidget(this);
    lvStyle->setObjectName("lvStyle");
    for (const auto& e : form.images) {
        AddEntry(lvImage, e.name, e.id, false, false);
    }
    Select(lvImage, form.image);
    for (const auto& e : form.rects) {
        AddEntry(lvRect, e.name, e.id, true, e.checked);
    }
    for (const auto& t : form.texts) {
        AddEntry(lvText, t.text, t.id, true, t.checked)->setData(kStyleRole, t.fontStyle);
    }
    for (const auto& e : form.styles) {
        AddEntry(lvStyle, e.name, e.id, false, false);
    }
    Select(lvStyle, form.style);

    auto* add = new QPushButton(QStringLiteral("加下去 V"), this);
    add->setObjectName("btnAddText");
    auto* rename = new QPushButton(QStringLiteral("当前文本改名..."), this);
    rename->setObjectName("btnRenameText");
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName("btnOK");
    ok->setDefault(true);

    grid->addWidget(new QLabel(QStringLiteral("名称："), this), 0, 0);
    grid->addWidget(edName, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("底图："), this), 1, 0);
    grid->addWidget(lvImage, 2, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("视频框："), this), 1, 2);
    grid->addWidget(lvRect, 2, 2, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("文本样式："), this), 3, 0);
    grid->addWidget(lvStyle, 4, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("文本："), this), 3, 2);
    grid->addWidget(lvText, 4, 2, 1, 2);
    auto* row = new QHBoxLayout;
    row->addWidget(add);
    row->addWidget(rename);
    row->addStretch();
    row->addWidget(ok);
    grid->addLayout(row, 5, 0, 1, 4);
    connect(add, &QPushButton::clicked, this, &TF_Layout::AddText);
    connect(rename, &QPushButton::clicked, this, &TF_Layout::RenameText);
    connect(ok, &QPushButton::clicked, this, &TF_Layout::Confirm);
    resize(620, 520);
}

void TF_Layout::AddText() {
    const QListWidgetItem* style = lvStyle->currentItem();
    if (style == nullptr) {
        return;
    }
    int32_t next = 1;
    for (int i = 0; i < lvText->count(); ++i) {
        next = std::max(next, lvText->item(i)->data(kIdRole).toInt() + 1);
    }
    AddEntry(lvText, style->text(), next, true, true)
        ->setData(kStyleRole, style->data(kIdRole).toInt());
}

void TF_Layout::RenameText() {
    QListWidgetItem* item = lvText->currentItem();
    if (item == nullptr) {
        return;
    }
    QString name = item->text();
    if (!TF_Name::Ask(this, name)) {
        return;
    }
    if (name.isEmpty()) {
        ShowMessage("需要输入文本名", TMsgIcon::Warning);
        return;
    }
    item->setText(name);
}

void TF_Layout::Confirm() {
    if (edName->text().trimmed().isEmpty()) {
        ShowMessage("需要输入场景名", TMsgIcon::Warning);
        return;
    }
    accept();
}

TLayoutForm TF_Layout::Result() const {
    TLayoutForm out = form_;
    out.name = edName->text().trimmed();
    out.image = SelectedId(lvImage);
    out.style = SelectedId(lvStyle);
    for (size_t i = 0; i < out.rects.size(); ++i) {
        out.rects[i].checked = lvRect->item(int(i))->checkState() == Qt::Checked;
    }
    out.texts.clear();
    for (int i = 0; i < lvText->count(); ++i) {
        const QListWidgetItem* item = lvText->item(i);
        out.texts.push_back({item->data(kIdRole).toInt(), item->data(kStyleRole).toInt(),
                             item->text(), item->checkState() == Qt::Checked});
    }
    return out;
}

} // namespace tavrin
