#include "compose/editor/F_Name.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace tavrin {

TF_Name::TF_Name(const QString& name, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("组件名称"));
    setObjectName("TF_Name");
    auto* form = new QFormLayout(this);
    edName = new QLineEdit(name, this);
    edName->setObjectName("edName");
    edName->selectAll();
    form->addRow(QStringLiteral("名称："), edName);
    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    form->addRow(ok);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setMinimumWidth(320);
}

QString TF_Name::Name() const {
    return edName->text().trimmed();
}

bool TF_Name::Ask(QWidget* parent, QString& name) {
    TF_Name dialog(name, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    name = dialog.Name();
    return true;
}

} // namespace tavrin
