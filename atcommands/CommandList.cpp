// The command list block of the command page: loading, editing and sending
// AT command lists, and their autoload at start.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSignalBlocker>
#include <optional>

#include "atcommands/AutoloadConfig.h"
#include "atcommands/TextLines.h"
#include "atcommands/ZRMComList.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/FileDialogs.h"
#include "platform/Messages.h"

namespace {

constexpr char kListFilter[] = "Файл списка АТ команд|*.atl";

// Asks OpenDialog1 for a list; an empty folder leaves the dialog where it was.
QString Choose_List(QWidget *parent, const QString &folder)
{
    return vexa::Choose_File(parent, {vexa::FileDialogKind::Open, QStringLiteral("OpenDialog1"), folder,
                                      QString::fromUtf8(kListFilter), QString()});
}

// The items of a list file, or the reason it cannot be read.
std::optional<QStringList> Read_List(const QString &path, QString &reason)
{
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        reason = path + QStringLiteral(": ") + file.errorString();
        return std::nullopt;
    }
    return Decoded_Lines(Split_List_Lines(bytes));
}

// The box's items become the list's lines; the text it shows stays.
void Fill_List(QComboBox *box, const QStringList &items)
{
    const QString shown = box->currentText();
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setEditText(shown);
}

}  // namespace

void TForm1::SpeedButton4Click()
{
    Send_Echoed_Line(vexa::Cp1251_Encode(ComboBox6->currentText()), kBlue);
}

// Any change of the box's text hands the keyboard back to the terminal.
void TForm1::ComboBox6Change() { Clear_Focus(); }

bool TForm1::Load_AT_List(const QString &path)
{
    QString reason;
    const auto items = Read_List(path, reason);
    if (!items) {
        vexa::Show_Error(reason);
        return false;
    }
    Fill_List(ComboBox6, *items);
    return true;
}

void TForm1::SpeedButton3Click()
{
    const QString path = Choose_List(this, AtCommands.OpenDialog1_Folder);
    if (!path.isEmpty())
        Load_AT_List(path);
}

void TForm1::SpeedButton1Click() { Form2->Open(QStringLiteral("Создание списка AT команд"), Start_Directory); }

void TForm1::SpeedButton2Click()
{
    Enter_Start_Directory();
    AtCommands.OpenDialog1_Folder = Start_Directory;
    if (const QString path = Choose_List(this, AtCommands.OpenDialog1_Folder); !path.isEmpty())
        Form2->Open(QStringLiteral("Редактирование списка AT команд"), Start_Directory, path);
}

// A configuration that cannot be read at all leaves the list empty for typed
// commands; one that names a list that is gone is reset to "off".
void TForm1::Autoload_AT_List()
{
    Enter_Start_Directory();
    QFile config(QString::fromLatin1(kAutoloadConfigPath));
    const bool opened = config.open(QIODevice::ReadOnly);
    const QByteArray bytes = opened ? config.readAll() : QByteArray();
    if (!opened || config.error() != QFileDevice::NoError) {
        vexa::Show_Message(QStringLiteral(
            "Не хватает файла конфигурации для составления списка АТ команд, режим ручного ввода."));
        return;
    }
    config.close();
    const AutoloadChoice choice = Read_Autoload(bytes);
    if (!choice.On)
        return;
    QString reason;
    const auto items = choice.Path.isEmpty() ? std::nullopt : Read_List(vexa::Cp1251_Decode(choice.Path), reason);
    if (items) {
        Fill_List(ComboBox6, *items);
        Config_Loading = true;
        CheckBox3->setChecked(true);
        Config_Loading = false;
        return;
    }
    QFile rewritten(QString::fromLatin1(kAutoloadConfigPath));
    if (rewritten.open(QIODevice::WriteOnly | QIODevice::Truncate))
        rewritten.write(Autoload_Off());
    rewritten.close();
    vexa::Show_Message(QStringLiteral(
        "Нет файла AT команд или не правильно указан путь к данному файлу. Попробуйте выбрать заново."));
}

void TForm1::CheckBox3Click()
{
    Enter_Start_Directory();
    if (CheckBox3->isChecked() && Config_Loading)
        return;
    QFile config(QString::fromLatin1(kAutoloadConfigPath));
    bool written = config.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (written && CheckBox3->isChecked()) {
        AtCommands.OpenDialog1_Folder = Start_Directory;
        const QString path = Choose_List(this, AtCommands.OpenDialog1_Folder);
        if (!path.isEmpty())
            written = config.write(Autoload_On(vexa::Cp1251_Encode(path))) >= 0;
    } else if (written) {
        written = config.write(Autoload_Off()) >= 0;
    }
    config.close();
    if (!written || config.error() != QFileDevice::NoError)
        vexa::Show_Message(QStringLiteral("Нету файла списка АТ команд"));
}
