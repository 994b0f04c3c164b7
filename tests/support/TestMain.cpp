#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/PortLock.h"

// Widget tests run without a display, and keep their ports' lock files to
// themselves.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QTemporaryDir locks;
    vexa::Set_Lock_Folders({locks.path().toStdString()});
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
