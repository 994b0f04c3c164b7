// The program against a far end written from the wire format alone, on the
// master side of a real pseudo-terminal: files of every edge size both ways,
// hostile announcements, and the repeats and refusals that keep a transfer
// from waiting for ever.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <unistd.h>

#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/LocalTime.h"
#include "transfer/QweryFile.h"
#include "transfer/SendFile.h"
#include "transfer/TransferSupport.h"
#include "transfer/WirePeer.h"
#include "serial/PortLists.h"

namespace {

const qsizetype kEdgeSizes[] = {0, 1, 32767, 32768, 32769, 65536, 1048576 + 7};
const char kCyrillicName[] = "Отчёт за май №5.txt";

QString No_Answer() { return QString::fromUtf8("Нет соединения или нет ответа удаленной стороны"); }

class PeerTransfer : public ::testing::Test {
protected:
    void SetUp() override { Open_File_Page(app, pty.slavePath(), 1000); }
    TForm1 &form() { return *app.form; }
    QStringList messages() { return app.catcher.messages(); }

    Pty pty;
    Application app;
    wire::Peer peer{pty.master()};
};

}  // namespace

TEST_F(PeerTransfer, ReceivesFilesOfEveryEdgeSizeAndACyrillicName)
{
    QStringList expected;
    unsigned seed = 1;
    auto receive = [&](const QByteArray &name, const QByteArray &data) {
        SCOPED_TRACE(data.size());
        auto sent = Beside([&] { return peer.Send_File(name, data); });
        ASSERT_TRUE(Accept_When_Asked(app));
        EXPECT_EQ(Finish(sent), QString());
        const QString local = vexa::Cp1251_Decode(name);
        EXPECT_TRUE(Wait_Until([&] { return !form().Form5->isVisible(); }));
        EXPECT_EQ(Read_File(app.start.file("ReseiveFile/" + local)), data);
        expected << local;
        expected.sort();
        EXPECT_EQ(Received_Entries(app), expected);  // nothing left under another name
    };
    for (const qsizetype size : kEdgeSizes)
        receive("size" + QByteArray::number(size) + ".bin", Random_Bytes(size, seed++));
    EXPECT_EQ(form().Form5->Edit4->text(), "33");
    EXPECT_EQ(form().Form5->Edit3->text(), "33");
    receive(vexa::Cp1251_Encode(QString::fromUtf8(kCyrillicName)), Random_Bytes(40000, seed++));
    EXPECT_EQ(form().Form5->Edit1->text(), QString::fromUtf8(kCyrillicName));
    EXPECT_EQ(messages(), QStringList{QString::fromUtf8("Файл пуст, размер = 0 байт")});
}

TEST_F(PeerTransfer, SendsFilesOfEveryEdgeSizeAndACyrillicName)
{
    QDir(app.start.path()).mkpath("out");
    unsigned seed = 10;
    auto send = [&](const QString &name, const QByteArray &data) {
        SCOPED_TRACE(data.size());
        const QString path = app.start.file("out/" + name);
        Write_File(path, data);
        QByteArray gotName, gotData;
        auto received = Beside([&] { return peer.Receive_File(gotName, gotData); });
        Send_File(app, path);
        EXPECT_EQ(form().Edit5->text(), path);
        EXPECT_EQ(form().Edit6->text(), QString::number(data.size()));
        EXPECT_EQ(Finish(received), QString());
        EXPECT_EQ(gotName, vexa::Cp1251_Encode(name));
        EXPECT_EQ(gotData, data);
        EXPECT_TRUE(Wait_Until([&] { return Sender_Idle(app); }));
    };
    for (const qsizetype size : kEdgeSizes)
        send(QStringLiteral("size%1.bin").arg(size), Random_Bytes(size, seed++));
    send(QString::fromUtf8(kCyrillicName), Random_Bytes(32769, seed++));
    EXPECT_EQ(form().Form6->Edit4->text(), "2");
    EXPECT_EQ(form().Form6->Edit3->text(), "2");
    EXPECT_EQ(messages(), QStringList{QString::fromUtf8("Файл пуст, размер = 0 байт")});

    const QByteArray log = Read_File(app.start.file("Logs/FileLog.atl"));
    const QByteArray packets = Cp("Пакет №: 1   \rБЕЗ ОШИБОК\r\rПакет №: 2   \rБЕЗ ОШИБОК\r\r");
    EXPECT_EQ(log, Cp("ИМЯ ФАЙЛА:   ") +
                       vexa::Cp1251_Encode(app.start.file("out/") + QString::fromUtf8(kCyrillicName)) +
                       Cp("   РАЗМЕР ФАЙЛА:   32769 байт\r\r\r") + packets + Cp("***КОНЕЦ ПЕРЕДАЧИ ФАЙЛА***\r\r"));

    // The viewer replays the log between its two marker lines.
    QTest::mouseClick(form().SpeedButton13, Qt::LeftButton);
    EXPECT_TRUE(app.Work_Char_Log().endsWith("***PROTOCOL OF LAST FILE SEND BEGIN***\r" + log +
                                             "***PROTOCOL OF LAST FILE SEND END***\r"));
}

TEST_F(PeerTransfer, HostileAnnouncementsCreateNothingOutsideTheReceiveFolder)
{
    const QByteArray outside = "/tmp/vexa-hostile-" + QByteArray::number(::getpid());
    const QByteArray refused[] = {"../x", outside, "a\\b", "..", "", "bell\x07", "../../ReseiveFile/y"};
    for (const QByteArray &name : refused) {
        SCOPED_TRACE(name.toStdString());
        peer.Write(wire::Announcement(name, "10"));
        EXPECT_EQ(peer.Next_Frame(3000), wire::Reply(false));
    }
    // A size that is not plain digits within range gets no answer at all.
    for (const QByteArray &size : {QByteArray("abc"), QByteArray("-5"), QByteArray(20, '9')})
        peer.Write(wire::Announcement("good.txt", size));
    EXPECT_TRUE(peer.Frames_For(400).isEmpty());
    EXPECT_FALSE(form().Form5->isVisible());
    EXPECT_EQ(messages(), QStringList(std::size(refused),
                                      QString::fromUtf8("Недопустимое имя принимаемого файла, в приеме отказано")));

    // A name that fills its field with no zero byte is read within the field.
    const QByteArray full(50, 'n');
    peer.Write(wire::Announcement(full, "3"));
    ASSERT_TRUE(Accept_When_Asked(app));
    EXPECT_EQ(peer.Next_Frame(3000), wire::Reply(true));
    peer.Write(wire::Data(1, "abc"));
    EXPECT_EQ(peer.Next_Frame(3000), wire::Ack(1));
    EXPECT_EQ(Read_File(app.start.file("ReseiveFile/" + QString(full))), QByteArray("abc"));

    EXPECT_FALSE(QFile::exists(outside));
    EXPECT_FALSE(QFile::exists(app.start.file("x")));
    EXPECT_FALSE(QFile::exists(app.start.file("y")));
    EXPECT_EQ(QDir(app.start.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST_F(PeerTransfer, RepeatedStrayAndBrokenFramesDoNotSpoilTheReceivedFile)
{
    const QByteArray data = Random_Bytes(2 * 32768 + 10, 7);
    auto frame = [&](int k) { return wire::Data(k, data.mid((k - 1) * 32768, 32768)); };
    peer.Write(wire::Announcement("mended.bin", QByteArray::number(data.size())));
    ASSERT_TRUE(Accept_When_Asked(app));
    ASSERT_EQ(peer.Next_Frame(3000), wire::Reply(true));

    peer.Write(frame(1));
    EXPECT_EQ(peer.Next_Frame(3000), wire::Ack(1));
    peer.Write(frame(1));  // its acknowledgement was lost: answered again, stored once
    EXPECT_EQ(peer.Next_Frame(3000), wire::Ack(1));
    peer.Write(frame(3));  // out of order
    peer.Write(wire::Reply(true) + wire::Error("DATASEND") + wire::Ack(1) + wire::Announcement("b", "x"));
    // Asked for again once, for the frame out of order; the strays get no answer.
    EXPECT_EQ(peer.Next_Frame(3000), wire::Error("DATASEND"));
    EXPECT_EQ(peer.Frames_For(300), QList<QByteArray>());
    // Line noise in front of a frame in the same write.
    peer.Write("\r\nNO CARRIER\r\n" + frame(2));
    EXPECT_EQ(peer.Next_Frame(3000), wire::Ack(2));
    // The last frame is its tail plus 28 bytes, not a full frame.
    peer.Write(wire::Data(3, data.mid(65536) + QByteArray(32768 - 10, 'p')));
    EXPECT_EQ(peer.Next_Frame(3000), wire::Error("DATASEND"));
    EXPECT_EQ(peer.Frames_For(300), QList<QByteArray>());
    peer.Write(frame(3));
    EXPECT_EQ(peer.Next_Frame(3000), wire::Ack(3));
    EXPECT_EQ(Read_File(app.start.file("ReseiveFile/mended.bin")), data);
    // The final acknowledgement was lost too.
    peer.Write(frame(3));
    EXPECT_EQ(peer.Next_Frame(3000), wire::Ack(3));
    EXPECT_EQ(Received_Entries(app), QStringList{"mended.bin"});
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
}

TEST_F(PeerTransfer, AFrameThatStopsHalfwayIsAskedForAgain)
{
    const QByteArray data = Random_Bytes(5000, 8);
    peer.Write(wire::Announcement("half", "5000"));
    ASSERT_TRUE(Accept_When_Asked(app));
    ASSERT_EQ(peer.Next_Frame(3000), wire::Reply(true));
    peer.Write(wire::Data(1, data).left(2000));
    EXPECT_EQ(peer.Next_Frame(3000), wire::Error("DATASEND"));
    peer.Write(wire::Data(1, data));
    EXPECT_EQ(peer.Next_Frame(3000), wire::Ack(1));
    EXPECT_EQ(Read_File(app.start.file("ReseiveFile/half")), data);
}

TEST_F(PeerTransfer, CancelSilenceOrASenderThatStopsLeavesNoFile)
{
    Type_Interval(form().ComboBox7, "300");
    Type_Interval(form().ComboBox8, "300");
    const QByteArray data = Random_Bytes(3 * 32768, 9);
    enum class End { Silence, Cancel, SenderStops };
    for (const End end : {End::Silence, End::Cancel, End::SenderStops}) {
        SCOPED_TRACE(int(end));
        peer.Write(wire::Announcement("partial.bin", QByteArray::number(data.size())));
        ASSERT_TRUE(Accept_When_Asked(app));
        // Each receive times itself from its own start.
        EXPECT_EQ(form().Form5->Edit6->text(), Long_Time_Text(QTime(0, 0)));
        ASSERT_EQ(peer.Next_Frame(3000), wire::Reply(true));
        peer.Write(wire::Data(1, data.left(32768)));
        ASSERT_EQ(peer.Next_Frame(3000), wire::Ack(1));
        // Until its last frame is stored, nothing stands under the file's name.
        EXPECT_FALSE(Received_Entries(app).contains("partial.bin"));
        if (end == End::Cancel) {
            QTest::mouseClick(form().Form5->SpeedButton2, Qt::LeftButton);
            EXPECT_EQ(peer.Next_Frame(3000), wire::Reply(false));
        } else if (end == End::SenderStops) {
            peer.Write(wire::Reply(false));
            EXPECT_TRUE(Wait_Until([&] { return !messages().isEmpty(); }, 1000));
            EXPECT_EQ(messages(), QStringList{QString::fromUtf8("Передача файла прекращена удаленной стороной")});
        } else {
            // The sender answers none of the requests for its frame.
            EXPECT_TRUE(Wait_Until([&] { return !messages().isEmpty(); }));
            EXPECT_EQ(messages(), QStringList{No_Answer()});
            QList<QByteArray> asked(3, wire::Error("DATASEND"));
            EXPECT_EQ(peer.Frames_For(100), asked << wire::Reply(false));
        }
        EXPECT_FALSE(form().Form5->isVisible());
        EXPECT_EQ(Received_Entries(app), QStringList());
        EXPECT_FALSE(form().Transfer->TimerReceiveWait->Active());
        // Refused, not stored, and never asked for again, even when it comes
        // slowly enough that it does not finish in time.
        const QByteArray next = wire::Data(2, data.mid(32768, 32768));
        peer.Write(next.left(2000));
        EXPECT_EQ(peer.Next_Frame(3000), wire::Reply(false));
        peer.Write(next);
        EXPECT_EQ(peer.Next_Frame(3000), wire::Reply(false));
        EXPECT_EQ(peer.Frames_For(400), QList<QByteArray>());
        app.catcher.clear();
    }
}

TEST_F(PeerTransfer, LeavingThePageEndsATransferAndTellsTheOtherSide)
{
    Type_Interval(form().ComboBox7, "300");  // a side still running repeats or asks within 700 ms
    Type_Interval(form().ComboBox8, "300");
    const QString path = app.start.file("e.bin");
    Write_File(path, Random_Bytes(3 * 32768, 14));
    for (const bool sending : {true, false}) {
        SCOPED_TRACE(sending);
        form().PageControl1->setCurrentIndex(1);
        if (sending) {
            auto started = Beside([&] {
                peer.Next_Frame(3000);
                peer.Write(wire::Reply(true));
                return wire::Kind(peer.Next_Frame(3000));
            });
            Send_File(app, path);
            ASSERT_EQ(Finish(started), "DTDT");
        } else {
            peer.Write(wire::Announcement("f.bin", "98304"));
            ASSERT_TRUE(Accept_When_Asked(app));
            ASSERT_EQ(peer.Next_Frame(3000), wire::Reply(true));
        }
        form().PageControl1->setCurrentIndex(2);  // where a firmware download would start
        EXPECT_EQ(peer.Frames_For(700), QList<QByteArray>{wire::Reply(false)});  // and nothing after it
        for (const char *timer :
             {"FileNameSend", "FileDataSend", "TimerSendSession", "TimerReceiveAll", "TimerReceiveWait"})
            EXPECT_FALSE(form().findChild<QTimer *>(timer)->isActive()) << timer;
        EXPECT_FALSE(form().Form5->isVisible() || form().Form6->isVisible());
        EXPECT_EQ(messages(), QStringList{QString::fromUtf8("Передача файла прервана: открыта другая страница")});
        app.catcher.clear();
    }
    EXPECT_EQ(Received_Entries(app), QStringList());
}

TEST_F(PeerTransfer, ARefusalOrAMissingReceiveFolderAnswersAsItShould)
{
    peer.Write(wire::Announcement("a.txt", "5"));
    ASSERT_TRUE(Wait_Until([&] { return form().Form5->isVisible(); }));
    QTest::mouseClick(form().Form5->SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(peer.Next_Frame(3000), wire::Reply(false));
    EXPECT_FALSE(form().Form5->isVisible());

    // Without its folder the file cannot be made: the user is told, the
    // sender gets no acceptance.
    ASSERT_TRUE(QDir(app.start.file("ReseiveFile")).removeRecursively());
    peer.Write(wire::Announcement("b.txt", "5"));
    ASSERT_TRUE(Accept_When_Asked(app));
    EXPECT_TRUE(peer.Frames_For(300).isEmpty());
    ASSERT_EQ(app.catcher.errors().size(), 1);
    EXPECT_TRUE(app.catcher.errors()[0].startsWith(QString::fromUtf8("Не удалось создать файл ")))
        << app.catcher.errors()[0].toStdString();
    EXPECT_FALSE(QFile::exists(app.start.file("ReseiveFile")));
}

TEST_F(PeerTransfer, AnUnansweredAnnouncementIsSentFourTimesThenReported)
{
    Type_Interval(form().ComboBox7, "200");
    const QString path = app.start.file("a.txt");
    Write_File(path, "hello");
    Send_File(app, path);
    auto announcements = Beside([&] { return peer.Frames_For(1500); });
    // Four announcements, then the receiver is told that nothing will come.
    EXPECT_EQ(Finish(announcements), QList<QByteArray>(4, wire::Announcement("a.txt", "5")) << wire::Reply(false));
    EXPECT_EQ(messages(), QStringList{No_Answer()});
    EXPECT_TRUE(Sender_Idle(app));
    peer.Write(wire::Reply(true));  // accepted too late: told again
    EXPECT_EQ(peer.Next_Frame(3000), wire::Reply(false));

    // An error frame about the announcement brings it again at once.
    app.catcher.clear();
    Type_Interval(form().ComboBox7, "5000");
    QTest::mouseClick(form().SpeedButton12, Qt::LeftButton);
    auto again = Beside([&] {
        QList<QByteArray> seen{peer.Next_Frame(3000)};
        peer.Write(wire::Error("FILENAME"));
        seen << peer.Next_Frame(1000);
        peer.Write(wire::Reply(false));
        return seen;
    });
    EXPECT_EQ(Finish(again), QList<QByteArray>(2, wire::Announcement("a.txt", "5")));
    EXPECT_TRUE(Wait_Until([&] { return !messages().isEmpty(); }));
    EXPECT_EQ(messages(), QStringList{QString::fromUtf8("В приеме файла отказано удаленной стороной")});
}

TEST_F(PeerTransfer, TheSenderRepeatsOnAWrongAcknowledgementAndStopsWhenTheReceiverCancels)
{
    Type_Interval(form().ComboBox7, "300");
    const QString path = app.start.file("b.bin");
    const QByteArray data = Random_Bytes(4 * 32768, 11);
    Write_File(path, data);
    auto script = Beside([&] {
        QStringList seen;
        auto next = [&] {
            const QByteArray f = peer.Next_Frame(3000);
            seen << QString::fromLatin1(wire::Kind(f)) + QString::number(wire::Number(f));
            return f;
        };
        next();  // the announcement
        peer.Write(wire::Reply(true));
        next();                    // frame 1
        peer.Write(wire::Ack(2));  // a wrong number: the wait goes on
        next();                    // frame 1 again, after the interval
        peer.Write(wire::Ack(1));
        next();                         // frame 2
        peer.Write(wire::Reply(true));  // out of place: no restart
        peer.Write(wire::Ack(2));
        next();                          // frame 3
        peer.Write(wire::Reply(false));  // the receiver cancelled
        seen << QString::number(peer.Frames_For(700).size());
        return seen;
    });
    Send_File(app, path);
    EXPECT_EQ(Finish(script), QStringList({"FNFN0", "DTDT1", "DTDT1", "DTDT2", "DTDT3", "0"}));
    EXPECT_EQ(form().Form6->Edit5->text(), "1");  // frames sent again
    EXPECT_EQ(messages(), QStringList{QString::fromUtf8("В приеме файла отказано удаленной стороной")});
    EXPECT_EQ(form().Transfer->State.Sender.State(), SendSession::Phase::Idle);
    EXPECT_FALSE(form().Transfer->FileDataSend->Active());
    EXPECT_FALSE(form().Transfer->TimerSendSession->Active());
    EXPECT_TRUE(form().SpeedButton12->isEnabled());
}

TEST_F(PeerTransfer, EndlessErrorFramesEndTheTransfer)
{
    const QString path = app.start.file("c.bin");
    Write_File(path, Random_Bytes(40000, 12));
    auto script = Beside([&] {
        peer.Next_Frame(3000);
        peer.Write(wire::Reply(true));
        int frames = 0;
        while (wire::Kind(peer.Next_Frame(1500)) == "DTDT") {
            ++frames;
            peer.Write(wire::Error("DATASEND"));
        }
        peer.Write(wire::Error("DATASEND"));  // after the end: no frame again, only the refusal
        return std::make_pair(frames, peer.Frames_For(300));
    });
    Send_File(app, path);
    const auto [frames, after] = Finish(script);
    EXPECT_EQ(frames, 1 + 10);
    EXPECT_EQ(after, QList<QByteArray>{wire::Reply(false)});
    EXPECT_EQ(messages(), QStringList{No_Answer()});
    EXPECT_EQ(form().Transfer->State.Sender.State(), SendSession::Phase::Idle);
}

TEST_F(PeerTransfer, AFileChangedAfterItsAnnouncementIsNotSent)
{
    const QString path = app.start.file("d.bin");
    Write_File(path, Random_Bytes(70000, 13));
    auto script = Beside([&] {
        peer.Next_Frame(3000);
        Write_File(path, "short now");
        peer.Write(wire::Reply(true));
        return peer.Frames_For(500);
    });
    Send_File(app, path);
    EXPECT_EQ(Finish(script), QList<QByteArray>{wire::Reply(false)});  // nothing but the stop
    EXPECT_EQ(messages(), QStringList{QString::fromUtf8("Файл изменился на диске, передача прекращена")});
    EXPECT_TRUE(Sender_Idle(app));
}

TEST_F(PeerTransfer, ChoosingAFileChecksItsNameBeforeAnythingIsSent)
{
    QTest::mouseClick(form().SpeedButton12, Qt::LeftButton);
    EXPECT_TRUE(Wait_Until([&] { return !messages().isEmpty(); }));
    EXPECT_EQ(messages(), QStringList{QString::fromUtf8("Не выбран файл для передачи")});

    const QString longest = QString(44, 'n') + ".bin";  // 48 characters
    Write_File(app.start.file(longest), "12345");
    FileDialogAnswers answers({app.start.file(longest)});
    QTest::mouseClick(form().SpeedButton11, Qt::LeftButton);
    ASSERT_EQ(answers.requests().size(), 1);
    EXPECT_EQ(answers.requests()[0].name, "OpenDialog3");
    EXPECT_EQ(answers.requests()[0].filter, QString::fromUtf8("Файлы любых типов|*.*"));
    EXPECT_EQ(form().Edit5->text(), app.start.file(longest));
    EXPECT_EQ(form().Edit6->text(), "5");
    // The name and size fields are echoed as they will travel, zero bytes too.
    EXPECT_TRUE(app.Work_Char_Log().endsWith(longest.toLatin1() + QByteArray(2, '\0') + "5" + QByteArray(19, '\0')));

    app.catcher.clear();
    for (const QString &name : {longest + "x", QString::fromUtf8("文件.txt")}) {
        Write_File(app.start.file(name), "12345");
        answers.add(app.start.file(name));
        QTest::mouseClick(form().SpeedButton11, Qt::LeftButton);
        EXPECT_TRUE(form().Edit5->text().isEmpty());
        QTest::mouseClick(form().SpeedButton12, Qt::LeftButton);
        Pump(50);  // the user closes each box before the next click
    }
    EXPECT_EQ(messages(), QStringList({QString::fromUtf8("Превышена дллинна имени файла"),
                                       QString::fromUtf8("Не выбран файл для передачи"),
                                       QString::fromUtf8("Имя файла содержит знаки, которых нет в кодировке 1251"),
                                       QString::fromUtf8("Не выбран файл для передачи")}));
    EXPECT_TRUE(pty.drain(200).isEmpty());  // nothing was announced
}

TEST_F(PeerTransfer, IntervalsAreWholePositiveMilliseconds)
{
    // The port taken offered the usual intervals in both boxes.
    for (QComboBox *box : {form().ComboBox7, form().ComboBox8})
        EXPECT_EQ(box->count(), Interval_Items().size());
    Type_Interval(form().ComboBox7, "0");
    EXPECT_EQ(app.catcher.errors().size(), 1);  // read before the next entry
    Type_Interval(form().ComboBox8, "-5");
    Type_Interval(form().ComboBox7, "abc");
    EXPECT_EQ(app.catcher.errors(), QStringList({QString::fromUtf8("Интервал должен быть больше 0 мс"),
                                                 QString::fromUtf8("Интервал должен быть больше 0 мс"),
                                                 QString::fromUtf8("\"abc\" не является целым числом")}));
    EXPECT_EQ(form().Transfer->Packet_Interval, 1000);
    EXPECT_EQ(form().Transfer->Frame_Receive_Interval, 1000);
    EXPECT_EQ(form().ComboBox7->currentText(), "1000");
    Type_Interval(form().ComboBox7, "15000");
    EXPECT_EQ(form().Transfer->Packet_Interval, 15000);
}
