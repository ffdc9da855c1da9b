#include "base/ui/ShellOpen.h"

#include "base/Trace.h"

#include <QDesktopServices>
#include <QUrl>
#include <mutex>

namespace tavrin {

namespace {

std::mutex gShellLock;
ShellOpenHook gShellHook;

bool DesktopOpen(const std::string& pathOrUrl) {
    const QString text = QString::fromStdString(pathOrUrl);
    const QUrl url =
        pathOrUrl.find("://") != std::string::npos ? QUrl(text) : QUrl::fromLocalFile(text);
    const bool ok = QDesktopServices::openUrl(url);
    if (!ok) {
        Trace("shell open failed: " + pathOrUrl);
    }
    return ok;
}

} // namespace

bool ShellOpen(const std::string& pathOrUrl) {
    ShellOpenHook hook;
    {
        std::lock_guard<std::mutex> lock(gShellLock);
        hook = gShellHook;
    }
    return hook ? hook(pathOrUrl) : DesktopOpen(pathOrUrl);
}

ShellOpenHook SetShellOpenHook(ShellOpenHook hook) {
    std::lock_guard<std::mutex> lock(gShellLock);
    ShellOpenHook previous = std::move(gShellHook);
    gShellHook = std::move(hook);
    return previous;
}

} // namespace tavrin
