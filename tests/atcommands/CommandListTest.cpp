// The command list block as a user drives it: sending, loading lists,
// the autoload at start and its switch, and the list editor.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "atcommands/AtCommands.h"
#include "atcommands/AtTestSupport.h"
#include "atcommands/ZRMComList.h"
#include "atcommands/ZRMComScript.h"
#include "mainwindow/OutCHARinASCII.h"
#include "platform/Cp1251.h"
#include "serial/FakePortFixture.h"

namespace {

std::vector<std::uint8_t> Bytes(const QByteArray &text) { return {text.begin(), text.end()}; }

// What the port got since the last look.
std::vector<std::uint8_t> Taken(vexa::FakeLine &line)
{
    std::lock_guard<std::mutex> lock(line.mutex);
    return std::exchange(line.written, {});
}

QStringList Items(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// A start folder with this autoload configuration, or none at all.
struct Start {
    ScratchStart start;
    MessageCatcher catcher;
    std::unique_ptr<TForm1> form;
    explicit Start(const std::optional<QByteArray> &config)
    {
        if (config)
            Write_File(start.file("Config/ATComm/ATList.nee"), *config);
    }
    void Launch() { form.reset(Create_Application_Forms()); }
    QByteArray Config() const { return Read_File(start.file("Config/ATComm/ATList.nee")); }
};

}  // namespace

TEST_F(FakePortTest, SendWritesTheBoxTextAndOneCrAfterItsBlueEcho)
{
    app->Pick_Port(kModem);
    Taken(*modem);
    // Nothing chosen yet: the prompt itself goes out, 16 bytes and CR.
    QTest::mouseClick(form().Commands->SpeedButton4, Qt::LeftButton);
    EXPECT_EQ(Taken(*modem), Bytes(Cp("Выбирете команду") + '\r'));
    EXPECT_TRUE(Cell_Has(form(), 0, 0, kBlue));
    EXPECT_EQ(form().Cursor_Y, kLineHeight);

    const QString list = app->start.file("list.atl");
    Write_File(list, "AT+CFUN=1 \r\n\r\nAT&W\r\n");
    FileDialogAnswers answers({list});
    QTest::mouseClick(form().Commands->SpeedButton3, Qt::LeftButton);
    ASSERT_EQ(Items(form().Commands->ComboBox6), QStringList({"AT+CFUN=1 ", "", "AT&W"}));
    EXPECT_EQ(form().Commands->ComboBox6->currentText(), QString::fromUtf8("Выбирете команду"));  // the text stays
    EXPECT_EQ(answers.requests().at(0).name, QString("OpenDialog1"));
    EXPECT_EQ(answers.requests().at(0).filter, QString::fromUtf8("Файл списка АТ команд|*.atl"));

    form().Commands->ComboBox6->setCurrentIndex(0);
    QTest::mouseClick(form().Commands->SpeedButton4, Qt::LeftButton);
    EXPECT_EQ(Taken(*modem), Bytes(QByteArray::fromHex("41542B4346554E3D31200D")));

    // The empty item sends nothing and draws nothing.
    const int cursorY = form().Cursor_Y, viewed = form().Form4->Line_Count();
    form().Commands->ComboBox6->setCurrentIndex(1);
    QTest::mouseClick(form().Commands->SpeedButton4, Qt::LeftButton);
    EXPECT_TRUE(Taken(*modem).empty());
    EXPECT_EQ(form().Cursor_Y, cursorY);
    EXPECT_EQ(form().Form4->Line_Count(), viewed);

    const QByteArray longCommand = "AT" + QByteArray(298, 'X');
    form().Commands->ComboBox6->setEditText(QString::fromLatin1(longCommand));
    QTest::mouseClick(form().Commands->SpeedButton4, Qt::LeftButton);
    EXPECT_EQ(Taken(*modem), Bytes(longCommand + '\r'));

    // A failed write is reported once; the echo stays.
    modem->failWrite = true;
    form().Commands->ComboBox6->setCurrentIndex(2);
    const int before = form().Form4->Line_Count();
    QTest::mouseClick(form().Commands->SpeedButton4, Qt::LeftButton);
    EXPECT_EQ(messages(), QStringList({QString::fromUtf8("Oшибка записи в порт")}));
    EXPECT_EQ(form().Form4->Line_Count(), before + 5);  // "AT&W" and its CR
}

TEST(CommandList, ListFilesGiveOneItemPerLineWhateverTheLineBreaks)
{
    Application app;
    TForm1 &f = *app.form;
    const QStringList expected = {"AT+CFUN=1", "", "AT&W"};
    const QByteArray files[] = {"AT+CFUN=1\r\n\r\nAT&W\r\n", "AT+CFUN=1\r\rAT&W\r", "AT+CFUN=1\n\nAT&W\n",
                                "AT+CFUN=1\r\n\r\nAT&W", QByteArray("AT+CFUN=1\r\n\r\nAT&W\r\n\0ATI\r\n", 23)};
    for (const QByteArray &bytes : files) {
        const QString path = app.start.file("list.atl");
        Write_File(path, bytes);
        FileDialogAnswers answers({path});
        f.Commands->SpeedButton3->click();
        EXPECT_EQ(Items(f.Commands->ComboBox6), expected) << bytes.toHex().toStdString();
    }
    // Cyrillic text is cp1251 in the file.
    Write_File(app.start.file("ru.atl"), Cp("АТ команда\r\n"));
    FileDialogAnswers ru({app.start.file("ru.atl")});
    f.Commands->SpeedButton3->click();
    EXPECT_EQ(Items(f.Commands->ComboBox6), QStringList({QString::fromUtf8("АТ команда")}));

    // A list that cannot be read is reported and the box keeps its items;
    // a cancelled dialog changes nothing.
    FileDialogAnswers missing({app.start.file("gone.atl"), QString()});
    f.Commands->SpeedButton3->click();
    f.Commands->SpeedButton3->click();
    EXPECT_EQ(app.catcher.errors().size(), 1);
    EXPECT_TRUE(app.catcher.errors().value(0).contains("gone.atl"));
    EXPECT_EQ(Items(f.Commands->ComboBox6), QStringList({QString::fromUtf8("АТ команда")}));
}

TEST(CommandList, TypingIntoTheBoxHandsTheNextKeysToTheTerminal)
{
    Application app;
    TForm1 &f = *app.form;
    Pty pty;
    ASSERT_TRUE(Activate(f));
    app.Pick_Port(pty.slavePath());
    ASSERT_TRUE(f.Serial->PortHeld);
    QTest::mouseClick(f.Commands->ComboBox6->lineEdit(), Qt::LeftButton);
    ASSERT_TRUE(QApplication::focusWidget() == f.Commands->ComboBox6 ||
                f.Commands->ComboBox6->isAncestorOf(QApplication::focusWidget()));
    f.Commands->ComboBox6->lineEdit()->selectAll();
    Type(f, "AT");
    EXPECT_EQ(f.Commands->ComboBox6->currentText(), QString("A"));
    EXPECT_EQ(pty.read(1), QByteArray("T"));
}

TEST(Autoload, MissingEmptyAndBrokenConfigurations)
{
    {
        Start s(std::nullopt);
        s.Launch();
        EXPECT_EQ(s.catcher.messages(),
                  QStringList({QString::fromUtf8(
                      "Не хватает файла конфигурации для составления списка АТ команд, режим ручного ввода.")}));
        EXPECT_FALSE(QFile::exists(s.start.file("Config/ATComm/ATList.nee")));
        EXPECT_EQ(s.form->Commands->ComboBox6->count(), 0);
    }
    {
        Start s{QByteArray()};
        s.Launch();
        EXPECT_TRUE(s.catcher.messages().isEmpty());
        EXPECT_FALSE(s.form->Commands->CheckBox3->isChecked());
    }
    for (const QByteArray &config : {QByteArray("LoadATCommandList\r\n/nowhere/gone.atl\r\n"),
                                     QByteArray("LoadATCommandList\r\n\r\n"), QByteArray("LoadATCommandList")}) {
        Start s(config);
        s.Launch();
        EXPECT_EQ(s.catcher.messages(),
                  QStringList({QString::fromUtf8("Нет файла AT команд или не правильно указан путь к данному файлу. "
                                                 "Попробуйте выбрать заново.")}));
        EXPECT_TRUE(s.catcher.errors().isEmpty());
        EXPECT_EQ(s.Config(), QByteArray("NoLoadATCommandList\r\nNoFile\r\n"));
        EXPECT_FALSE(s.form->Commands->CheckBox3->isChecked());
    }
}

TEST(Autoload, ANamedListIsLoadedAndTheBoxTickedWithoutRewritingTheFile)
{
    for (const bool full : {true, false}) {
        Start s(std::nullopt);
        const QByteArray list = full ? s.start.file("Lists/first.atl").toUtf8() : QByteArray("Lists/first.atl");
        const QByteArray config = "LoadATCommandList\r\n" + list + "\r\n";
        Write_File(s.start.file("Config/ATComm/ATList.nee"), config);
        Write_File(s.start.file("Lists/first.atl"), "AT\r\nATI\r\n");
        s.Launch();
        EXPECT_TRUE(s.catcher.messages().isEmpty()) << full;
        EXPECT_TRUE(s.form->Commands->CheckBox3->isChecked()) << full;
        EXPECT_EQ(Items(s.form->Commands->ComboBox6), QStringList({"AT", "ATI"})) << full;
        EXPECT_EQ(s.Config(), config) << full;
        EXPECT_FALSE(s.form->Commands->Config_Loading);
    }
}

TEST(Autoload, TheBoxWritesTheConfigurationAtEachUserChange)
{
    Start s(QByteArray("NoLoadATCommandList\r\nNoFile\r\n"));
    Write_File(s.start.file("Lists/first.atl"), "AT\r\n");
    s.Launch();
    TForm1 &f = *s.form;
    ASSERT_TRUE(Activate(f));
    FileDialogAnswers answers({QString()});
    QTest::mouseClick(f.Commands->CheckBox3, Qt::LeftButton, {}, QPoint(8, f.Commands->CheckBox3->height() / 2));
    ASSERT_TRUE(f.Commands->CheckBox3->isChecked());
    EXPECT_EQ(s.Config(), QByteArray());  // cancelled: an empty file, the box stays ticked
    EXPECT_EQ(answers.requests().at(0).directory, f.Start_Directory);

    QTest::mouseClick(f.Commands->CheckBox3, Qt::LeftButton, {}, QPoint(8, f.Commands->CheckBox3->height() / 2));
    EXPECT_EQ(s.Config(), QByteArray("NoLoadATCommandList\r\nNoFile\r\n"));
    // A path the file cannot hold in cp1251 is refused; nothing changes.
    const QString foreign = s.start.file(QString::fromUtf8("Lists/列表.atl"));
    answers.add(foreign);
    answers.add(s.start.file("Lists/first.atl"));
    QTest::mouseClick(f.Commands->CheckBox3, Qt::LeftButton, {}, QPoint(8, f.Commands->CheckBox3->height() / 2));
    EXPECT_FALSE(f.Commands->CheckBox3->isChecked());
    EXPECT_EQ(s.Config(), QByteArray("NoLoadATCommandList\r\nNoFile\r\n"));
    ASSERT_EQ(s.catcher.messages().size(), 1);
    EXPECT_TRUE(s.catcher.messages()[0].contains(foreign));
    QTest::mouseClick(f.Commands->CheckBox3, Qt::LeftButton, {}, QPoint(8, f.Commands->CheckBox3->height() / 2));
    EXPECT_EQ(s.Config(), "LoadATCommandList\r\n" + s.start.file("Lists/first.atl").toUtf8() + "\r\n");
    EXPECT_EQ(f.Commands->ComboBox6->count(), 0);  // loaded at the next start, not now
    s.catcher.clear();

    QDir(s.start.path()).removeRecursively();
    QTest::mouseClick(f.Commands->CheckBox3, Qt::LeftButton, {}, QPoint(8, f.Commands->CheckBox3->height() / 2));
    EXPECT_EQ(s.catcher.messages(), QStringList({QString::fromUtf8("Нету файла списка АТ команд")}));
    EXPECT_FALSE(f.Commands->CheckBox3->isChecked());
}

TEST(ListEditor, CreatesAListWhereTheUserSaidAndRefusesEmptyFields)
{
    Application app;
    TForm1 &f = *app.form;
    QStringList warnings;
    When_Modal([&](QWidget *modal) {
        EXPECT_EQ(modal, f.Form2);
        EXPECT_EQ(f.Form2->windowTitle(), QString::fromUtf8("Создание списка AT команд"));
        EXPECT_TRUE(f.Form2->Edit1->text().isEmpty());
        f.Form2->SpeedButton2->click();
        f.Form2->Edit1->setText("mine.atl");
        f.Form2->SpeedButton2->click();
        warnings = app.catcher.warnings();
        EXPECT_TRUE(f.Form2->isVisible());
        f.Form2->Memo1->setPlainText("AT\nAT+CSQ ");
        QDir::setCurrent(QDir::tempPath());  // a dialog elsewhere moved the current directory
        f.Form2->SpeedButton2->click();
    });
    f.Commands->SpeedButton1->click();
    EXPECT_EQ(warnings, QStringList(2, QString::fromUtf8("Не все поля заполнены ")));
    EXPECT_FALSE(f.Form2->isVisible());
    EXPECT_EQ(Read_File(app.start.file("mine.atl")), QByteArray("AT\r\nAT+CSQ "));
    EXPECT_TRUE(app.catcher.errors().isEmpty());
}

TEST(ListEditor, EditsAListWithEveryBreakTurnedIntoCrLf)
{
    Application app;
    TForm1 &f = *app.form;
    const QString path = app.start.file("old.atl");
    const QString copy = app.start.file("copy.atl");
    // Every other byte, 0xA0 (a non-breaking space) and NUL among them, comes
    // back as it was.
    QByteArray every;
    for (int byte = 0; byte < 256; ++byte)
        if (byte != '\r' && byte != '\n')
            every += char(byte);
    Write_File(path, Cp("AT\rATI\nАТ\r\n") + every);
    FileDialogAnswers answers({path, copy});
    When_Modal([&](QWidget *) {
        EXPECT_EQ(f.Form2->windowTitle(), QString::fromUtf8("Редактирование списка AT команд"));
        EXPECT_EQ(f.Form2->Edit1->text(), path);
        EXPECT_TRUE(f.Form2->Memo1->toPlainText().startsWith(QString::fromUtf8("AT\nATI\nАТ\n")));
        f.Form2->SpeedButton1->click();  // "Дерево"
        EXPECT_EQ(f.Form2->Edit1->text(), copy);
        f.Form2->SpeedButton2->click();
    });
    f.Commands->SpeedButton2->click();
    EXPECT_EQ(Read_File(copy), Cp("AT\r\nATI\r\nАТ\r\n") + every);
    ASSERT_EQ(answers.requests().size(), 2);
    EXPECT_EQ(answers.requests()[0].directory, f.Start_Directory);
    const vexa::FileDialogRequest save = answers.requests()[1];
    EXPECT_EQ(save.kind, vexa::FileDialogKind::Save);
    EXPECT_EQ(save.name, QString("SaveDialog1"));
    EXPECT_EQ(save.directory, f.Start_Directory);
    EXPECT_EQ(save.defaultSuffix, QString("atl"));
    EXPECT_EQ(save.filter, QString::fromUtf8("Файл списка АТ команд|*.atl"));
}

TEST(ScriptEditor, IsTheListEditorWithItsOwnNamesAndDialog)
{
    Application app;
    TForm1 &f = *app.form;
    FileDialogAnswers answers({app.start.file("new.ats")});
    When_Modal([&](QWidget *modal) {
        EXPECT_EQ(modal, f.Form3);
        EXPECT_EQ(f.Form3->windowTitle(), QString::fromUtf8("Создание скрипта AT команд"));
        QTest::keyClick(f.Form3->Edit1, Qt::Key_Return);  // presses no button: no dialog
        f.Form3->SpeedButton1->click();
        f.Form3->Memo1->setPlainText("ATI");
        f.Form3->SpeedButton2->click();
    });
    f.Commands->SpeedButton5->click();
    EXPECT_EQ(Read_File(app.start.file("new.ats")), QByteArray("ATI"));
    ASSERT_EQ(answers.requests().size(), 1);
    EXPECT_EQ(answers.requests()[0].defaultSuffix, QString("ats"));
    EXPECT_EQ(answers.requests()[0].filter, QString::fromUtf8("файл скриптов АТ команд|*.ats"));
    EXPECT_NE(f.Form3->findChild<QLabel *>(), nullptr);
    EXPECT_EQ(f.Form3->findChild<QLabel *>()->text(), QString::fromUtf8("Имя файла"));
}
