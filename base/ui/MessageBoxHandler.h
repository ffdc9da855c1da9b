// Message boxes and the process end of the windowed console, behind the
// ShowMessage and EndProcess functions of base/Message.h.
#pragma once

#include <QString>
#include <string>

namespace tavrin {

// Routes ShowMessage to a modal QMessageBox (caption "Tavrin") and EndProcess
// to an immediate, quiet end of the windowed process. Messages from other
// threads are shown on the GUI thread while the caller waits.
void InstallMessageBoxHandler();

// The text as the box shows it: "\n\r" and "\r\n" each become one line break;
// nothing else changes.
QString MessageBoxText(const std::string& text);

} // namespace tavrin
