// Every operator command of the main window and the one table of where each
// is found: the bars' buttons, the main menu's items, the keys of capture and
// replay mode (with their parameters) and the channel menu's items. The
// window makes a QAction of each entry (TActionSet); a button, a menu item
// and a key of the same command cannot drift apart.
#pragma once

#include <span>

namespace tavrin {

enum class TMainAction {
    None,
    // Capture bar (the layouts also by key).
    LayoutOne,
    LayoutTwo,
    LayoutThree,
    LayoutFour,
    Record,
    Ptz,
    MonitorAudio,
    ChannelDialog,
    Connect,
    // Replay bar (pause and delete-mark mode also by key).
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
    // Capture keys.
    PreviousProgramme, // back to the programme before the last change
    RecentFullScreen,  // the most recently selected channel alone
    RecentTwo,         // the two most recently selected channels
    FullNoCut,         // the selected channel's whole picture (also channel menu)
    Pause,             // pause the selected channel
    ErrorMark,         // mark an error in the recording (digit)
    MoveCut,           // move the selected channel's cut area (dx, dy)
    // Replay keys.
    PreviousPage,
    NextPage,
    // Channel menu, on the channel whose menu it is.
    ClearChannel,
    NoReconnect,
    WideAngle,
    AutoFocus,
    AudioChannel,
    Mp4Position,
};

// Where an entry is found: a bar's button, the main menu, a key of a mode,
// the channel menu.
enum class TBar { Capture, Replay, Menu, CaptureKeys, ReplayKeys, ChannelMenu };

// How a toggle's button shows that it is on: lit as running, or held down.
enum class TToggleLook { None, Running, Latched };

struct TActionEntry {
    TBar bar;
    TMainAction action;
    int tag = 0;              // image button tag (buttons)
    const char* caption = ""; // menu item text (menus)
    // Menu item text while the command is off (channel menu toggles).
    const char* captionOff = "";
    bool separatorAfter = false; // menus
    TToggleLook look = TToggleLook::None;
    int key = 0; // Qt::Key value (keys)
    int dx = 0;  // MoveCut: the direction, in steps
    int dy = 0;
    int digit = 0; // ErrorMark
};

// The table: bars in button order, the main menu in its order, the keys,
// the channel menu in its order.
std::span<const TActionEntry> MainActionTable();

// The table's entry of an action on a bar, null when the bar has none.
const TActionEntry* EntryOf(TBar bar, TMainAction action);

// The entry of a key of a mode's keys (CaptureKeys, ReplayKeys), null when
// the key does nothing there.
const TActionEntry* EntryOfKey(TBar keys, int key);

// The video count of a layout action (1 ... 4), 0 for other actions.
int LayoutCount(TMainAction action);

} // namespace tavrin
