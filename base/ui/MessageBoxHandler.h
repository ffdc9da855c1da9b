// Message boxes and the process end of the windowed console, behind the
// ShowMessage and EndProcess functions of base/Message.h.
#pragma once

#include "base/Message.h"

#include <QString>
#include <string>

namespace tavrin {

// Routes ShowMessage to a modal QMessageBox (caption "Tavrin") and EndProcess
// to an immediate, quiet end of the windowed process. Messages from other
// threads are shown on the GUI thread while the caller waits.
void InstallMessageBoxHandler();

// Shows a message once the current event is handled. A modal box runs its own
// event loop, and Qt does not fire a timer again while that timer's slot is
// still running: a periodic tick that showed its messages itself would stand
// still (its limits unchecked, its channels not reconnected) until someone
// answered the box. The answer is not waited for.
void ShowMessageAfterThisEvent(std::string text, TMsgIcon icon);

// The text as the box shows it: "\n\r" and "\r\n" each become one line break;
// nothing else changes.
QString MessageBoxText(const std::string& text);

} // namespace tavrin
