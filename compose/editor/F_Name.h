// The name dialog: one line of text. The caller decides what an empty name
// means.
#pragma once

#include <QDialog>

class QLineEdit;

namespace tavrin {

class TF_Name : public QDialog {
    Q_OBJECT
public:
    explicit TF_Name(const QString& name, QWidget* parent = nullptr);
    QString Name() const;

    // Shows the dialog; true and the name when confirmed.
    static bool Ask(QWidget* parent, QString& name);

private:
    QLineEdit* edName;
};

} // namespace tavrin
