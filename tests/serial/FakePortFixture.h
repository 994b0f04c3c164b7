#pragma once
// A main window whose serial backend is the in-memory fake.

#include <gtest/gtest.h>

#include <QComboBox>

#include "mainwindow/ZRMHyperTerminal.h"
#include "support/FakeSerialPort.h"
#include "support/DeviceTree.h"
#include "support/TestSupport.h"

// Two USB adapters in a test device tree; the fake lines carry the names the
// picker lists for them.
inline const DeviceTree &Fake_Devices()
{
    static DeviceTree tree;
    static const bool plugged = (tree.Plug("ttyUSB0", {"A0"}), tree.Plug("ttyUSB1", {"A1"}), true);
    (void)plugged;
    return tree;
}
inline const QString kModem = Fake_Devices().Node("ttyUSB0");
inline const QString kOther = Fake_Devices().Node("ttyUSB1");

class FakePortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        vexa::Set_Device_Roots(Fake_Devices().Roots());
        modem = hub.Add(kModem.toStdString());
        other = hub.Add(kOther.toStdString());
        modem->settings.BaudRate = 115200;
        vexa::Set_Serial_Port_Factory(hub.Factory());
        app = std::make_unique<Application>();
    }
    void TearDown() override
    {
        app.reset();
        vexa::Set_Serial_Port_Factory(nullptr);
        vexa::Set_Device_Roots({});
    }
    TForm1 &form() { return *app->form; }
    QStringList messages() { return app->catcher.messages(); }

    vexa::FakeSerialHub hub;
    std::shared_ptr<vexa::FakeLine> modem, other;
    std::unique_ptr<Application> app;
};
