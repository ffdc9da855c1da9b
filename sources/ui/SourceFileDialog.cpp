#include "sources/ui/SourceFileDialog.h"

#include <QFileDialog>
#include <QStringList>

namespace tavrin {

QString QtNameFilter(const std::string& filter) {
    const QString text = QString::fromStdString(filter);
    const qsizetype bar = text.indexOf('|');
    QString description = bar < 0 ? text : text.left(bar);
    const QString patterns = bar < 0 ? QString() : text.mid(bar + 1);
    const QString list = patterns.split(';', Qt::SkipEmptyParts).join(' ');
    const qsizetype open = description.lastIndexOf('(');
    if (open >= 0 && description.endsWith(')')) {
        description = description.left(open).trimmed();
    }
    return list.isEmpty() ? description : description + " (" + list + ")";
}

QString ChooseSourceFile(QWidget* parent, const TFileChoice& choice) {
    QFileDialog dialog(parent, QString::fromUtf8(choice.title));
    dialog.setObjectName(QString::fromLatin1(choice.name));
    // Qt's own dialog, so it wears the console's style like every other window.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QtNameFilter(choice.filter));
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

} // namespace tavrin
