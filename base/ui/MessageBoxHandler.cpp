#include "base/ui/MessageBoxHandler.h"

#include "base/Message.h"
#include "base/Trace.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <unistd.h>

namespace tavrin {

namespace {

QMessageBox::Icon BoxIcon(TMsgIcon icon) {
    switch (icon) {
    case TMsgIcon::Information:
        return QMessageBox::Information;
    case TMsgIcon::Warning:
        return QMessageBox::Warning;
    case TMsgIcon::Error:
        return QMessageBox::Critical;
    case TMsgIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(TMsgButtons buttons) {
    switch (buttons) {
    case TMsgButtons::Ok:
        return QMessageBox::Ok;
    case TMsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case TMsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case TMsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case TMsgButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

TMsgAnswer Answer(int button, TMsgButtons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return TMsgAnswer::Ok;
    case QMessageBox::Cancel:
        return TMsgAnswer::Cancel;
    case QMessageBox::Yes:
        return TMsgAnswer::Yes;
    case QMessageBox::No:
        return TMsgAnswer::No;
    case QMessageBox::Retry:
        return TMsgAnswer::Retry;
    default:
        // Closed through the window frame.
        return CautiousAnswer(buttons);
    }
}

TMsgAnswer ShowBox(const std::string& text, TMsgIcon icon, TMsgButtons buttons) {
    QMessageBox box(BoxIcon(icon), QString::fromUtf8(kAppTitle.data(), int(kAppTitle.size())),
                    MessageBoxText(text), BoxButtons(buttons), QApplication::activeWindow());
    // The console speaks Chinese on every machine, whatever the locale.
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
        {QMessageBox::Ok, "确定"},
        {QMessageBox::Cancel, "取消"},
        {QMessageBox::Yes, "是"},
        {QMessageBox::No, "否"},
        {QMessageBox::Retry, "重试"}};
    for (const auto& [which, caption] : captions) {
        if (QAbstractButton* button = box.button(which)) {
            button->setText(QString::fromUtf8(caption));
        }
    }
    return Answer(box.exec(), buttons);
}

TMsgAnswer ShowOnGuiThread(const std::string& text, TMsgIcon icon, TMsgButtons buttons) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return CautiousAnswer(buttons);
    }
    if (QThread::currentThread() == app->thread()) {
        return ShowBox(text, icon, buttons);
    }
    TMsgAnswer answer = CautiousAnswer(buttons);
    QMetaObject::invokeMethod(
        app, [&] { return ShowBox(text, icon, buttons); }, Qt::BlockingQueuedConnection, &answer);
    return answer;
}

} // namespace

QString MessageBoxText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool pair = i + 1 < text.size() && ((c == '\n' && text[i + 1] == '\r') ||
                                                  (c == '\r' && text[i + 1] == '\n'));
        if (pair) {
            out += '\n';
            ++i;
        } else {
            out += c;
        }
    }
    return QString::fromStdString(out);
}

void ShowMessageAfterThisEvent(std::string text, TMsgIcon icon) {
    QTimer::singleShot(0, qApp, [text = std::move(text), icon] { ShowMessage(text, icon); });
}

void InstallMessageBoxHandler() {
    SetMessageHandler(ShowOnGuiThread);
    // The windowed console ends at once: windows vanish with the process, and
    // worker threads must not race the static destructors.
    SetEndProcessHandler([] {
        Trace("EndProcess");
        std::fflush(nullptr);
        ::_exit(0);
    });
}

} // namespace tavrin
