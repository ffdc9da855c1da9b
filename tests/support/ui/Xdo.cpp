#include "tests/support/ui/Xdo.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>
#include <QtTest/QTest>

namespace tavrin::test {

bool TXdo::Run(const QStringList& args, QString* output) {
    QProcess xdo;
    xdo.start(QStringLiteral("xdotool"), args);
    if (!xdo.waitForStarted(5000)) {
        return false;
    }
    // Our own windows must keep answering the server while xdotool works.
    QElapsedTimer clock;
    clock.start();
    while (xdo.state() != QProcess::NotRunning && clock.elapsed() < 20000) {
        QTest::qWait(5);
        xdo.waitForFinished(5);
    }
    if (xdo.state() != QProcess::NotRunning) {
        xdo.kill();
        xdo.waitForFinished(1000);
        return false;
    }
    if (output != nullptr) {
        *output = QString::fromUtf8(xdo.readAllStandardOutput());
    }
    // Let the events xdotool caused reach the widgets.
    QTest::qWait(30);
    return xdo.exitStatus() == QProcess::NormalExit && xdo.exitCode() == 0;
}

bool TXdo::Focus(QWidget* widget) {
    QWidget* window = widget->window();
    window->raise();
    return Run({"windowfocus", "--sync", QString::number(window->winId())});
}

bool TXdo::Type(const QString& text) {
    return Run({"type", "--delay", "20", "--", text});
}

bool TXdo::Key(const QString& keys) {
    return Run({"key", "--", keys});
}

bool TXdo::MoveTo(QPoint global) {
    // "--sync" waits for the pointer to move, which never happens when it is
    // already there: xdotool would then sit out its own long time-out.
    QString location;
    if (Run({"getmouselocation", "--shell"}, &location) &&
        location.contains(QStringLiteral("X=%1\n").arg(global.x())) &&
        location.contains(QStringLiteral("Y=%1\n").arg(global.y()))) {
        return true;
    }
    return Run({"mousemove", "--sync", QString::number(global.x()), QString::number(global.y())});
}

bool TXdo::MoveTo(QWidget* widget) {
    return MoveTo(widget->mapToGlobal(widget->rect().center()));
}

bool TXdo::MouseDown(int button) {
    return Run({"mousedown", QString::number(button)});
}

bool TXdo::MouseUp(int button) {
    return Run({"mouseup", QString::number(button)});
}

bool TXdo::Click(QWidget* widget, int button, int repeat) {
    return MoveTo(widget) && Run({"click", "--repeat", QString::number(repeat), "--delay", "60",
                                  QString::number(button)});
}

unsigned long TXdo::WaitWindow(const QString& titleRegex, int timeoutMs) {
    // xdotool's own name search misses titles set as UTF-8 only (Qt's), so
    // the visible windows are listed and their names read one by one.
    const QRegularExpression pattern(titleRegex);
    QElapsedTimer clock;
    clock.start();
    do {
        QString ids;
        Run({"search", "--onlyvisible", "--class", ""}, &ids);
        for (const QString& id : ids.split('\n', Qt::SkipEmptyParts)) {
            QString name;
            if (Run({"getwindowname", id.trimmed()}, &name) &&
                pattern.match(name.chopped(name.endsWith('\n') ? 1 : 0)).hasMatch()) {
                return id.trimmed().toULong();
            }
        }
        QTest::qWait(50);
    } while (clock.elapsed() < timeoutMs);
    return 0;
}

} // namespace tavrin::test
