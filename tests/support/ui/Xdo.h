// Real input through the X server with xdotool: keys and clicks arrive as a
// person's would, through focus and the server's event delivery. Every call
// keeps the Qt event loop running while xdotool works.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

class QWidget;

namespace tavrin::test {

class TXdo {
public:
    // Gives the X keyboard focus to the widget's window.
    bool Focus(QWidget* widget);
    // Types text (ASCII) into the focused window.
    bool Type(const QString& text);
    // Presses keys by X keysym name, e.g. "Return", "Escape", "ctrl+a".
    bool Key(const QString& keys);
    // Moves the pointer to a global position, or to a widget's centre.
    bool MoveTo(QPoint global);
    bool MoveTo(QWidget* widget);
    bool MouseDown(int button = 1);
    bool MouseUp(int button = 1);
    // Moves to the widget's centre and clicks (twice for a double-click).
    bool Click(QWidget* widget, int button = 1, int repeat = 1);
    // The first X window whose title matches the regular expression, waiting
    // up to timeoutMs; 0 when none showed up.
    unsigned long WaitWindow(const QString& titleRegex, int timeoutMs = 10000);

    // Runs xdotool with args; true when it exited with 0.
    bool Run(const QStringList& args, QString* output = nullptr);
};

} // namespace tavrin::test
