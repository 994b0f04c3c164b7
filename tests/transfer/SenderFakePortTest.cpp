// The sender on a port whose writes can be made to fail: a message box in
// the middle of the data phase, and the send dialog's cancel.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"
#include "serial/FakePortFixture.h"
#include "transfer/SendFile.h"
#include "transfer/TransferSupport.h"
#include "transfer/WirePeer.h"

namespace {

class FakePortSender : public FakePortTest {
protected:
    void SetUp() override
    {
        FakePortTest::SetUp();
        Open_File_Page(*app, kModem, 1000);
        path = app->start.file("three.bin");
        data = Random_Bytes(3 * 32768, 50);
        Write_File(path, data);
    }
    QByteArray Written()
    {
        const std::vector<std::uint8_t> bytes = modem->Written();
        return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
    }
    void Answer(const QByteArray &frame) { modem->Receive(std::vector<std::uint8_t>(frame.begin(), frame.end())); }
    QByteArray Frame(int k) { return wire::Data(k, data.mid((k - 1) * 32768, 32768)); }

    QString path;
    QByteArray data;
};

}  // namespace

TEST_F(FakePortSender, AMessageBoxMidTransferSendsNothingTwiceOrOutOfOrder)
{
    // A real box turns the event loop while it is open; so does this one.
    QStringList shown;
    vexa::Set_Message_Sink([&](vexa::MessageKind, const QString &text) {
        shown << text;
        Pump(300);
    });
    const QByteArray announcement = wire::Announcement("three.bin", "98304");
    Send_File(*app, path);
    ASSERT_EQ(Written(), announcement);
    Answer(wire::Reply(true));
    ASSERT_TRUE(Wait_Until([&] { return Written().size() == announcement.size() + 32796; }));

    modem->failWrite = true;
    Answer(wire::Ack(1));
    ASSERT_TRUE(Wait_Until([&] { return !shown.isEmpty(); }));
    EXPECT_EQ(shown, QStringList{QString::fromUtf8("Oшибка записи в порт")});
    // Thirty ticks of FileDataSend passed under the box: frame 2 was tried
    // once, and the wait for its acknowledgement runs.
    EXPECT_EQ(form().Transfer->State.Sender.Sent(), 2u);
    EXPECT_TRUE(form().Transfer->TimerSendSession->Active());

    modem->failWrite = false;  // the repeat after the interval goes through
    ASSERT_TRUE(Wait_Until([&] { return Written().size() == announcement.size() + 2 * 32796; }, 3000));
    Answer(wire::Ack(2));
    ASSERT_TRUE(Wait_Until([&] { return Written().size() == announcement.size() + 3 * 32796; }));
    Answer(wire::Ack(3));
    ASSERT_TRUE(Wait_Until([&] { return Sender_Idle(*app); }));
    EXPECT_EQ(Written(), announcement + Frame(1) + Frame(2) + Frame(3));
    EXPECT_EQ(shown.size(), 1);
    EXPECT_TRUE(Read_File(app->start.file("Logs/FileLog.atl"))
                    .contains(Cp("Пакет №: 1   \rБЕЗ ОШИБОК\r\rОшибка записи в порт\rБЕЗ ОШИБОК\r\rПакет №: 3")));
    EXPECT_EQ(form().Form6->Edit5->text(), "1");
    vexa::Set_Message_Sink(nullptr);
}

TEST_F(FakePortSender, CancelStopsEveryTimerAndClosesTheFiles)
{
    Send_File(*app, path);
    Answer(wire::Reply(true));
    ASSERT_TRUE(Wait_Until([&] { return form().Form6->isVisible() && Written().size() > 80; }));
    QTest::mouseClick(form().Form6->SpeedButton1, Qt::LeftButton);
    EXPECT_TRUE(Written().endsWith(wire::Reply(false)));  // the receiver is told at once
    EXPECT_FALSE(form().Form6->isVisible());
    EXPECT_FALSE(form().Transfer->FileDataSend->Active());
    EXPECT_FALSE(form().Transfer->TimerSendSession->Active());
    EXPECT_FALSE(form().Transfer->State.Source);
    EXPECT_FALSE(form().Transfer->State.Log);
    const qsizetype sent = Written().size();
    Answer(wire::Ack(1));  // too late: nothing follows
    Pump(1300);
    EXPECT_EQ(Written().size(), sent);
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
    EXPECT_TRUE(form().SpeedButton12->isEnabled());
}

TEST_F(FakePortSender, ReleasingThePortEndsTheTransferOnce)
{
    Send_File(*app, path);
    Answer(wire::Reply(true));
    ASSERT_TRUE(Wait_Until([&] { return form().Form6->isVisible() && Written().size() > 80; }));
    form().SpeedButton26->click();  // "Освободить порт"
    EXPECT_FALSE(form().Form6->isVisible());
    EXPECT_FALSE(form().Transfer->FileDataSend->Active());
    EXPECT_FALSE(form().Transfer->TimerSendSession->Active());
    EXPECT_TRUE(Wait_Until([&] { return !messages().isEmpty(); }));
    Pump(100);
    EXPECT_EQ(messages(), QStringList{QString::fromUtf8("Передача файла прервана: порт закрыт")});
}
