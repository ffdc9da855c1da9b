#include "app/MainMenu.h"

#include "app/AboutBox.h"
#include "app/ActionSet.h"
#include "base/GetLessionInfo.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "base/ui/FConfig.h"
#include "base/ui/ShellOpen.h"

#include <QCursor>
#include <QMenu>
#include <filesystem>

namespace tavrin {

TMainMenu::TMainMenu(QWidget& w, const TDriveClassifier& drives, const TActionSet& a,
                     std::function<void()> c)
    : QObject(&w), window(w), actions(a), clickOpensModal(std::move(c)) {
    settings = new TFConfig(drives, &window);
    settings->hide();
}

bool TMainMenu::Do(TMainAction action, INIAnotherSet& set, const std::string& iniPath,
                   const TGetLessionInfo& paths) {
    switch (action) {
    case TMainAction::MainMenu:
        ShowMainMenu();
        return true;
    case TMainAction::Settings:
        EditSettings(set, iniPath);
        return true;
    case TMainAction::OpenOutputFolder:
        OpenOutputFolder(paths);
        return true;
    case TMainAction::ShortcutHelp:
        ShellOpen(ProgramFile("ShortcutKey .txt"));
        return true;
    case TMainAction::VersionHelp:
        ShellOpen(ProgramFile("version.txt"));
        return true;
    case TMainAction::About: {
        TAboutBox box(&window);
        box.exec();
        return true;
    }
    default:
        return false;
    }
}

QMenu& TMainMenu::NewMenu(const char* name) {
    // Menus pop up without a nested event loop and go when they close; the
    // next one replaces one still open.
    if (openMenu != nullptr) {
        openMenu->close();
    }
    auto* menu = new QMenu(&window);
    menu->setObjectName(name);
    openMenu = menu;
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    return *menu;
}

void TMainMenu::ShowMainMenu() {
    clickOpensModal();
    QMenu& menu = NewMenu("MainMenu");
    for (const TActionEntry& e : MainActionTable()) {
        if (e.bar != TBar::Menu) {
            continue;
        }
        menu.addAction(actions.Of(e));
        if (e.separatorAfter) {
            menu.addSeparator();
        }
    }
    menu.popup(QCursor::pos());
}

void TMainMenu::EditSettings(INIAnotherSet& set, const std::string& iniPath) {
    settings->initialize(set);
    settings->exec();
    if (!settings->bLoginOK) {
        return;
    }
    settings->GetPAnother(set);
    SetProcessCounts(ClientCount(), set.nDecoderThreadCount);
    SaveSettings(iniPath, set);
}

void TMainMenu::OpenOutputFolder(const TGetLessionInfo& paths) {
    std::string dir;
    paths.Get_OutputDir(0, dir);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    ShellOpen(dir);
}

} // namespace tavrin
