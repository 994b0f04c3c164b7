// The command list block of the command page: loading, editing and sending
// AT command lists, and their autoload at start.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QSignalBlocker>
#include <optional>

#include "atcommands/AtCommands.h"
#include "atcommands/AtFiles.h"
#include "atcommands/AtWidgets.h"
#include "atcommands/AutoloadConfig.h"
#include "atcommands/TextLines.h"
#include "atcommands/ZRMComList.h"
#include "platform/Cp1251.h"
#include "platform/FileDialogs.h"

namespace {

constexpr char kListFilter[] = "Файл списка АТ команд|*.atl";

// Asks OpenDialog1 for a list; an empty folder leaves the dialog where it was.
QString Choose_List(QWidget *parent, const QString &folder)
{
    return vexa::Choose_File(parent, {vexa::FileDialogKind::Open, QStringLiteral("OpenDialog1"), folder,
                                      QString::fromUtf8(kListFilter), QString()});
}

// The items of a list file, or nothing when it cannot be read.
std::optional<QStringList> Read_List(const QString &path, QString *reason = nullptr)
{
    const auto bytes = Read_Whole_File(path, reason);
    return bytes ? std::optional<QStringList>(Decoded_Lines(Split_List_Lines(*bytes))) : std::nullopt;
}

}  // namespace

void AtCommands::SpeedButton4Click() { Send_Echoed_Line(vexa::Cp1251_Encode(ComboBox6->currentText()), kBlue); }

// Any change of the box's text hands the keyboard back to the terminal.
void AtCommands::ComboBox6Change() { host_.Clear_Focus(); }

bool AtCommands::Load_AT_List(const QString &path)
{
    QString reason;
    const auto items = Read_List(path, &reason);
    if (!items) {
        console_.Notice(reason, vexa::MessageKind::Error);
        return false;
    }
    Fill_Items(ComboBox6, *items, ComboBox6->currentText());
    return true;
}

void AtCommands::SpeedButton3Click()
{
    const QString path = Choose_List(Dialog_Parent(), State.OpenDialog1_Folder);
    if (!path.isEmpty())
        Load_AT_List(path);
}

void AtCommands::SpeedButton1Click()
{
    listEditor_->Open(QStringLiteral("Создание списка AT команд"), Enter_Start_Directory());
}

void AtCommands::SpeedButton2Click()
{
    const QString start = Enter_Start_Directory();
    State.OpenDialog1_Folder = start;
    if (const QString path = Choose_List(Dialog_Parent(), State.OpenDialog1_Folder); !path.isEmpty())
        listEditor_->Open(QStringLiteral("Редактирование списка AT команд"), start, path);
}

// A configuration that cannot be read at all leaves the list empty for typed
// commands; one that names a list that is gone is reset to "off".
void AtCommands::Autoload_AT_List()
{
    Enter_Start_Directory();
    const auto config = Read_Whole_File(QString::fromLatin1(kAutoloadConfigPath));
    if (!config) {
        console_.Notice(
            QStringLiteral("Не хватает файла конфигурации для составления списка АТ команд, режим ручного ввода."));
        return;
    }
    const AutoloadChoice choice = Read_Autoload(*config);
    if (!choice.On)
        return;
    const auto items = choice.Path.isEmpty() ? std::nullopt : Read_List(vexa::Cp1251_Decode(choice.Path));
    if (items) {
        Fill_Items(ComboBox6, *items, ComboBox6->currentText());
        Config_Loading = true;
        CheckBox3->setChecked(true);
        Config_Loading = false;
        return;
    }
    Write_Whole_File(QString::fromLatin1(kAutoloadConfigPath), Autoload_Off());
    console_.Notice(
        QStringLiteral("Нет файла AT команд или не правильно указан путь к данному файлу. Попробуйте выбрать заново."));
}

// The file is opened, and made if missing, before the dialog, so a folder
// that is not there is reported at once; what it held goes only when the
// dialog's answer is written. A path the file cannot hold in cp1251 would be
// read back as another one and reset at the next start: it is refused and
// the configuration and the box stay as they were.
void AtCommands::CheckBox3Click()
{
    const QString start = Enter_Start_Directory();
    const bool ticked = CheckBox3->isChecked();
    if (ticked && Config_Loading)
        return;
    QFile config(QString::fromLatin1(kAutoloadConfigPath));
    const bool existed = config.exists();
    bool written = config.open(QIODevice::ReadWrite);
    QByteArray lines = Autoload_Off();
    if (written && ticked) {
        State.OpenDialog1_Folder = start;
        const QString path = Choose_List(Dialog_Parent(), State.OpenDialog1_Folder);
        if (!Fits_Cp1251(path)) {
            config.close();
            if (!existed)
                config.remove();
            const QSignalBlocker blocker(CheckBox3);
            CheckBox3->setChecked(false);
            console_.Notice(QStringLiteral("Путь к списку команд содержит знаки, которых нет в кодировке "
                                           "Windows-1251, и не может быть записан в файл конфигурации:\n") +
                            path +
                            QStringLiteral("\nВыберите список, путь к которому записан русскими или "
                                           "латинскими буквами."));
            return;
        }
        lines = path.isEmpty() ? QByteArray() : Autoload_On(vexa::Cp1251_Encode(path));
    }
    written = written && config.resize(0) && config.write(lines) == lines.size() && config.flush();
    config.close();
    if (!written)
        console_.Notice(QStringLiteral("Нету файла списка АТ команд"));
}
