#include <QApplication>
#include <cstdio>
#include <memory>

#include "mainwindow/ZRMHyperTerminal.h"

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "vexa: no graphical display (DISPLAY is not set); start it on a desktop or under xvfb-run\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexa"));
    std::unique_ptr<TForm1> form(Create_Application_Forms());
    form->show();
    return app.exec();
}
