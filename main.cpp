#include <QApplication>
#include <cstdio>
#include <memory>

#include "mainwindow/ApplicationSetup.h"
#include "mainwindow/ZRMHyperTerminal.h"

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "vexa: no graphical display (DISPLAY is not set); start it on a desktop or under xvfb-run\n");
        return 2;
    }
    QApplication app(argc, argv);
    if (!Set_Up_Application(app))
        std::fprintf(stderr,
                     "vexa: Qt's Russian translation (qtbase_ru.qm, package qt6-translations-l10n) is "
                     "missing; Qt's dialogs stay in English\n");
    std::unique_ptr<TForm1> form(Create_Application_Forms());
    form->show();
    return app.exec();
}
