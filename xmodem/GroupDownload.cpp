// A group of firmware files downloaded one after another, each by the same
// steps as "Прошить".

#include <QLineEdit>
#include <QListWidget>

#include "platform/Console.h"
#include "platform/Cp1251.h"
#include "xmodem/FirmwareDownload.h"

void FirmwareDownload::SpeedButton17Click()
{
    const QString path = hooks_.Choose_File("OpenDialog5", QStringLiteral("Файлы для прошивки в модем|*.*"));
    if (path.isEmpty())
        return;
    auto *entry = new QListWidgetItem(path, CheckListBox1);
    entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
    entry->setCheckState(Qt::Unchecked);
    Fit_Group_List();
}

void FirmwareDownload::SpeedButton18Click()
{
    hooks_.Clear_Focus();
    if (CheckListBox1->count() == 0) {
        console_.Notice(QStringLiteral("Список пуст"));
        return;
    }
    for (int row = CheckListBox1->count() - 1; row >= 0; --row)
        if (CheckListBox1->item(row)->checkState() == Qt::Checked)
            delete CheckListBox1->takeItem(row);
    Fit_Group_List();
}

// A group started while another runs replaces its queue. The pause after
// an earlier download is over: its timer would wake the group in the middle
// of its first file.
void FirmwareDownload::SpeedButton16Click()
{
    hooks_.Clear_Focus();
    if (CheckListBox1->count() == 0) {
        console_.Notice(QStringLiteral("Список пуст"));
        return;
    }
    QStringList queue;
    for (int row = 0; row < CheckListBox1->count(); ++row)
        if (CheckListBox1->item(row)->checkState() == Qt::Checked)
            queue << CheckListBox1->item(row)->text();
    if (queue.isEmpty()) {
        console_.Notice(QStringLiteral("Нет выбраныых файлов"));
        return;
    }
    TimerRunNext->Stop();
    Group_Queue = queue;
    Group_Index = 0;
    Next_File_Ready = true;
    Ready_Wait.Start();
    TimerProgrammingSeveralFiles->Start();
}

// Each file waits for the modem's request (the first one since the last
// download ended, each later one after the pause), and starts on it
// (Take_Sender_Step) or on the next tick; a modem that does not ask within
// the reply time-out stops the group.
void FirmwareDownload::TimerProgrammingSeveralFilesTimer()
{
    if (!Next_File_Ready || Sender.Running())
        return;
    if (Modem_Ready) {
        Start_Next_Group_File();
        return;
    }
    if (Ready_Wait.Elapsed_Ms() < Reply_Timeout_Ms)
        return;
    Stop_Group();
    const QString text = QStringLiteral("Модем не готов к прошивке следующего файла. Группа файлов остановлена.");
    console_.Print(vexa::Cp1251_Encode(text) + '\r', kRed);
    console_.Notice(text);
}

void FirmwareDownload::Start_Next_Group_File()
{
    Next_File_Ready = false;
    const QString path = Group_Queue.at(Group_Index++);
    // The last entry ends the group; its download runs on as a single one.
    if (Group_Index >= Group_Queue.size())
        Stop_Group();
    Show_Firmware_File(path, false);
    Start_Download();
}

// After every finished download, also outside a group.
void FirmwareDownload::TimerRunNextTimer()
{
    TimerRunNext->Stop();
    Next_File_Ready = true;
    Modem_Ready = false;
    Ready_Wait.Start();
}

bool FirmwareDownload::Stop_Group()
{
    const bool running = TimerProgrammingSeveralFiles->Active();
    TimerProgrammingSeveralFiles->Stop();
    TimerRunNext->Stop();
    Group_Queue.clear();
    Group_Index = 0;
    Next_File_Ready = false;
    return running;
}
