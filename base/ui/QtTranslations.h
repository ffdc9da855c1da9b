// Qt's own texts (file dialogs, standard buttons, context menus) in Chinese,
// like every other text of the console.
#pragma once

namespace tavrin {

// Loads Qt's Simplified Chinese translations from the system's Qt
// translation folder and installs them on the running application. False
// when they are not installed (the dialogs then stay in English).
bool InstallQtTranslations();

} // namespace tavrin
