// The background-image dialog: a name and a 1920 x 1080 JPEG.
#pragma once

#include <QDialog>

class QLineEdit;

namespace tavrin {

class TF_Image : public QDialog {
    Q_OBJECT
public:
    TF_Image(const QString& name, const QString& filename, QWidget* parent = nullptr);
    QString Name() const;
    QString FileName() const;

private:
    void PickFile();

    QLineEdit* edName;
    QLineEdit* edFile;
};

} // namespace tavrin
