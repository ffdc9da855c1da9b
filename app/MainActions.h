// Every operator command of the main window, and the one table that maps the
// bars' buttons and the main menu's items to them. Keys map to the same
// actions, so a button and its key cannot drift apart.
#pragma once

#include <span>

namespace tavrin {

enum class TMainAction {
    None,
    // Capture bar.
    LayoutOne,
    LayoutTwo,
    LayoutThree,
    LayoutFour,
    Record,
    Ptz,
    MonitorAudio,
    ChannelDialog,
    Connect,
    // Replay bar.
    ReplayPause,
    ReplayAudio,
    DeleteMarkMode,
    SaveCuts,
    ClearMarks,
    MakeMp4,
    // Both bars.
    Chooser,
    MainMenu,
    // Main menu.
    ActivityPlan,
    Settings,
    OpenOutputFolder,
    ShortcutHelp,
    VersionHelp,
    About,
};

enum class TBar { Capture, Replay, Menu };

// How a toggle's button shows that it is on: lit as running, or held down.
enum class TToggleLook { None, Running, Latched };

struct TActionEntry {
    TBar bar;
    int tag; // image button tag; 0 for menu items
    TMainAction action;
    const char* caption; // menu caption; empty for buttons
    bool separatorAfter; // menu only
    TToggleLook look = TToggleLook::None;
};

// The table, bars in button order, then the main menu in its order.
std::span<const TActionEntry> MainActionTable();

// The action of a bar's button, None when the bar has no such button.
TMainAction ActionOfButton(TBar bar, int tag);

// The table's entry of an action on a bar, null when the bar has none.
const TActionEntry* EntryOf(TBar bar, TMainAction action);

// The video count of a layout action (1 ... 4), 0 for other actions.
int LayoutCount(TMainAction action);

} // namespace tavrin
