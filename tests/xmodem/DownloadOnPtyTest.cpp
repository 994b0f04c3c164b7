// The download byte by byte on a real pseudo-terminal: the test plays the
// modem on the master side, reads every block Vexa writes and answers it.

#include "xmodem/ProgrammingFixture.h"

#include <QApplication>

#include "platform/Messages.h"

namespace {

const QByteArray kAck("\x06"), kNak("\x15"), kCan("\x18"), kEot("\x04");

// The block as the modem expects it, worked out here independently.
QByteArray Expected_Block(int number, const QByteArray &data)
{
    QByteArray block;
    block += '\x01';
    block += char(number);
    block += char(255 - number);
    block += data + QByteArray(128 - data.size(), '\x1A');
    int sum = 0;
    for (int i = 3; i < 131; ++i)
        sum += std::uint8_t(block[i]);
    block += char(sum);
    return block;
}

class DownloadOnPty : public ProgrammingPageTest {
protected:
    void SetUp() override { Open_Page(pty.slavePath()); }

    // The modem asks for a download.
    void Ready()
    {
        pty.write(kNak);
        ASSERT_TRUE(Wait_Until([&] { return fw.SpeedButton15->isVisible(); }));
    }
    QByteArray Next_Bytes(int count) { return pty.read(count, 5000); }
    // Nothing more arrives for a while.
    void Expect_Quiet(int ms = 200) { EXPECT_EQ(pty.drain(ms).toHex(), QByteArray()); }

    Pty pty;
};

TEST_F(DownloadOnPty, AWholeDownloadOnTheWire)
{
    FieldHistory blocks(fw.Edit9);
    const QByteArray content = Firmware_Bytes(200, 7);
    EXPECT_FALSE(fw.SpeedButton15->isVisible());
    EXPECT_FALSE(fw.SpeedButton16->isVisible());
    Ready();
    EXPECT_TRUE(fw.SpeedButton16->isVisible());
    EXPECT_TRUE(Screen_Shows("МОДЕМ ГОТОВ К ПРОШИВКЕ...\r"));

    Flash(Write_Firmware("fw.bin", content));
    EXPECT_EQ(fw.Edit8->text(), "200");
    EXPECT_EQ(Next_Bytes(132), Expected_Block(1, content.left(128)));
    EXPECT_TRUE(Locked());
    EXPECT_EQ(fw.Edit9->text(), "1");
    EXPECT_EQ(fw.Edit10->text(), "2");
    EXPECT_TRUE(fw.Gauge2->isVisible());
    EXPECT_EQ(fw.Gauge2->maximum(), 2);
    EXPECT_EQ(fw.Gauge3->value(), 2);

    // A NAK then an ACK in one chunk is the ACK: block 2, not a repeat.
    pty.write(kNak + kAck);
    EXPECT_EQ(Next_Bytes(132), Expected_Block(2, content.mid(128)));
    EXPECT_EQ(fw.Edit11->text(), "");
    EXPECT_EQ(fw.Gauge2->value(), 2);

    // Line noise, a CRC request and a lone CAN move nothing.
    pty.write("C\x04\x01xyz" + kCan + "\r\n");
    Expect_Quiet();
    EXPECT_TRUE(Locked());

    pty.write(kAck);
    EXPECT_EQ(Next_Bytes(1), kEot);
    EXPECT_TRUE(Locked());
    pty.write(kNak);
    EXPECT_EQ(Next_Bytes(1), kEot);
    pty.write(kAck);
    ASSERT_TRUE(Wait_Until([&] { return !Locked(); }));
    Expect_Quiet();

    Expect_Released();
    EXPECT_FALSE(fw.SpeedButton15->isVisible());
    for (QLineEdit *edit : {fw.Edit7, fw.Edit8, fw.Edit9, fw.Edit10, fw.Edit11})
        EXPECT_EQ(edit->text(), "") << edit->objectName().toStdString();
    EXPECT_EQ(blocks.texts(), QStringList({"1", "2", ""}));
    EXPECT_TRUE(fw.TimerRunNext->Active());
    const QByteArray screen = app.Work_Char_Log();
    EXPECT_TRUE(screen.contains(Cp("НАЧАЛО ПРОШИВКИ\rФАЙЛ: ") + Cp(qPrintable(app.start.file("fw.bin"))) + "\r"));
    EXPECT_TRUE(screen.contains(Cp("ПОВТОР КОНЦА ПЕРЕДАЧИ...\rПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r")));
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

TEST_F(DownloadOnPty, ANakBeforeTheFirstAckRepeatsBlockOneAndCountsIt)
{
    const QByteArray content = Firmware_Bytes(129, 3);
    Ready();
    Flash(Write_Firmware("fw.bin", content));
    const QByteArray first = Next_Bytes(132);
    EXPECT_EQ(first, Expected_Block(1, content.left(128)));
    pty.write(kNak);
    EXPECT_EQ(Next_Bytes(132), first);
    EXPECT_EQ(fw.Edit11->text(), "1");
    EXPECT_TRUE(Screen_Shows("ПОВТОР ПАКЕТА...\r"));
    pty.write(kAck);
    EXPECT_EQ(Next_Bytes(132), Expected_Block(2, content.right(1)));
    pty.write(kAck);
    EXPECT_EQ(Next_Bytes(1), kEot);
    pty.write(kAck);
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }));
}

TEST_F(DownloadOnPty, TenRejectionsOfOneBlockEndTheDownload)
{
    const QByteArray content = Firmware_Bytes(300, 5);
    Ready();
    Flash(Write_Firmware("fw.bin", content));
    const QByteArray first = Next_Bytes(132);
    pty.write(kAck);
    const QByteArray second = Next_Bytes(132);
    for (int i = 1; i < 10; ++i) {
        pty.write(kNak);
        ASSERT_EQ(Next_Bytes(132), second) << i;
    }
    EXPECT_EQ(fw.Edit11->text(), "9");
    pty.write(kNak);
    ASSERT_TRUE(Wait_Until([&] { return !Locked(); }));
    Expect_Quiet();
    Expect_Released();
    EXPECT_EQ(app.catcher.messages(), QStringList({"Модем 10 раз подряд не принял пакет. Прошивка прервана."}));
    EXPECT_TRUE(Screen_Shows("Модем 10 раз подряд не принял пакет. Прошивка прервана.\r"));
    // What the user needs to try again stays on the page.
    EXPECT_EQ(fw.Edit7->text(), app.start.file("fw.bin"));
    EXPECT_EQ(fw.Edit9->text(), "2");
    EXPECT_FALSE(Screen_Shows("ЗАВЕРШЕНА"));
}

// Every block is acknowledged: the image is in the modem, whether or not
// its answer to the EOT arrives.
TEST_F(DownloadOnPty, SilenceAfterTheEotStillEndsAComplete)
{
    Ready();
    Flash(Write_Firmware("fw.bin", Firmware_Bytes(10, 1)));
    Next_Bytes(132);
    pty.write(kAck);
    EXPECT_EQ(Next_Bytes(1), kEot);
    ASSERT_TRUE(Wait_Until([&] { return !Locked(); }, 10000));
    Expect_Released();
    Pump(50);
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    EXPECT_TRUE(Screen_Shows("Модем не подтвердил конец передачи.\rПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"));
    EXPECT_TRUE(fw.TimerRunNext->Active());
}

// The box opens once the modem's bytes have been handled, so that what the
// modem sends while it is open still gets through.
TEST_F(DownloadOnPty, CanCanSplitOverTwoChunksCancels)
{
    bool heardUnderTheBox = false;
    vexa::Set_Message_Sink([&](vexa::MessageKind, const QString &text) {
        EXPECT_EQ(text, "Модем отменил приём. Прошивка прервана.");
        pty.write(kNak);
        heardUnderTheBox = Wait_Until([&] { return fw.SpeedButton15->isVisible(); }, 1000);
    });
    Ready();
    Flash(Write_Firmware("fw.bin", Firmware_Bytes(1000, 2)));
    Next_Bytes(132);
    pty.write(kCan);
    Expect_Quiet();
    pty.write(kCan);
    ASSERT_TRUE(Wait_Until([&] { return heardUnderTheBox; }));
    Expect_Released();
    vexa::Set_Message_Sink([](vexa::MessageKind, const QString &) {});
}

TEST_F(DownloadOnPty, AFileIsOpenedAndMeasuredBeforeAnythingLocks)
{
    Ready();
    // No file, a missing file, an empty file: a box each, nothing sent or locked.
    Click(fw.SpeedButton15);
    fw.Edit7->setText(app.start.file("missing.bin"));
    Click(fw.SpeedButton15);
    Flash(Write_Firmware("empty.bin", {}));
    Pump(50);
    EXPECT_EQ(app.catcher.messages(), QStringList({"Не выбран файл для прошивки", "Файл пуст, размер = 0 байт"}));
    ASSERT_EQ(app.catcher.errors().size(), 1);
    EXPECT_TRUE(app.catcher.errors()[0].contains("missing.bin"));
    Expect_Quiet();
    EXPECT_FALSE(Locked());
    EXPECT_FALSE(fw.File.isOpen());

    // The size comes from the file, whatever the size field says.
    FileDialogAnswers answers({Write_Firmware("fw.bin", Firmware_Bytes(129, 9))});
    Click(fw.SpeedButton14);
    ASSERT_EQ(answers.requests().size(), 1);
    EXPECT_EQ(answers.requests()[0].name, "OpenDialog4");
    EXPECT_EQ(answers.requests()[0].filter, "Файлы для прошивки модема|*.*");
    fw.Edit8->setText("999999");
    Click(fw.SpeedButton15);
    Next_Bytes(132);
    EXPECT_EQ(fw.Edit10->text(), "2");
    EXPECT_EQ(fw.Edit8->text(), "129");
}

TEST_F(DownloadOnPty, AFileThatShrinksUnderwayEndsTheDownload)
{
    Ready();
    const QString path = Write_Firmware("fw.bin", Firmware_Bytes(1000, 2));
    Flash(path);
    Next_Bytes(132);
    ASSERT_TRUE(QFile::resize(path, 100));
    pty.write(kAck);
    ASSERT_TRUE(Wait_Until([&] { return !Locked(); }));
    Expect_Quiet();
    Expect_Released();
    ASSERT_EQ(app.catcher.errors().size(), 1);
    EXPECT_TRUE(app.catcher.errors()[0].startsWith("Ошибка чтения файла прошивки: "));
}

TEST_F(DownloadOnPty, ReleasingThePortEndsTheDownload)
{
    Ready();
    Flash(Write_Firmware("fw.bin", Firmware_Bytes(1000, 2)));
    Next_Bytes(132);
    ASSERT_TRUE(Locked());
    Click(f.SpeedButton26);  // "Освободить порт"
    EXPECT_FALSE(f.Serial->PortHeld);
    Expect_Released();
    EXPECT_TRUE(Screen_Shows("Порт закрыт. Прошивка прервана.\r"));
    EXPECT_TRUE(app.catcher.messages().isEmpty());
}

// A real message box runs an event loop of its own: the download must have
// ended before the box shows, so that what the modem sends meanwhile starts
// nothing, and no second box follows.
TEST_F(DownloadOnPty, TheModemsBytesUnderAFailureBoxChangeNothing)
{
    QStringList boxes;
    vexa::Set_Message_Sink([&](vexa::MessageKind, const QString &text) {
        boxes << text;
        pty.write(kAck + kAck);
        Pump(300);
        pty.write(kNak);
        Pump(300);
    });
    Ready();
    Flash(Write_Firmware("fw.bin", Firmware_Bytes(1000, 2)));
    Next_Bytes(132);
    // The silence time-out ends the download and shows its box.
    ASSERT_TRUE(Wait_Until([&] { return !boxes.isEmpty(); }, 10000));
    Pump(200);
    EXPECT_EQ(boxes, QStringList({"Модем не отвечает. Прошивка прервана."}));
    Expect_Quiet();
    Expect_Released();
    // The NAK under the box only said that the modem is ready again.
    EXPECT_TRUE(fw.SpeedButton15->isVisible());
    vexa::Set_Message_Sink([](vexa::MessageKind, const QString &) {});
}

TEST_F(DownloadOnPty, TheGroupListAddsRemovesAndRefuses)
{
    Ready();
    Click(fw.SpeedButton18);
    Pump(50);
    Click(fw.SpeedButton16);
    Pump(50);
    EXPECT_EQ(app.catcher.messages(), QStringList({"Список пуст", "Список пуст"}));
    app.catcher.clear();

    const QString x = Write_Firmware("x.bin", "x"), y = Write_Firmware("y.bin", "y"), z = Write_Firmware("z.bin", "z");
    Add_To_Group(x, false);
    Add_To_Group(y, false);
    Click(fw.SpeedButton16);
    Pump(50);
    EXPECT_EQ(app.catcher.messages(), QStringList({"Нет выбраныых файлов"}));
    Expect_No_Group();
    Add_To_Group(z, false);
    fw.CheckListBox1->item(0)->setCheckState(Qt::Checked);
    fw.CheckListBox1->item(2)->setCheckState(Qt::Checked);
    {
        FileDialogAnswers cancel({QString()});
        Click(fw.SpeedButton17);
        ASSERT_EQ(cancel.requests().size(), 1);
        EXPECT_EQ(cancel.requests()[0].name, "OpenDialog5");
        EXPECT_EQ(cancel.requests()[0].filter, "Файлы для прошивки в модем|*.*");
    }
    EXPECT_EQ(fw.CheckListBox1->count(), 3);
    EXPECT_EQ(fw.CheckListBox1->width(), 1200);
    Click(fw.SpeedButton18);
    ASSERT_EQ(fw.CheckListBox1->count(), 1);
    EXPECT_EQ(fw.CheckListBox1->item(0)->text(), y);
    EXPECT_EQ(fw.CheckListBox1->item(0)->checkState(), Qt::Unchecked);
    EXPECT_FALSE(Locked());
}

// A group whose second file cannot be read stops there, and leaves no group
// behind that a later download could wake.
TEST_F(DownloadOnPty, AGroupStopsAtAFileThatCannotBeOpened)
{
    const QByteArray content = Firmware_Bytes(5, 4);
    Ready();
    Add_To_Group(Write_Firmware("a.bin", content), true);
    Add_To_Group(app.start.file("gone.bin"), true);
    Add_To_Group(Write_Firmware("c.bin", content), true);
    Click(fw.SpeedButton16);
    EXPECT_EQ(Next_Bytes(132), Expected_Block(1, content));
    pty.write(kAck);
    EXPECT_EQ(Next_Bytes(1), kEot);
    pty.write(kAck);
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }));
    // The next file waits for the modem to ask again after the pause.
    ASSERT_TRUE(Wait_Until([&] { return fw.Next_File_Ready; }));
    Expect_Quiet(300);
    pty.write(kNak);
    ASSERT_TRUE(Wait_Until([&] { return !app.catcher.errors().isEmpty(); }));
    EXPECT_TRUE(app.catcher.errors()[0].contains("gone.bin"));
    Expect_No_Group();
    Expect_Released();
    EXPECT_TRUE(Screen_Shows("Группа файлов остановлена.\r"));
    Pump(1300);
    pty.write(kNak);
    Expect_Quiet(300);
}

TEST_F(DownloadOnPty, AGroupWhoseModemNeverAsksAgainStops)
{
    Ready();
    Add_To_Group(Write_Firmware("a.bin", "a"), true);
    Add_To_Group(Write_Firmware("b.bin", "b"), true);
    Click(fw.SpeedButton16);
    Next_Bytes(132);
    pty.write(kAck);
    Next_Bytes(1);
    pty.write(kAck);
    ASSERT_TRUE(Wait_Until([&] { return !app.catcher.messages().isEmpty(); }, 10000));
    EXPECT_EQ(app.catcher.messages(),
              QStringList({"Модем не готов к прошивке следующего файла. Группа файлов остановлена."}));
    Expect_No_Group();
    Expect_Quiet();
}

// A group started within a second of a finished download: the pause that
// download began must not wake the group in the middle of its first file;
// an EOT met by silence still lets the group go on.
TEST_F(DownloadOnPty, AGroupStartedRightAfterADownloadRunsWhole)
{
    Ready();
    fw.TimerRunNext->Start();  // as every finished download leaves it
    fw.Reply_Timeout_Ms = 600;
    Add_To_Group(Write_Firmware("a.bin", Firmware_Bytes(9 * 128, 1)), true);
    Add_To_Group(Write_Firmware("b.bin", "b"), true);
    Click(fw.SpeedButton16);
    for (int block = 1; block <= 9; ++block) {
        ASSERT_EQ(Next_Bytes(132).size(), 132);
        Pump(200);  // a slow modem: the first file outlasts the pause and the wait for the modem
        pty.write(kAck);
    }
    EXPECT_EQ(Next_Bytes(1), kEot);  // and no answer: the first file is complete all the same
    ASSERT_TRUE(Wait_Until([&] { return fw.Next_File_Ready; }));
    pty.write(kNak);
    EXPECT_EQ(Next_Bytes(132), Expected_Block(1, "b"));
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

// The modem as a scripted receiver: it answers each block in a chunk of its
// own, also a copy it already holds, and rejects the last block once, while
// its request (NAK, or 'C' for CRC) crosses block 1 on the line. A slow one
// takes longer over each block than two block times on the line.
class CrossedRequest : public DownloadOnPty, public ::testing::WithParamInterface<std::pair<char, int>> {};

TEST_P(CrossedRequest, TheModemEndsUpWithTheWholeFile)
{
    const QByteArray request(1, GetParam().first), content = Firmware_Bytes(300, 9);
    const int blockSize = request == "C" ? 133 : 132;
    pty.write(request);
    ASSERT_TRUE(Wait_Until([&] { return fw.SpeedButton15->isVisible(); }));
    Flash(Write_Firmware("fw.bin", content));
    pty.write(request);
    QByteArray in, image;
    bool rejected = false;
    for (int expected = 1;;) {
        for (QByteArray more; !in.startsWith(kEot) && in.size() < blockSize && !(more = pty.read(1)).isEmpty();)
            in += more;
        if (in.startsWith(kEot))
            break;
        ASSERT_GE(in.size(), blockSize);
        const int number = std::uint8_t(in[1]);
        const bool reject = number == 3 && expected == 3 && !std::exchange(rejected, true);
        if (number == expected && !reject)
            image += in.mid(3, 128), ++expected;
        else
            ASSERT_TRUE(reject || number == expected - 1) << number;
        in.remove(0, blockSize);
        Pump(GetParam().second);
        pty.write(reject ? kNak : kAck);
        Pump(30);
    }
    pty.write(kAck);
    ASSERT_TRUE(Wait_Until([&] { return !Locked(); }));
    EXPECT_EQ(image, Padded(content));
    EXPECT_TRUE(Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"));
}

INSTANTIATE_TEST_SUITE_P(Requests, CrossedRequest,
                         ::testing::Values(std::pair('\x15', 0), std::pair('C', 0), std::pair('\x15', 700)));

}  // namespace
