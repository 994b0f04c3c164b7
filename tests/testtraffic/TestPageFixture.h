#pragma once
// The main window on the fake port, with a modem that can hold DCD and CTS,
// writes that take time, and the test page shown.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "mainwindow/PageControl.h"
#include "serial/FakePortFixture.h"
#include "testtraffic/PacedPort.h"
#include "testtraffic/TestTraffic.h"

class TestPageTest : public FakePortTest {
protected:
    void SetUp() override
    {
        FakePortTest::SetUp();
        vexa::Set_Serial_Port_Factory([this, inner = hub.Factory()] {
            return std::make_shared<PacedPort>(inner(), perPiece, pieceSize, failWrites);
        });
    }
    // How the ports opened from now on take writes.
    std::chrono::microseconds perPiece{1000};
    std::uint32_t pieceSize = 256;
    std::shared_ptr<std::atomic<bool>> failWrites = std::make_shared<std::atomic<bool>>(false);

    // Flow control on, CTS and DCD on, the test page shown, nothing written yet.
    void Ready()
    {
        app->Pick_Port(kModem);
        ASSERT_TRUE(form().Serial->PortHeld);
        Signals(vexa::kMsCtsOn | vexa::kMsRlsdOn);
        form().PageControl1->setCurrentIndex(3);
        if (!form().CheckBox1->isChecked())
            form().CheckBox1->click();
        ASSERT_TRUE(form().Traffic->Flow_Control);
        Take_Written();
    }
    // The modem's lines as the next poll finds them; the poll runs at once.
    void Signals(std::uint32_t status)
    {
        {
            std::lock_guard<std::mutex> lock(modem->mutex);
            modem->modemStatus = status;
        }
        form().Timer1Timer();
    }
    std::vector<std::uint8_t> Take_Written()
    {
        std::lock_guard<std::mutex> lock(modem->mutex);
        return std::exchange(modem->written, {});
    }
    std::size_t Sent()
    {
        std::lock_guard<std::mutex> lock(modem->mutex);
        return modem->written.size();
    }
    // Nothing more reaches the modem for a while.
    bool Quiet()
    {
        return Wait_Until([&] {
            const std::size_t before = Sent();
            Pump(150);
            return Sent() == before;
        });
    }
    std::int64_t Edit14() { return form().Traffic->Edit14->text().toLongLong(); }
};

inline QByteArray Bytes(const std::vector<std::uint8_t> &v)
{
    return QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size()));
}
