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
#include "mainwindow/ScreenGeometry.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/FileDialogs.h"
#include "platform/Messages.h"
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

void TForm1::SpeedButton5Click() { Form3->Open(QStringLiteral("Создание скрипта AT команд"), Start_Directory); }

void TForm1::SpeedButton7Click()
{
    Enter_Start_Directory();
    AtCommands.OpenDialog2_Folder = Start_Directory;
    if (const QString path = Choose_Script(this, AtCommands.OpenDialog2_Folder); !path.isEmpty())
        Form3->Open(QStringLiteral("Редактирование скрипта AT команд"), Start_Directory, path);
}

void TForm1::SpeedButton6Click()
{
    Enter_Start_Directory();
    Form7->Open(Start_Directory);
    Form7->exec();
}

// A start while a script runs ends the running one first, so cancelling the
// dialog is also the way to stop a run at once.
void TForm1::SpeedButton8Click()
{
    if (AtCommands.Script_Running)
        End_Script();
    AtCommands.Script_LineIndex = 0;
    Enter_Start_Directory();
    AtCommands.OpenDialog2_Folder = QCoreApplication::applicationDirPath();
    const QString path = Choose_Script(this, AtCommands.OpenDialog2_Folder);
    if (!path.isEmpty() && Start_Script(path))
        AtCommands.Selected_Script = path;
}

void TForm1::SpeedButton_Script_OpenClick(int slot)
{
    const QString path = Choose_Script(this, AtCommands.OpenDialog2_Folder);
    if (!path.isEmpty())
        Edit_Script[slot]->setText(path);
}

void TForm1::SpeedButton_Script_RUNClick(int slot) { Start_Script(Edit_Script[slot]->text()); }

void TForm1::BitBtn_Send_Selected_ScriptClick()
{
    if (AtCommands.Selected_Script.isEmpty()) {
        vexa::Show_Message(
            QStringLiteral("Для выбора скрипта необходимо первый раз его выполнить кнопкой * Выполнить скрипт* !"));
        return;
    }
    Start_Script(AtCommands.Selected_Script);
}

// The whole file is read before anything of a run begins, so a file that
// cannot be read leaves no capture, banner or log behind. The log exists and
// has its header before capture is switched on, so every received byte of
// the run finds it open.
bool TForm1::Start_Script(const QString &path)
{
    AtCommandsState &s = AtCommands;
    if (s.Script_Running)
        End_Script();
    s.Script_LineIndex = 0;
    s.Answer = Answer_Watch();
    Enter_Start_Directory();
    QString reason;
    const auto script = Read_Whole_File(path, &reason);
    if (!script) {
        vexa::Show_Error(reason);
        return false;
    }
    Script_Log.setFileName(QDir(Start_Directory).filePath(QString::fromLatin1(kScriptLogPath)));
    if (!Script_Log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        vexa::Show_Error(QString::fromLatin1(kScriptLogPath) + QStringLiteral(": ") + Script_Log.errorString());
        return false;
    }
    Script_Log.write("SCRIPT:" + vexa::Cp1251_Encode(path) + "\r\r\r");
    Script_Log.flush();
    Rx_Script = true;
    Script_Banner("***SCRIPT BEGIN***");
    s.Script_Lines = Read_Text_Lines(*script);
    Gauge1->setRange(0, std::max<int>(1, s.Script_Lines.size()));
    Gauge1->show();
    s.Script_Running = true;
    SpeedButton_Script_Stop->setEnabled(true);
    Timer2->start();
    return true;
}

// A tick never runs inside another tick's message box: the step whose write
// failed is neither sent again nor followed by a skipped one. A step goes out,
// and the run ends, only once the answer to the command before has ended with
// its result code: an echo is no answer, and a modem still searching the
// networks would take the next line as an abort.
void TForm1::Timer2Timer()
{
    AtCommandsState &s = AtCommands;
    if (s.Tick_Busy || !s.Script_Running)
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
    else if (waiting && s.Since_Step.hasExpired(s.Reply_Timeout_Ms))
        End_Script(QStringLiteral("Модем не ответил за %1 с, выполнение скрипта прекращено")
                       .arg((s.Reply_Timeout_Ms + 999) / 1000));
    else if (waiting && s.Since_Step.hasExpired(kScriptWaitShownMs))
        Label_Script_Wait->setText(QStringLiteral("Ждём ответа: %1 с").arg(s.Since_Step.elapsed() / 1000));
    else
        Label_Script_Wait->clear();
    s.Tick_Busy = false;
}

void TForm1::Script_Heard(const QByteArray &chunk)
{
    if (AtCommands.Script_Running)
        AtCommands.Answer.Feed(chunk);
}

void TForm1::SpeedButton_Script_StopClick()
{
    if (AtCommands.Script_Running)
        End_Script();
}

// The runner's state and the log are brought up to date before the line is
// written, because a failed write shows a box. An empty step sends nothing
// and so waits for nothing. Without a port nothing can ever answer: the run
// ends before the box shows.
void TForm1::Send_Script_Step()
{
    AtCommandsState &s = AtCommands;
    const QByteArray line = s.Script_Lines[s.Script_LineIndex];
    ++s.Script_LineIndex;
    Gauge1->setValue(s.Script_LineIndex);
    if (!line.isEmpty()) {
        s.Answer.Expect(line);
        s.Since_Step.start();
    }
    Script_Log.write("***********\rCOMMAND:   " + line + '\r');
    Script_Log.flush();
    if (line.isEmpty() || Echo_And_Write(line, kRed))
        return;
    if (!Current_Port())
        End_Script();
    vexa::Show_Message(Port_Error_Text(PortError::Write));
}

// The modem the run talks to is going away; its next line would go to
// whichever modem answers next.
void TForm1::Script_Port_Closed()
{
    if (!AtCommands.Script_Running)
        return;
    End_Script();
    Print_To_Screen(vexa::Cp1251_Encode(QStringLiteral("Порт закрыт. Выполнение скрипта прервано.")) + '\r', kRed);
}

void TForm1::End_Script(const QString &reason)
{
    AtCommandsState &s = AtCommands;
    s.Script_Running = false;
    Timer2->stop();
    Rx_Script = false;
    Script_Log.close();
    Gauge1->hide();
    SpeedButton_Script_Stop->setEnabled(false);
    Label_Script_Wait->clear();
    s.Script_Lines.clear();
    Script_Banner("***SCRIPT END***");
    Clear_Focus();
    if (!reason.isEmpty())
        vexa::Show_Message(reason);
}

// The banner stands on a line of its own. Its line steps move the cursor
// without scrolling, except on the last row, where a step would leave the
// picture.
void TForm1::Script_Banner(const char *text)
{
    auto step = [this] {
        Draw_Cursor(Cursor_X, Cursor_Y, Screen_Back_Color);
        if (Cursor_Y >= kLastRowY) {
            Screen_New_Line();
            return;
        }
        Cursor_X = 0;
        Cursor_Y += kLineHeight;
    };
    step();
    Print_To_Screen(QByteArray(text), kRed);
    step();
}

void TForm1::SpeedButton9Click()
{
    Enter_Start_Directory();
    QString reason;
    const auto log = Read_Whole_File(QString::fromLatin1(kScriptLogPath), &reason);
    if (!log) {
        vexa::Show_Error(reason);
        return;
    }
    Print_To_Screen(QByteArray("***PROTOCOL OF LAST SCRIPT BEGIN***\r"), kGreen);
    Print_To_Screen(*log, kBlack);
    Print_To_Screen(QByteArray("***PROTOCOL OF LAST SCRIPT END***\r"), kGreen);
}
