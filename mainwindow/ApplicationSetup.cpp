#include "mainwindow/ApplicationSetup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool Set_Up_Application(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Vexa"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopEntry));
    // The window speaks Russian whatever the desktop's language, and so do
    // Qt's dialogs: the translation is chosen by name, not by the locale.
    auto *translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
