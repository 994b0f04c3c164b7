// A group of firmware files downloaded one after another, each by the same
// steps as "Прошить".

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"

void TForm1::SpeedButton17Click()
{
    const QString path = Choose_Firmware("OpenDialog5", QStringLiteral("Файлы для прошивки в модем|*.*"));
    if (path.isEmpty())
        return;
    auto *entry = new QListWidgetItem(path, Firmware.CheckListBox1);
    entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
    entry->setCheckState(Qt::Unchecked);
    Fit_Group_List();
}

void TForm1::SpeedButton18Click()
{
    Clear_Focus();
    QListWidget *list = Firmware.CheckListBox1;
    if (list->count() == 0) {
        File_Message(QStringLiteral("Список пуст"));
        return;
    }
    for (int row = list->count() - 1; row >= 0; --row)
        if (list->item(row)->checkState() == Qt::Checked)
            delete list->takeItem(row);
    Fit_Group_List();
}

// A group started while another runs replaces its queue. The pause after
// an earlier download is over: its timer would wake the group in the middle
// of its first file.
void TForm1::SpeedButton16Click()
{
    Clear_Focus();
    QListWidget *list = Firmware.CheckListBox1;
    if (list->count() == 0) {
        File_Message(QStringLiteral("Список пуст"));
        return;
    }
    QStringList queue;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->checkState() == Qt::Checked)
            queue << list->item(row)->text();
    if (queue.isEmpty()) {
        File_Message(QStringLiteral("Нет выбраныых файлов"));
        return;
    }
    Firmware.TimerRunNext->stop();
    Firmware.Group_Queue = queue;
    Firmware.Group_Index = 0;
    Firmware.Next_File_Ready = true;
    Firmware.TimerProgrammingSeveralFiles->start();
}

// The first file starts at once. Each later one waits for the modem's NAK
// after the pause, and starts on it (Take_Sender_Step) or on the next tick;
// a modem that does not ask within the reply time-out stops the group.
void TForm1::TimerProgrammingSeveralFilesTimer()
{
    FirmwareState &fw = Firmware;
    if (!fw.Next_File_Ready || fw.Sender.Running())
        return;
    if (fw.Group_Index == 0 || fw.Modem_Ready) {
        Start_Next_Group_File();
        return;
    }
    if (fw.Ready_Wait.elapsed() < fw.Reply_Timeout_Ms)
        return;
    Stop_Group();
    const QString text = QStringLiteral("Модем не готов к прошивке следующего файла. Группа файлов остановлена.");
    Print_To_Screen(vexa::Cp1251_Encode(text) + '\r', kRed);
    File_Message(text);
}

void TForm1::Start_Next_Group_File()
{
    FirmwareState &fw = Firmware;
    fw.Next_File_Ready = false;
    const QString path = fw.Group_Queue.at(fw.Group_Index++);
    // The last entry ends the group; its download runs on as a single one.
    if (fw.Group_Index >= fw.Group_Queue.size())
        Stop_Group();
    Show_Firmware_File(path, false);
    Start_Download();
}

// After every finished download, also outside a group.
void TForm1::TimerRunNextTimer()
{
    Firmware.TimerRunNext->stop();
    Firmware.Next_File_Ready = true;
    Firmware.Modem_Ready = false;
    Firmware.Ready_Wait.start();
}

bool TForm1::Stop_Group()
{
    FirmwareState &fw = Firmware;
    const bool running = fw.TimerProgrammingSeveralFiles->isActive();
    fw.TimerProgrammingSeveralFiles->stop();
    fw.TimerRunNext->stop();
    fw.Group_Queue.clear();
    fw.Group_Index = 0;
    fw.Next_File_Ready = false;
    return running;
}
