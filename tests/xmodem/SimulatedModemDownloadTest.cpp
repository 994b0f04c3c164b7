// Firmware downloads into the simulated modem, as a newcomer tries them:
// AT+WDWL typed on the terminal, a file chosen, "Прошить" pressed. The
// simulator keeps each image it received, and can misbehave on request.

#include "xmodem/ProgrammingFixture.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

namespace {

class SimulatedModemDownload : public ProgrammingPageTest {
protected:
    void TearDown() override
    {
        sim.terminate();
        sim.waitForFinished(5000);
    }

    // Starts the modem with the faults asked for and asks it for a download.
    void Start(const QStringList &faults = {})
    {
        ASSERT_TRUE(QDir().mkpath(store()));
        sim.start(QStringLiteral(VEXA_MODEM_SIM), QStringList{"--no-link", "--quiet", "--store", store(),
                                                              "--nak-interval", "1000", "--next-image-wait", "5000"} +
                                                      faults);
        ASSERT_TRUE(sim.waitForStarted(5000));
        const QRegularExpression announced(QStringLiteral("modem on (\\S+)"));
        QString port;
        while (port.isEmpty() && sim.waitForReadyRead(5000))
            if (const auto m = announced.match(QString::fromLocal8Bit(sim.readAllStandardOutput())); m.hasMatch())
                port = m.captured(1);
        ASSERT_FALSE(port.isEmpty());
        Open_Page(port);
        f.Clear_Focus();
        QTest::keyClicks(&f, "AT+WDWL");
        QTest::keyClick(&f, Qt::Key_Return);
        ASSERT_TRUE(Wait_Until([&] { return fw.SpeedButton15->isVisible(); }));
    }

    QString store() const { return app.start.file("store"); }
    QString Image(int number) const
    {
        return store() + QStringLiteral("/vexa-sim-image-%1.bin").arg(number, 3, 10, QChar('0'));
    }
    QStringList Images() const { return QDir(store()).entryList(QDir::Files); }

    QProcess sim;
};

TEST_F(SimulatedModemDownload, OneFileArrivesWhole)
{
    FieldHistory sent(fw.Edit9), total(fw.Edit10);
    Start();
    const QByteArray content = Firmware_Bytes(40000, 11);  // 313 blocks
    Flash(Write_Firmware("fw.bin", content));
    EXPECT_TRUE(Locked());
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }, 10000));
    ASSERT_TRUE(Wait_Until([&] { return Read_File(Image(1)).size() == Padded(content).size(); }));
    EXPECT_EQ(Read_File(Image(1)), Padded(content));
    EXPECT_EQ(sent.last(), "313");
    EXPECT_EQ(total.last(), "313");
    Expect_Released();
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

// Four entries, one unchecked: three files go one after another, each once
// the modem has asked for it, and the group is gone once the last started.
TEST_F(SimulatedModemDownload, AGroupOfThreeFiles)
{
    Start();
    const QList<QByteArray> contents{Firmware_Bytes(1000, 1), Firmware_Bytes(129, 2), Firmware_Bytes(3000, 3)};
    Add_To_Group(Write_Firmware("one.bin", contents[0]), true);
    Add_To_Group(Write_Firmware("skipped.bin", "not this one"), false);
    Add_To_Group(Write_Firmware("two.bin", contents[1]), true);
    Add_To_Group(Write_Firmware("three.bin", contents[2]), true);
    FieldHistory names(fw.Edit7);
    Click(fw.SpeedButton16);
    ASSERT_TRUE(Wait_Until([&] { return Images().size() == 3 && Read_File(Image(3)).size() == 3072; }, 12000))
        << Images().join(' ').toStdString();
    ASSERT_TRUE(Wait_Until([&] { return !Locked(); }));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Read_File(Image(i + 1)), Padded(contents[i])) << i;
    EXPECT_EQ(app.Work_Char_Log().count(Cp("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r")), 3);
    EXPECT_EQ(names.texts().filter("skipped").size(), 0);
    Expect_No_Group();
    Expect_Released();
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

TEST_F(SimulatedModemDownload, ARejectedBlockIsRepeatedAndCounted)
{
    FieldHistory repeats(fw.Edit11);
    Start({"--reject-block", "3:2"});
    const QByteArray content = Firmware_Bytes(1000, 5);
    Flash(Write_Firmware("fw.bin", content));
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }, 10000));
    EXPECT_EQ(repeats.texts(), QStringList({"1", "2", ""}));
    EXPECT_EQ(app.Work_Char_Log().count(Cp("ПОВТОР ПАКЕТА...\r")), 2);
    ASSERT_TRUE(Wait_Until([&] { return Read_File(Image(1)).size() == 1024; }));
    EXPECT_EQ(Read_File(Image(1)), Padded(content));
}

// A CRC modem asks for a rejected block 1 again with 'C'.
TEST_F(SimulatedModemDownload, ANakBeforeTheFirstAckRepeatsBlockOne)
{
    FieldHistory repeats(fw.Edit11);
    Start({"--reject-block", "1", "--crc"});
    const QByteArray content = Firmware_Bytes(300, 6);
    Flash(Write_Firmware("fw.bin", content));
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }, 10000));
    EXPECT_EQ(repeats.last(), "1");
    ASSERT_TRUE(Wait_Until([&] { return Read_File(Image(1)).size() == 384; }));
    EXPECT_EQ(Read_File(Image(1)), Padded(content));
}

TEST_F(SimulatedModemDownload, AModemThatFallsSilentEndsTheDownload)
{
    Start({"--silent-after", "2"});
    Flash(Write_Firmware("fw.bin", Firmware_Bytes(1000, 7)));
    EXPECT_TRUE(Locked());
    ASSERT_TRUE(Wait_Until([&] { return !Locked(); }, 10000));
    EXPECT_EQ(app.catcher.messages(), QStringList({"Модем не отвечает. Прошивка прервана."}));
    EXPECT_EQ(fw.Edit9->text(), "3");
    Expect_Released();
    EXPECT_TRUE(Images().isEmpty());
}

TEST_F(SimulatedModemDownload, AModemThatCancelsEndsTheDownload)
{
    Start({"--cancel-after", "2"});
    Flash(Write_Firmware("fw.bin", Firmware_Bytes(1000, 8)));
    ASSERT_TRUE(Wait_Until([&] { return !Locked(); }, 10000));
    EXPECT_EQ(app.catcher.messages(), QStringList({"Модем отменил приём. Прошивка прервана."}));
    EXPECT_TRUE(Screen_Shows("Модем отменил приём. Прошивка прервана.\r"));
    Expect_Released();
    EXPECT_TRUE(Images().isEmpty());
}

// A group started within a second of a finished download, against a modem
// that asks with 'C' every 2 ms on a clock of its own, so that requests sent
// before it saw block 1 mostly reach Vexa after block 1 went out; in
// 1024-byte blocks. Every file arrives whole.
TEST_F(SimulatedModemDownload, AGroupRightAfterADownloadInLongCrcBlocks)
{
    Start({"--crc", "--nak-period", "2"});
    fw.CheckBox6->setChecked(true);
    const QList<QByteArray> contents{Firmware_Bytes(1500, 1), Firmware_Bytes(40000, 2), Firmware_Bytes(1025, 3)};
    Flash(Write_Firmware("single.bin", contents[0]));
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }));
    Add_To_Group(Write_Firmware("a.bin", contents[1]), true);
    Add_To_Group(Write_Firmware("b.bin", contents[2]), true);
    Click(fw.SpeedButton16);
    ASSERT_TRUE(Wait_Until([&] { return Read_File(Image(3)).size() == 1152; }, 12000))
        << Images().join(' ').toStdString();
    ASSERT_TRUE(Wait_Until([&] { return !Locked(); }));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Read_File(Image(i + 1)), Padded(contents[i])) << i;
    EXPECT_EQ(app.Work_Char_Log().count(Cp("РЕЖИМ: XMODEM-CRC, БЛОКИ 1024 БАЙТ\r")), 3);
    Expect_No_Group();
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

}  // namespace
