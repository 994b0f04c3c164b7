#pragma once
// A main window whose serial backend is the in-memory fake.

#include <gtest/gtest.h>

#include <QComboBox>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/FakeSerialPort.h"
#include "support/TestSupport.h"

// Names from the probed device families, so that the picker lists them.
inline const char kModem[] = "/dev/ttyUSB0";
inline const char kOther[] = "/dev/ttyUSB1";

class FakePortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        modem = hub.Add(kModem);
        other = hub.Add(kOther);
        modem->settings.BaudRate = 115200;
        vexa::Set_Serial_Port_Factory(hub.Factory());
        app = std::make_unique<Application>();
    }
    void TearDown() override
    {
        app.reset();
        vexa::Set_Serial_Port_Factory(nullptr);
    }
    TForm1 &form() { return *app->form; }
    QStringList messages() { return app->catcher.messages(); }

    vexa::FakeSerialHub hub;
    std::shared_ptr<vexa::FakeLine> modem, other;
    std::unique_ptr<Application> app;
};
