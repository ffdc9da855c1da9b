#include "base/ui/QtTranslations.h"

#include "base/Trace.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tavrin {

bool InstallQtTranslations() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return false;
    }
    // One translator per application: a second call finds it in place.
    if (app->findChild<QTranslator*>(QStringLiteral("QtTranslations")) != nullptr) {
        return true;
    }
    auto* translator = new QTranslator(app);
    translator->setObjectName(QStringLiteral("QtTranslations"));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder)) {
        Trace("Qt's Chinese translations not found in " + folder.toStdString());
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace tavrin
