// Vexa talking to the simulated modem, as a newcomer does on the first run.

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "support/TestSupport.h"

namespace {

// Starts the simulator and returns the pseudo-terminal it announces.
QString Start_Simulator(QProcess &sim, const QString &store)
{
    sim.start(QStringLiteral(VEXA_MODEM_SIM), {"--no-link", "--quiet", "--store", store});
    if (!sim.waitForStarted(5000))
        return {};
    const QRegularExpression announced(QStringLiteral("modem on (\\S+)"));
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
