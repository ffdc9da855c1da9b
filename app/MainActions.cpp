#include "app/MainActions.h"

#include <QtCore/qnamespace.h>

namespace tavrin {

namespace {

using A = TMainAction;
using L = TToggleLook;

constexpr TActionEntry Button(TBar bar, int tag, A action, L look = L::None) {
    return {bar, action, tag, "", "", false, look};
}

constexpr TActionEntry Item(TBar bar, A action, const char* caption, bool separatorAfter = false,
                            const char* captionOff = "") {
    return {bar, action, 0, caption, captionOff, separatorAfter};
}

constexpr TActionEntry Key(TBar bar, int key, A action, int dx = 0, int dy = 0, int digit = 0) {
    TActionEntry e{bar, action};
    e.key = key;
    e.dx = dx;
    e.dy = dy;
    e.digit = digit;
    return e;
}

constexpr TBar C = TBar::Capture;
constexpr TBar R = TBar::Replay;
constexpr TBar M = TBar::Menu;
constexpr TBar CK = TBar::CaptureKeys;
constexpr TBar RK = TBar::ReplayKeys;
constexpr TBar CM = TBar::ChannelMenu;

constexpr TActionEntry kTable[] = {
    Button(C, 1, A::LayoutOne),
    Button(C, 2, A::LayoutTwo),
    Button(C, 3, A::LayoutThree),
    Button(C, 65, A::LayoutFour),
    Button(C, 4, A::Record, L::Running),
    Button(C, 6, A::Ptz, L::Latched),
    Button(C, 9, A::MonitorAudio, L::Running),
    Button(C, 54, A::ChannelDialog),
    Button(C, 55, A::Connect),
    Button(C, 52, A::Chooser),
    Button(C, 66, A::MainMenu),
    Button(R, 4, A::ReplayPause, L::Running),
    Button(R, 9, A::ReplayAudio, L::Running),
    Button(R, 20, A::DeleteMarkMode, L::Latched),
    Button(R, 21, A::SaveCuts),
    Button(R, 22, A::ClearMarks),
    Button(R, 23, A::MakeMp4),
    Button(R, 52, A::Chooser),
    Button(R, 66, A::MainMenu),
    Item(M, A::ActivityPlan, "活动方案"),
    Item(M, A::Settings, "系统设置", true),
    Item(M, A::OpenOutputFolder, "打开录像目录", true),
    Item(M, A::ShortcutHelp, "快捷操作指引", true),
    Item(M, A::VersionHelp, "版本更新说明", true),
    Item(M, A::About, "关于Tavrin录课"),
    Key(CK, Qt::Key_Escape, A::PreviousProgramme),
    Key(CK, Qt::Key_Space, A::RecentFullScreen),
    Key(CK, Qt::Key_G, A::RecentFullScreen),
    Key(CK, Qt::Key_F, A::RecentTwo),
    Key(CK, Qt::Key_D, A::LayoutThree),
    Key(CK, Qt::Key_S, A::LayoutFour),
    Key(CK, Qt::Key_A, A::FullNoCut),
    Key(CK, Qt::Key_P, A::Pause),
    Key(CK, Qt::Key_1, A::ErrorMark, 0, 0, 1),
    Key(CK, Qt::Key_2, A::ErrorMark, 0, 0, 2),
    Key(CK, Qt::Key_3, A::ErrorMark, 0, 0, 3),
    Key(CK, Qt::Key_4, A::ErrorMark, 0, 0, 4),
    Key(CK, Qt::Key_5, A::ErrorMark, 0, 0, 5),
    Key(CK, Qt::Key_Left, A::MoveCut, -1, 0),
    Key(CK, Qt::Key_Right, A::MoveCut, 1, 0),
    Key(CK, Qt::Key_Up, A::MoveCut, 0, -1),
    Key(CK, Qt::Key_Down, A::MoveCut, 0, 1),
    Key(CK, Qt::Key_M, A::MoveCut, 1, -1),
    Key(CK, Qt::Key_N, A::MoveCut, -1, 1),
    Key(CK, Qt::Key_Comma, A::MoveCut, -1, -1),
    Key(CK, Qt::Key_Period, A::MoveCut, 1, 1),
    Key(RK, Qt::Key_Escape, A::DeleteMarkMode),
    Key(RK, Qt::Key_Space, A::ReplayPause),
    Key(RK, Qt::Key_PageUp, A::PreviousPage),
    Key(RK, Qt::Key_Left, A::PreviousPage),
    Key(RK, Qt::Key_Up, A::PreviousPage),
    Key(RK, Qt::Key_PageDown, A::NextPage),
    Key(RK, Qt::Key_Right, A::NextPage),
    Key(RK, Qt::Key_Down, A::NextPage),
    // The channels' own items follow the first entry's separator.
    Item(CM, A::FullNoCut, "全画面不剪切", true),
    Item(CM, A::ClearChannel, "清除本通道连接信息"),
    Item(CM, A::NoReconnect, "取消本次断线自动重连      "),
    Item(CM, A::WideAngle, "开关超广角"),
    Item(CM, A::AutoFocus, "当前：自动定焦模式", false, "当前：手动定焦模式"),
    Item(CM, A::AudioChannel, "设为录音通道"),
    Item(CM, A::Mp4Position, "设置播放进度"),
};

} // namespace

std::span<const TActionEntry> MainActionTable() {
    return kTable;
}

const TActionEntry* EntryOf(TBar bar, TMainAction action) {
    for (const TActionEntry& e : kTable) {
        if (e.bar == bar && e.action == action) {
            return &e;
        }
    }
    return nullptr;
}

const TActionEntry* EntryOfKey(TBar keys, int key) {
    for (const TActionEntry& e : kTable) {
        if (e.bar == keys && e.key == key) {
            return &e;
        }
    }
    return nullptr;
}

int LayoutCount(TMainAction action) {
    switch (action) {
    case A::LayoutOne:
        return 1;
    case A::LayoutTwo:
        return 2;
    case A::LayoutThree:
        return 3;
    case A::LayoutFour:
        return 4;
    default:
        return 0;
    }
}

} // namespace tavrin
