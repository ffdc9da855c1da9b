// tavrin: the console. One per machine; the window signs the operator in,
// asks for a lesson and then records or replays it.
#include "app/FMain.h"
#include "app/ProduceMp4.h"
#include "av/AvLog.h"
#include "base/ProgramDir.h"
#include "base/SingleInstance.h"
#include "base/ui/CarbonStyle.h"
#include "base/ui/MessageBoxHandler.h"
#include "base/ui/QtTranslations.h"
#include "base/ui/WindowPlacement.h"
#include "platform/ui/F_ChooseLession.h"
#include "platform/ui/F_Login.h"
#include "platform/voServer.h"
#include "replay/ReplayClientThread.h"

#include <QApplication>
#include <memory>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace tavrin;
    // A second console ends here, before any window, without a word.
    TSingleInstance instance;
    if (!instance.Acquire()) {
        return 0;
    }
    // Filter descriptions name sy.otf relative to the program's folder.
    if (::chdir(ProgramDir().c_str()) != 0) {
        // Not fatal: the filters also find the font by its full path.
    }

    // The encoders' own statistics go to the trace, not the terminal.
    InstallAvLogToTrace();
    QApplication app(argc, argv);
    ApplyCarbonStyle(app);
    InstallQtTranslations();
    InstallWindowPlacement();
    InstallMessageBoxHandler();

    TvoServer server;
    server.Initialize();
    TFMain* window = nullptr;
    std::unique_ptr<TF_ChooseLession> chooser;

    TMainHooks hooks;
    hooks.SignIn = [&server](int32_t& userID) {
        TF_Login login(server);
        login.SetAccount(userID);
        login.exec();
        if (!login.bLoginOK) {
            return false;
        }
        userID = login.LoginUserID;
        return true;
    };
    hooks.ChooseLession = [&](int32_t current, Tvo_FromServer& chosen) {
        if (!chooser) {
            chooser = std::make_unique<TF_ChooseLession>(server, *window->Paths(), window);
        }
        chooser->initialize(current);
        chooser->exec();
        if (chooser->nCurrentMode == 0 || chooser->CurrentPvo == nullptr) {
            return 0;
        }
        chosen = *chooser->CurrentPvo;
        return int(chooser->nCurrentMode);
    };
    hooks.ProduceMp4 = [&](TReplayClientThread& worker, const Tvo_FromServer& lesson, int offset) {
        TLessionInfo info = lesson.LI;
        ProduceMp4(window, worker, *window->Paths(), server, info, offset,
                   [&] { return window->CurrentWorkMode() == kModeReplay; });
    };

    TFMain main(hooks);
    window = &main;
    if (!main.Started()) {
        return 0;
    }
    main.show();
    const int result = app.exec();
    chooser.reset();
    return result;
}
