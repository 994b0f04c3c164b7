// The scripts block of the command page: the script editor, the builder,
// starting a run, the runner's steps on Timer2, and the protocol replay.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "atcommands/AtFiles.h"
#include "atcommands/TextLines.h"
#include "atcommands/ZRMComScript.h"
#include "atcommands/ZRMCreateATcommandScriptForm.h"
#include "atcommands/AtCommands.h"
#include "platform/Cp1251.h"
#include "platform/FileDialogs.h"
#include "platform/Clock.h"
#include "serial/Link.h"
#include "serial/PortErrors.h"

namespace {

constexpr char kScriptFilter[] = "Файл скрипта АТ команд|*.ats";
constexpr char kScriptLogPath[] = "Logs/ScriptLog.atl";

QString Choose_Script(QWidget *parent, const QString &folder)
{
    return vexa::Choose_File(parent, {vexa::FileDialogKind::Open, QStringLiteral("OpenDialog2"), folder,
                                      QString::fromUtf8(kScriptFilter), QString()});
}

}  // namespace

void AtCommands::SpeedButton5Click()
{
    scriptEditor_->Open(QStringLiteral("Создание скрипта AT команд"), Enter_Start_Directory());
}

void AtCommands::SpeedButton7Click()
{
    const QString start = Enter_Start_Directory();
    State.OpenDialog2_Folder = start;
    if (const QString path = Choose_Script(Dialog_Parent(), State.OpenDialog2_Folder); !path.isEmpty())
        scriptEditor_->Open(QStringLiteral("Редактирование скрипта AT команд"), start, path);
}

void AtCommands::SpeedButton6Click()
{
    builder_->Open(Enter_Start_Directory());
    builder_->exec();
}

// A start while a script runs ends the running one first, so cancelling the
// dialog is also the way to stop a run at once.
void AtCommands::SpeedButton8Click()
{
    if (State.Script_Running)
        End_Script();
    State.Script_LineIndex = 0;
    Enter_Start_Directory();
    State.OpenDialog2_Folder = QCoreApplication::applicationDirPath();
    const QString path = Choose_Script(Dialog_Parent(), State.OpenDialog2_Folder);
    if (!path.isEmpty() && Start_Script(path))
        State.Selected_Script = path;
}

void AtCommands::SpeedButton_Script_OpenClick(int slot)
{
    const QString path = Choose_Script(Dialog_Parent(), State.OpenDialog2_Folder);
    if (!path.isEmpty())
        Edit_Script[slot]->setText(path);
}

void AtCommands::SpeedButton_Script_RUNClick(int slot) { Start_Script(Edit_Script[slot]->text()); }

void AtCommands::BitBtn_Send_Selected_ScriptClick()
{
    if (State.Selected_Script.isEmpty()) {
        console_.Notice(
            QStringLiteral("Для выбора скрипта необходимо первый раз его выполнить кнопкой * Выполнить скрипт* !"));
        return;
    }
    Start_Script(State.Selected_Script);
}

// The whole file is read before anything of a run begins, so a file that
// cannot be read leaves no capture, banner or log behind. The log exists and
// has its header before capture is switched on, so every received byte of
// the run finds it open.
bool AtCommands::Start_Script(const QString &path)
{
    AtCommandsState &s = State;
    if (s.Script_Running)
        End_Script();
    s.Script_LineIndex = 0;
    s.Answer = Answer_Watch();
    const QString start = Enter_Start_Directory();
    QString reason;
    const auto script = Read_Whole_File(path, &reason);
    if (!script) {
        console_.Notice(reason, vexa::MessageKind::Error);
        return false;
    }
    Script_Log.setFileName(QDir(start).filePath(QString::fromLatin1(kScriptLogPath)));
    if (!Script_Log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        console_.Notice(QString::fromLatin1(kScriptLogPath) + QStringLiteral(": ") + Script_Log.errorString(),
                        vexa::MessageKind::Error);
        return false;
    }
    Script_Log.write("SCRIPT:" + vexa::Cp1251_Encode(path) + "\r\r\r");
    Script_Log.flush();
    host_.Set_Capture(true);
    Script_Banner("***SCRIPT BEGIN***");
    s.Script_Lines = Read_Text_Lines(*script);
    Gauge1->setRange(0, std::max<int>(1, s.Script_Lines.size()));
    Gauge1->show();
    s.Script_Running = true;
    SpeedButton_Script_Stop->setEnabled(true);
    Timer2->Start();
    return true;
}

// A tick never runs while a step's write-failure box is waiting or open: the
// step whose write failed is neither sent again nor followed by a skipped one. A step goes out,
// and the run ends, only once the answer to the command before has ended with
// its result code: an echo is no answer, and a modem still searching the
// networks would take the next line as an abort.
void AtCommands::Timer2Timer()
{
    AtCommandsState &s = State;
    if (s.Tick_Busy || !s.Script_Running || console_.Notice_Open(Port_Error_Text(PortError::Write)))
        return;
    s.Tick_Busy = true;
    if (s.Script_LineIndex < s.Script_Lines.size() && s.Answer.Answered())
        Send_Script_Step();
    if (!s.Script_Running) {  // the step ended the run, or the port closed under its box
        s.Tick_Busy = false;
        return;
    }
    const bool waiting = !s.Answer.Answered();
    if (s.Script_LineIndex >= s.Script_Lines.size() && !waiting)
        End_Script();
    else if (waiting && clock_.Now_Ms() - s.Step_Sent_Ms >= s.Reply_Timeout_Ms)
        End_Script(QStringLiteral("Модем не ответил за %1 с, выполнение скрипта прекращено")
                       .arg((s.Reply_Timeout_Ms + 999) / 1000));
    else if (waiting && clock_.Now_Ms() - s.Step_Sent_Ms >= kScriptWaitShownMs)
        Label_Script_Wait->setText(QStringLiteral("Ждём ответа: %1 с").arg((clock_.Now_Ms() - s.Step_Sent_Ms) / 1000));
    else
        Label_Script_Wait->clear();
    s.Tick_Busy = false;
}

void AtCommands::Script_Heard(const QByteArray &chunk)
{
    if (State.Script_Running)
        State.Answer.Feed(chunk);
}

// Written through at once: a replay during the run shows every byte so far.
void AtCommands::Log_Received(const std::uint8_t *bytes, std::uint32_t count)
{
    if (!Script_Log.isOpen())
        return;
    Script_Log.write(reinterpret_cast<const char *>(bytes), count);
    Script_Log.flush();
}

void AtCommands::SpeedButton_Script_StopClick()
{
    if (State.Script_Running)
        End_Script();
}

// The runner's state and the log are brought up to date before the line is
// written, because a failed write shows a box. An empty step sends nothing
// and so waits for nothing. Without a port nothing can ever answer: the run
// ends before the box shows.
void AtCommands::Send_Script_Step()
{
    AtCommandsState &s = State;
    const QByteArray line = s.Script_Lines[s.Script_LineIndex];
    ++s.Script_LineIndex;
    Gauge1->setValue(s.Script_LineIndex);
    if (!line.isEmpty()) {
        s.Answer.Expect(line);
        s.Step_Sent_Ms = clock_.Now_Ms();
    }
    Script_Log.write("***********\rCOMMAND:   " + line + '\r');
    Script_Log.flush();
    if (line.isEmpty() || Echo_And_Write(line, kRed))
        return;
    if (!link_.Port_Open())
        End_Script();
    console_.Notice(Port_Error_Text(PortError::Write));
}

// The modem the run talks to is going away; its next line would go to
// whichever modem answers next.
void AtCommands::Script_Port_Closed()
{
    if (!State.Script_Running)
        return;
    End_Script();
    console_.Print(vexa::Cp1251_Encode(QStringLiteral("Порт закрыт. Выполнение скрипта прервано.")) + '\r', kRed);
}

void AtCommands::End_Script(const QString &reason)
{
    AtCommandsState &s = State;
    s.Script_Running = false;
    Timer2->Stop();
    host_.Set_Capture(false);
    Script_Log.close();
    Gauge1->hide();
    SpeedButton_Script_Stop->setEnabled(false);
    Label_Script_Wait->clear();
    s.Script_Lines.clear();
    Script_Banner("***SCRIPT END***");
    host_.Clear_Focus();
    if (!reason.isEmpty())
        console_.Notice(reason);
}

// The banner stands on a line of its own.
void AtCommands::Script_Banner(const char *text)
{
    host_.Step_Line();
    console_.Print(QByteArray(text), kRed);
    host_.Step_Line();
}

void AtCommands::SpeedButton9Click()
{
    Enter_Start_Directory();
    QString reason;
    const auto log = Read_Whole_File(QString::fromLatin1(kScriptLogPath), &reason);
    if (!log) {
        console_.Notice(reason, vexa::MessageKind::Error);
        return;
    }
    console_.Print(QByteArray("***PROTOCOL OF LAST SCRIPT BEGIN***\r"), kGreen);
    console_.Print(*log, kBlack);
    console_.Print(QByteArray("***PROTOCOL OF LAST SCRIPT END***\r"), kGreen);
}
