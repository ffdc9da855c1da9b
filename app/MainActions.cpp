#include "app/MainActions.h"

namespace tavrin {

namespace {

using A = TMainAction;

constexpr TActionEntry kTable[] = {
    {TBar::Capture, 1, A::LayoutOne, "", false},
    {TBar::Capture, 2, A::LayoutTwo, "", false},
    {TBar::Capture, 3, A::LayoutThree, "", false},
    {TBar::Capture, 65, A::LayoutFour, "", false},
    {TBar::Capture, 4, A::Record, "", false, TToggleLook::Running},
    {TBar::Capture, 6, A::Ptz, "", false, TToggleLook::Latched},
    {TBar::Capture, 9, A::MonitorAudio, "", false, TToggleLook::Running},
    {TBar::Capture, 54, A::ChannelDialog, "", false},
    {TBar::Capture, 55, A::Connect, "", false},
    {TBar::Capture, 52, A::Chooser, "", false},
    {TBar::Capture, 66, A::MainMenu, "", false},
    {TBar::Replay, 4, A::ReplayPause, "", false, TToggleLook::Running},
    {TBar::Replay, 9, A::ReplayAudio, "", false, TToggleLook::Running},
    {TBar::Replay, 20, A::DeleteMarkMode, "", false, TToggleLook::Latched},
    {TBar::Replay, 21, A::SaveCuts, "", false},
    {TBar::Replay, 22, A::ClearMarks, "", false},
    {TBar::Replay, 23, A::MakeMp4, "", false},
    {TBar::Replay, 52, A::Chooser, "", false},
    {TBar::Replay, 66, A::MainMenu, "", false},
    {TBar::Menu, 0, A::ActivityPlan, "活动方案", false},
    {TBar::Menu, 0, A::Settings, "系统设置", true},
    {TBar::Menu, 0, A::OpenOutputFolder, "打开录像目录", true},
    {TBar::Menu, 0, A::ShortcutHelp, "快捷操作指引", true},
    {TBar::Menu, 0, A::VersionHelp, "版本更新说明", true},
    {TBar::Menu, 0, A::About, "关于Tavrin录课", false},
};

} // namespace

std::span<const TActionEntry> MainActionTable() {
    return kTable;
}

TMainAction ActionOfButton(TBar bar, int tag) {
    for (const TActionEntry& e : kTable) {
        if (e.bar == bar && e.tag == tag) {
            return e.action;
        }
    }
    return A::None;
}

const TActionEntry* EntryOf(TBar bar, TMainAction action) {
    for (const TActionEntry& e : kTable) {
        if (e.bar == bar && e.action == action) {
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
