// The main window's menus and the commands of its main menu: the menu the
// bar's button opens, the window's other menus (one open at a time), the
// settings dialog, the recordings folder, the help files and the about box.
#pragma once

#include "app/MainActions.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

class QMenu;
class QWidget;

namespace tavrin {

class TActionSet;
class TDriveClassifier;
class TFConfig;
class TGetLessionInfo;
struct INIAnotherSet;

class TMainMenu : public QObject {
    Q_OBJECT
public:
    // The main menu shows the actions' items; clickOpensModal tells the bar
    // that its click opened a modal window or menu.
    TMainMenu(QWidget& window, const TDriveClassifier& drives, const TActionSet& actions,
              std::function<void()> clickOpensModal);

    // Carries out the main menu's own commands (and opens the menu) on
    // the settings kept in iniPath; false for any other action.
    bool Do(TMainAction action, INIAnotherSet& set, const std::string& iniPath,
            const TGetLessionInfo& paths);

    // A new menu of the window, replacing one still open; it goes when it
    // closes.
    QMenu& NewMenu(const char* name);

private:
    // The main menu at the pointer.
    void ShowMainMenu();
    // The settings dialog on set; when confirmed, set changes, the
    // process's counts apply and the file is written.
    void EditSettings(INIAnotherSet& set, const std::string& iniPath);
    // The recordings folder (made first when missing) in the file manager.
    static void OpenOutputFolder(const TGetLessionInfo& paths);

    QWidget& window;
    const TActionSet& actions;
    std::function<void()> clickOpensModal;
    TFConfig* settings = nullptr; // the settings dialog, hidden until asked for
    QPointer<QMenu> openMenu;
};

} // namespace tavrin
