// Vexa talking to the simulated modem, as a newcomer does on the first run.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "serial/LineControl.h"
#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "support/TestSupport.h"
#include "testtraffic/TestTraffic.h"

namespace {

// Starts the simulator and returns the port it announces: its
// pseudo-terminal, or what the pattern names.
QString Start_Simulator(QProcess &sim, const QString &store, const QStringList &more = {},
                        const QString &pattern = QStringLiteral("modem on (\\S+)"))
{
    sim.start(QStringLiteral(VEXA_MODEM_SIM), QStringList({"--no-link", "--quiet", "--store", store}) + more);
    if (!sim.waitForStarted(5000))
        return {};
    const QRegularExpression announced(pattern);
    QByteArray out;
    while (sim.waitForReadyRead(5000)) {
        out += sim.readAllStandardOutput();
        if (const auto m = announced.match(QString::fromLocal8Bit(out)); m.hasMatch())
            return m.captured(1);
    }
    return {};
}

}  // namespace

TEST(SimulatedModem, TypingATShowsTheEchoAndOKOnScreenAndInTheLog)
{
    Application app;
    QProcess sim;
    const QString port = Start_Simulator(sim, app.start.path());
    ASSERT_FALSE(port.isEmpty());

    TForm1 &f = *app.form;
    f.show();
    app.Pick_Port(port);
    ASSERT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    f.Clear_Focus();
    QTest::keyClicks(&f, "AT");
    QTest::keyClick(&f, Qt::Key_Return);

    ASSERT_TRUE(Wait_Until([&] { return app.Work_Char_Log().contains("OK\r\n"); }));
    EXPECT_EQ(app.Work_Char_Log(), QByteArray("AT\r\r\nOK\r\n"));
    EXPECT_EQ(f.Form4->Line(0), QString("65  A"));
    EXPECT_EQ(f.Cursor_Y, 36);  // "AT" on row 0, the answer's leading CR a blank row, "OK" on row 2

    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 0);
}

// Served as a network port, the simulated modem has modem lines: the lamps
// light, and the test string runs and is counted both ways.
TEST(SimulatedModem, ItsNetworkPortLightsTheLampsAndCarriesTheTestString)
{
    Application app;
    QProcess sim;
    const QString port = Start_Simulator(sim, app.start.path(), {"--rfc2217", "0"}, "network port (\\S+)");
    ASSERT_TRUE(port.startsWith("rfc2217://localhost:")) << port.toStdString();
    TForm1 &f = *app.form;
    f.show();
    const auto *panel = f.findChild<QLabel *>("StatusBar1_Panel0");
    const int panelWidth = panel->width();
    const int nextAt = f.findChild<QLabel *>("StatusBar1_Panel1")->x();
    app.Pick_Port(port);
    ASSERT_TRUE(f.Serial->PortHeld) << app.catcher.messages().join('|').toStdString();
    // The long name stays in the port panel: both its ends, the whole in the tip.
    EXPECT_EQ(panel->toolTip(), QString::fromUtf8("Порт: ") + port);
    EXPECT_TRUE(panel->text().startsWith(QString::fromUtf8("Порт: rf")) && panel->text().contains(QChar(0x2026)) &&
                panel->text().endsWith(port.right(2)))
        << panel->text().toStdString();
    Pump(50);
    EXPECT_EQ(panel->width(), panelWidth);
    EXPECT_EQ(f.findChild<QLabel *>("StatusBar1_Panel1")->x(), nextAt);
    ASSERT_TRUE(Wait_Until([&] { return f.Serial->Line->DCD_On.load(); }));
    EXPECT_TRUE(f.Serial->Line->CTS_On);
    const std::pair<QLineEdit *, QColor> lamps[] = {
        {f.Edit1, Qt::yellow}, {f.Edit2, Qt::yellow}, {f.Edit3, Qt::black}, {f.Edit4, Qt::cyan}};
    for (const auto &[lamp, colour] : lamps)
        EXPECT_EQ(lamp->palette().color(QPalette::Base), colour) << lamp->objectName().toStdString();

    f.PageControl1->setCurrentIndex(3);
    f.Traffic->ComboBox9->setEditText("0,1");
    f.Traffic->SpeedButton20->click();
    EXPECT_TRUE(
        Wait_Until([&] { return f.Traffic->Edit13->text().toInt() >= 23 && f.Traffic->Edit14->text().toInt() >= 23; }));
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
}
