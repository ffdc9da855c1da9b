// The file and folder pickers of the editor's dialogs, replaceable so that
// tests can answer them without a native dialog.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tavrin {

// An open-file picker: the file chosen, "" when cancelled. The filter is in
// Qt's form ("JPEG Image File (*.jpg *.jpeg)").
using TOpenFilePicker =
    std::function<QString(QWidget* parent, const QString& title, const QString& filter)>;
// A folder picker: the folder chosen, "" when cancelled.
using TFolderPicker = std::function<QString(QWidget* parent, const QString& title)>;

QString PickOpenFile(QWidget* parent, const QString& title, const QString& filter);
QString PickFolder(QWidget* parent, const QString& title);

// Install replacements; an empty function restores the Qt dialog. Each
// returns the previous picker.
TOpenFilePicker SetOpenFilePicker(TOpenFilePicker picker);
TFolderPicker SetFolderPicker(TFolderPicker picker);

// Registers sy.otf from the program's folder with the GUI once; the family
// it holds, "" when it cannot be read.
QString RegisterPlanFont();

} // namespace tavrin
