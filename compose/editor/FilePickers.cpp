#include "compose/editor/FilePickers.h"

#include "base/ProgramDir.h"

#include <QFileDialog>
#include <QFontDatabase>

namespace tavrin {

namespace {

TOpenFilePicker& OpenPicker() {
    static TOpenFilePicker picker;
    return picker;
}

TFolderPicker& FolderPickerHook() {
    static TFolderPicker picker;
    return picker;
}

} // namespace

QString PickOpenFile(QWidget* parent, const QString& title, const QString& filter) {
    if (OpenPicker()) {
        return OpenPicker()(parent, title, filter);
    }
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString PickFolder(QWidget* parent, const QString& title) {
    if (FolderPickerHook()) {
        return FolderPickerHook()(parent, title);
    }
    return QFileDialog::getExistingDirectory(parent, title);
}

TOpenFilePicker SetOpenFilePicker(TOpenFilePicker picker) {
    return std::exchange(OpenPicker(), std::move(picker));
}

TFolderPicker SetFolderPicker(TFolderPicker picker) {
    return std::exchange(FolderPickerHook(), std::move(picker));
}

QString RegisterPlanFont() {
    static const QString family = [] {
        const int id =
            QFontDatabase::addApplicationFont(QString::fromStdString(ProgramFile("sy.otf")));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QString() : families.front();
    }();
    return family;
}

} // namespace tavrin
