// The form-based script builder with the shipped tables, with bad tables,
// and a script it made, run against the simulated modem.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "atcommands/AtCommands.h"
#include "atcommands/AtTestSupport.h"
#include "atcommands/ZRMCreateATcommandScriptForm.h"
#include "platform/Cp1251.h"
#include "support/TestSupport.h"

namespace {

const QString kCom = QString::fromUtf8("Настрйки COM порта модема");
const QString kInet = QString::fromUtf8("Режим работы модем - интернет");
const QString kSms = QString::fromUtf8("Режим работы модема через SMS сообщения");

QStringList Items(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QString Pick_Placeholder() { return QString::fromUtf8("Выберите значение"); }

}  // namespace

TEST(Builder, ComposesLinesFromModesCommandsAndValues)
{
    Application app;
    TForm1 &f = *app.form;
    Lay_Out_Tables(app.start.path());
    TForm7 &b = *f.Form7;
    const QString saved = app.start.file("built.ats");
    FileDialogAnswers answers({saved});
    When_Modal([&](QWidget *modal) {
        ASSERT_EQ(modal, &b);
        EXPECT_EQ(Items(b.ComboBox1).size(), 5);
        EXPECT_EQ(b.ComboBox1->currentText(), QString::fromUtf8("Выбирете режим работы модема"));
        EXPECT_TRUE(b.SpeedButton1->isHidden());
        for (QComboBox *field : b.Parameter) {
            EXPECT_FALSE(field->isEnabled());
            EXPECT_EQ(field->currentText(), QString::fromUtf8("Выберите параметр"));
        }
        ASSERT_TRUE(Choose(b.ComboBox1, kCom));
        EXPECT_EQ(b.ComboBox2->currentText(), QString::fromUtf8("Выберите команду"));
        ASSERT_TRUE(Choose(b.ComboBox2, QString::fromUtf8("AT+IPR - скорость порта")));
        EXPECT_FALSE(b.SpeedButton1->isHidden());
        EXPECT_TRUE(b.Parameter[0]->isEnabled());
        EXPECT_FALSE(b.Parameter[1]->isEnabled());
        EXPECT_EQ(Items(b.Parameter[0]).size(), 9);
        EXPECT_EQ(b.Parameter[0]->currentText(), Pick_Placeholder());
        EXPECT_TRUE(b.Memo1->toPlainText().startsWith(QString::fromUtf8("Задаёт скорость обмена")));
        // Enter in a field presses no button: no line is added.
        QTest::keyClick(b.ComboBox2->lineEdit(), Qt::Key_Return);
        QTest::keyClick(b.Parameter[0]->lineEdit(), Qt::Key_Enter);
        EXPECT_TRUE(b.Memo2->toPlainText().isEmpty());
        ASSERT_TRUE(Choose(b.Parameter[0], "115200"));
        b.SpeedButton1->click();

        // Another mode: the fields and the script stay, values are quoted.
        ASSERT_TRUE(Choose(b.ComboBox1, kInet));
        EXPECT_EQ(b.Parameter[0]->currentText(), "115200");
        ASSERT_TRUE(Choose(b.ComboBox2, QString::fromUtf8("AT+CFUN=1 - полный режим работы")));
        for (QComboBox *field : b.Parameter)
            EXPECT_FALSE(field->isEnabled());
        b.SpeedButton1->click();
        b.SpeedButton1->click();  // twice: the command stays chosen
        // A typed value goes in as typed; an untouched one as its placeholder.
        ASSERT_TRUE(Choose(b.ComboBox2, QString::fromUtf8("AT+CPIN - ввод PIN-кода")));
        EXPECT_EQ(b.Parameter[0]->count(), 0);
        b.Parameter[0]->setFocus();
        b.Parameter[0]->lineEdit()->selectAll();
        QTest::keyClicks(b.Parameter[0], "0000");
        b.SpeedButton1->click();
        ASSERT_TRUE(Choose(b.ComboBox1, kSms));
        ASSERT_TRUE(Choose(b.ComboBox2, QString::fromUtf8("AT+CSCS - набор символов")));
        ASSERT_TRUE(Choose(b.Parameter[0], "UCS2"));
        b.SpeedButton1->click();
        ASSERT_TRUE(Choose(b.ComboBox2, QString::fromUtf8("AT+CSCS - набор символов")));
        b.SpeedButton1->click();
        b.SpeedButton2->click();
        b.reject();
    });
    f.Commands->SpeedButton6->click();
    const QString expected = QString::fromUtf8(
        "AT+IPR=115200\r\nAT+CFUN=1\r\nAT+CFUN=1\r\nAT+CPIN=\"0000\"\r\nAT+CSCS=\"UCS2\"\r\nAT+CSCS=\"Выберите "
        "значение\"\r\n");
    EXPECT_EQ(Read_File(saved), vexa::Cp1251_Encode(expected));
    ASSERT_EQ(answers.requests().size(), 1);
    EXPECT_EQ(answers.requests()[0].name, QString("SaveDialog1"));
    EXPECT_EQ(answers.requests()[0].filter, QString::fromUtf8("Файл скрипта AT соманд|*.ats"));
    EXPECT_EQ(answers.requests()[0].defaultSuffix, QString("ats"));
    EXPECT_EQ(answers.requests()[0].directory, f.Start_Directory);
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();

    // Each opening starts empty; an empty script saves an empty file.
    b.Open(f.Start_Directory);
    EXPECT_TRUE(b.Memo2->toPlainText().isEmpty());
    EXPECT_EQ(b.ComboBox2->count(), 0);
    FileDialogAnswers again({saved});
    b.SpeedButton2->click();
    EXPECT_EQ(Read_File(saved), QByteArray());
}

TEST(Builder, MissingOrUnknownTablesAreReportedWithWhatWasRead)
{
    Application app;
    TForm7 &b = *app.form->Form7;
    b.Open(app.start.path());
    EXPECT_EQ(app.catcher.messages(),
              QStringList({QString::fromUtf8("Не хватает файла конфигурации \"Списка режимов\"")}));
    EXPECT_EQ(b.ComboBox1->count(), 0);

    // Every line of the mode list is an entry, blank ones too; a name that is
    // not one of the five opens no table.
    Write_File(app.start.file("Config/ATScript/ScriptMode.amd"),
               vexa::Cp1251_Encode(kCom + QString::fromUtf8("\r\n\r\nДругой режим\r\n")));
    app.catcher.clear();
    b.Open(app.start.path());
    EXPECT_EQ(Items(b.ComboBox1), QStringList({kCom, QString(), QString::fromUtf8("Другой режим")}));
    ASSERT_TRUE(Choose(b.ComboBox1, QString::fromUtf8("Другой режим")));
    ASSERT_TRUE(Choose(b.ComboBox1, kCom));  // its table is missing
    EXPECT_EQ(app.catcher.messages(),
              QStringList(2, QString::fromUtf8("Не хватает файла конфигурации \"Настроек, для данного режима\"")));

    // A table that promises more records than it holds lists what it has.
    Write_File(app.start.file("Config/ATScript/COMconf.atc"), "2\r\nAT+A\r\n6\r\n5\r\nAT+A\r\n0\r\nend\r\n");
    app.catcher.clear();
    ASSERT_TRUE(Choose(b.ComboBox1, kCom));
    EXPECT_EQ(Items(b.ComboBox2), QStringList({"AT+A"}));
    EXPECT_EQ(app.catcher.messages().size(), 1);

    // With R = T + 1 there is no description; the command text matched a
    // second time as a name is no record: the message, and the first match stays.
    app.catcher.clear();
    ASSERT_TRUE(Choose(b.ComboBox2, "AT+A"));
    EXPECT_TRUE(b.Memo1->toPlainText().isEmpty());
    EXPECT_EQ(app.catcher.messages(),
              QStringList({QString::fromUtf8("Не правильно описаны команды в файле конфигурации")}));
    b.SpeedButton1->click();
    EXPECT_EQ(b.Memo2->toPlainText(), QString("AT+A"));

    // A command that is in no table adds nothing and says why.
    b.ComboBox2->setEditText("AT+NOTHING");
    emit b.ComboBox2->lineEdit()->textEdited("AT+NOTHING");
    emit b.ComboBox2->lineEdit()->editingFinished();
    b.SpeedButton1->click();
    EXPECT_EQ(b.Memo2->toPlainText(), QString("AT+A"));
    EXPECT_EQ(app.catcher.errors().size(), 1);
}

TEST(Builder, AScriptItMadeRunsToItsEndAgainstTheSimulatedModem)
{
    Application app;
    TForm1 &f = *app.form;
    Lay_Out_Tables(app.start.path());
    TForm7 &b = *f.Form7;
    b.Open(f.Start_Directory);
    // Every command of every mode with every value of each parameter; a
    // field without values gets what a user would type.
    int lines = 0;
    for (const QString &mode : Items(b.ComboBox1)) {
        ASSERT_TRUE(Choose(b.ComboBox1, mode));
        for (const QString &command : Items(b.ComboBox2)) {
            ASSERT_TRUE(Choose(b.ComboBox2, command));
            int widest = 1;
            for (QComboBox *field : b.Parameter)
                widest = std::max(widest, field->isEnabled() ? field->count() : 0);
            for (int i = 0; i < widest; ++i, ++lines) {
                for (QComboBox *field : b.Parameter) {
                    if (field->isEnabled() && field->count() == 0) {
                        field->setEditText("1234");
                    } else if (field->isEnabled()) {
                        ASSERT_TRUE(Choose(field, field->itemText(i % field->count())));
                    }
                }
                b.SpeedButton1->click();
            }
        }
    }
    ASSERT_GT(lines, 100);
    FileDialogAnswers answers({app.start.file("all.ats")});
    b.SpeedButton2->click();

    // The modem sends unsolicited codes often, also between the lines of an
    // answer, and its stored messages read like result codes.
    Simulated_Modem modem(app.start.path(), {"--search-time", "200", "--urc-period", "30"});
    ASSERT_FALSE(modem.Port.isEmpty());
    app.Pick_Port(modem.Port);
    ASSERT_TRUE(f.Serial->PortHeld);
    f.Commands->Timer2->Set_Interval(20);
    f.Commands->Edit_Script[0]->setText(app.start.file("all.ats"));
    f.Commands->SpeedButton_Script_RUN[0]->click();
    ASSERT_TRUE(Wait_Until([&] { return !f.Commands->State.Script_Running; }, 60000));
    const QByteArray log = Read_File(app.start.file("Logs/ScriptLog.atl"));
    const QStringList steps = QString::fromLatin1(log).split(QStringLiteral("***********\rCOMMAND:   ")).mid(1);
    ASSERT_EQ(steps.size(), lines);
    // Read the way this modem prints: the line after a message header is
    // the text, whatever it says; every other line is the echo, an answer's
    // line, its OK or a code. Each step has one OK and only codes after it:
    // a step sent early leaves the OK of the one before to it.
    const QRegularExpression header(QStringLiteral("^\\+C(MGL|MGR|MT|BM):"));
    const QRegularExpression code(
        QStringLiteral("^(RING|NO CARRIER|\\+C(RING|LIP|REG|GREG|EREG|GEV|USD|DSI|MTI|MT|BM):)"));
    int codes = 0, inside = 0;
    for (const QString &step : steps) {
        const QStringList got = step.split(QRegularExpression(QStringLiteral("\r\n?")));
        int finals = 0;
        bool begun = false;  // an answer line came
        for (qsizetype i = 2; i < got.size(); ++i) {
            if (got[i].contains(code)) {
                ++codes;
                inside += begun && !finals;
            } else if (got[i] == QStringLiteral("OK")) {
                ++finals;
            } else if (!got[i].isEmpty()) {
                EXPECT_TRUE(!finals && !got[i].contains(QStringLiteral("ERROR"))) << step.toStdString();
                begun = true;
            }
            i += got[i].contains(header);
        }
        EXPECT_EQ(finals, 1) << step.toStdString();
    }
    EXPECT_GT(codes, lines / 4);
    EXPECT_GT(inside, 0);  // between the lines of an answer
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}
