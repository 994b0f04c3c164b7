#include "atcommands/ZRMCreateATcommandScriptForm.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "atcommands/AtFiles.h"
#include "atcommands/AtWidgets.h"
#include "atcommands/TextLines.h"
#include "platform/Controls.h"
#include "platform/Cp1251.h"
#include "platform/FileDialogs.h"
#include "platform/Messages.h"

TForm7::TForm7(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Создание скрипта AT команд при помощи формы"));
    setFixedSize(640, 520);
    Build_Controls();
    On_User_Change(ComboBox1, this, [this] { ComboBox1Change(); });
    On_User_Change(ComboBox2, this, [this] { ComboBox2Change(); });
    connect(SpeedButton1, &QPushButton::clicked, this, &TForm7::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TForm7::SpeedButton2Click);
    Without_Default_Button(this);
}

void TForm7::Build_Controls()
{
    Label(QStringLiteral("Режим работы модема:"), this, 8, 8);
    ComboBox1 = Combo("ComboBox1", this, {8, 26, 624, 22});
    ComboBox1->setEditText(QStringLiteral("Выбирете режим работы модема"));
    Label(QStringLiteral("Команда:"), this, 8, 54);
    ComboBox2 = Combo("ComboBox2", this, {8, 72, 624, 22});
    ComboBox2->setEditText(QStringLiteral("Выбирете команду"));
    Label(QStringLiteral("Описание команды:"), this, 8, 100);
    Memo1 = Named(new QPlainTextEdit(this), "Memo1");
    Memo1->setGeometry(8, 118, 624, 138);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const char *const names[kMaxParameters] = {"ComboBox3", "ComboBox4", "ComboBox5", "ComboBox6", "ComboBox7"};
    for (int k = 0; k < kMaxParameters; ++k) {
        const int y = 268 + k * 28;
        Label(QStringLiteral("Парамерт%1:").arg(k + 1), this, 8, y + 4);
        Parameter[k] = Combo(names[k], this, {90, y, 226, 22});
        Parameter[k]->setEditText(QStringLiteral("Выбирете значение"));
    }
    SpeedButton1 = Named(new QPushButton(QStringLiteral("Добавить в скрипт"), this), "SpeedButton1");
    SpeedButton1->setGeometry(8, 412, 308, 28);
    SpeedButton1->hide();
    Label(QStringLiteral("Создаваемый скрипт AT команд:"), this, 324, 268);
    Memo2 = Named(new QPlainTextEdit(this), "Memo2");
    Memo2->setGeometry(324, 286, 308, 190);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SpeedButton2 = Named(new QPushButton(QStringLiteral("Сохранить в файл"), this), "SpeedButton2");
    SpeedButton2->setGeometry(324, 484, 308, 28);
}

void TForm7::Open(const QString &startDirectory)
{
    startDirectory_ = startDirectory;
    QDir::setCurrent(startDirectory_);
    table_ = CommandTable();
    record_ = CommandRecord();
    ComboBox1->clear();
    Memo1->clear();
    ComboBox2->clear();
    Memo2->clear();
    SpeedButton1->hide();
    for (QComboBox *field : Parameter) {
        Fill_Items(field, {}, QStringLiteral("Выберите параметр"));
        field->setEnabled(false);
    }
    const auto modes = Read_Whole_File(QDir(startDirectory_).filePath(QString::fromLatin1(kModeListPath)));
    if (modes)
        Fill_Items(ComboBox1, Decoded_Lines(Read_Text_Lines(*modes)), QStringLiteral("Выбирете режим работы модема"));
    else
        vexa::Show_Message(QStringLiteral("Не хватает файла конфигурации \"Списка режимов\""));
}

// The mode's table replaces the one before; the parameter fields and the
// script stay, so one script may collect commands of several modes.
void TForm7::ComboBox1Change()
{
    Memo1->clear();
    ComboBox2->clear();
    table_ = CommandTable();
    const WorkingMode *mode = Find_Mode(ComboBox1->currentText());
    const auto file =
        mode ? Read_Whole_File(
                   QDir(startDirectory_).filePath(QString::fromLatin1(kTableFolder) + QString::fromLatin1(mode->File)))
             : std::nullopt;
    const auto table = file ? Read_Command_Table(*file) : std::nullopt;
    const CommandListing listing = table ? List_Commands(*table) : CommandListing();
    if (table)
        table_ = *table;
    Fill_Items(ComboBox2, Decoded_Lines(listing.Names),
               listing.Complete ? QStringLiteral("Выберите команду") : QString());
    if (!listing.Complete)
        vexa::Show_Message(QStringLiteral("Не хватает файла конфигурации \"Настроек, для данного режима\""));
}

void TForm7::ComboBox2Change()
{
    SpeedButton1->show();
    record_ = CommandRecord();
    Memo1->clear();
    const bool wellFormed = Choose_Command(table_, vexa::Cp1251_Encode(ComboBox2->currentText()), record_);
    for (int k = 0; k < kMaxParameters; ++k) {
        Fill_Items(Parameter[k], Decoded_Lines(record_.Values[k]), QStringLiteral("Выберите значение"));
        Parameter[k]->setEnabled(k < record_.Parameter_Count);
    }
    for (const QByteArray &line : record_.Description)
        Memo1->appendPlainText(vexa::Cp1251_Decode(line));
    if (!wellFormed)
        vexa::Show_Message(QStringLiteral("Не правильно описаны команды в файле конфигурации"));
}

void TForm7::SpeedButton1Click()
{
    if (!record_.Found) {
        vexa::Show_Error(QStringLiteral("Команда \"") + ComboBox2->currentText() +
                         QStringLiteral("\" не описана в файле конфигурации: нет числа параметров"));
        return;
    }
    QList<QByteArray> fields;
    for (QComboBox *field : Parameter)
        fields << vexa::Cp1251_Encode(field->currentText());
    const QByteArray line = Script_Line(record_, fields, Is_Unquoted_Mode(ComboBox1->currentText()));
    Memo2->appendPlainText(vexa::Cp1251_Decode(line));
}

void TForm7::SpeedButton2Click()
{
    QDir::setCurrent(startDirectory_);
    const QString path =
        vexa::Choose_File(this, {vexa::FileDialogKind::Save, QStringLiteral("SaveDialog1"), startDirectory_,
                                 QStringLiteral("Файл скрипта AT соманд|*.ats"), QStringLiteral("ats")});
    if (path.isEmpty())
        return;
    QStringList lines = Area_Text(Memo2).split(QLatin1Char('\n'));
    if (lines.constLast().isEmpty())
        lines.removeLast();
    QByteArray text;
    for (const QString &line : lines)
        text += vexa::Cp1251_Encode(line) + "\r\n";
    QString reason;
    if (!Write_Whole_File(path, text, &reason))
        vexa::Show_Error(reason);
}
