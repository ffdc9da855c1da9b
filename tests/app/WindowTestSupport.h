// What the console's window tests share: a drive classifier that finds every
// folder on a roomy fixed drive, the output of an outside command, and the
// parts of the console window looked up as a person finds them: by what they
// are and where they sit in the widget tree.
#pragma once

#include "app/CaptureStatus.h"
#include "app/DispPanel.h"
#include "app/MainActions.h"
#include "app/PaneGeometry.h"
#include "base/StorageDrive.h"
#include "base/ui/FConfig.h"
#include "base/ui/ImageButton.h"
#include "compose/editor/F_EditProject.h"
#include "sources/ui/F_CHConfig.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QWidget>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tavrin::test {

class TRoomyDrives : public TDriveClassifier {
public:
    bool IsFixed(const std::string&) const override { return true; }
    bool SameDrive(const std::string&, const std::string&) const override { return false; }
    uint64_t FreeBytes(const std::string&) const override { return uint64_t(1) << 40; }
};

// Everything the command prints on its standard output.
inline std::string Output(const std::string& command) {
    std::string out;
    if (FILE* f = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
            out.append(buf, n);
        }
        ::pclose(f);
    }
    return out;
}

// A bar along the window's bottom edge.
inline QWidget* Bar(const QWidget* win, TBar bar) {
    return win->findChild<QWidget*>(bar == TBar::Capture ? "Panel_Capture" : "Panel_Replay");
}

// The button of a bar showing the picture of that tag; null when none.
inline TImageButton* BarButton(const QWidget* win, TBar bar, int tag) {
    const QWidget* panel = Bar(win, bar);
    return panel != nullptr ? panel->findChild<TImageButton*>(QString("Button_%1").arg(tag))
                            : nullptr;
}

// The tag of the bar button showing its pressed picture, -1 when none does.
inline int PressedButtonTag(const QWidget* win) {
    for (TImageButton* b : win->findChildren<TImageButton*>()) {
        if (b->isVisible() && (b->PictureState() == 3 || b->PictureState() == 6)) {
            return b->Tag();
        }
    }
    return -1;
}

// Capture mode's pane i (0 the programme); null when there is none.
inline TDispPanel* PaneOf(const QWidget* win, int i) {
    return win->findChild<TDispPanel*>(QString("DispPanel_%1").arg(i));
}

inline TDispPanel* ReplayPaneOf(const QWidget* win) {
    return win->findChild<TDispPanel*>("Panel_ReplayArea");
}

// The preview grid the capture panes sit on at the window's size.
inline TGridLayout GridOf(const QWidget* win) {
    int nChannels = 0;
    while (PaneOf(win, nChannels + 1) != nullptr) {
        ++nChannels;
    }
    TGridLayout grid;
    GridLayout(win->width(), win->height(), kBarHeight, nChannels, grid);
    return grid;
}

inline TPaneRect RulerOf(const QWidget* win) {
    return ReplayRulerRect(win->width(), win->height(), kBarHeight);
}

// The replay bar's audio offset box.
inline QComboBox* OffsetBoxOf(const QWidget* win) {
    return win->findChild<QComboBox*>("AudioOffset");
}

// The menu popped up now (the main menu, a channel or layout menu); null
// when none is open.
inline QMenu* OpenMenu() {
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

inline TF_CHConfig* ChannelDialogOf(const QWidget* win) {
    return win->findChild<TF_CHConfig*>();
}

inline TFConfig* SettingsDialogOf(const QWidget* win) {
    return win->findChild<TFConfig*>();
}

// The open plan editor; null when none is open.
inline TF_EditProject* PlanEditorOf(const QWidget* win) {
    return win->findChild<TF_EditProject*>();
}

// The texts and frames the status tick drew on the window.
inline TCaptureStatus& StatusOf(const QWidget* win) {
    return *win->findChild<TCaptureStatus*>();
}

} // namespace tavrin::test
