// The script runner against real pseudo-terminals: a peer that answers every
// line, a silent one, failed writes under a message box, and failed starts.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <unistd.h>

#include "atcommands/AtCommands.h"
#include "atcommands/AtTestSupport.h"
#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/PageControl.h"
#include "platform/Messages.h"
#include "serial/FakePortFixture.h"

namespace {

constexpr int kFastTick = 40;

// Plays the modem on the pty's master side: every CR-terminated line it
// hears is answered with CR LF "OK" CR LF, unless it is silent.
struct Peer {
    Pty &pty;
    bool silent = false;
    QByteArray heard, pending;
    void Serve()
    {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pty.master(), buffer, sizeof buffer)) > 0) {
            heard.append(buffer, n);
            pending.append(buffer, n);
        }
        for (qsizetype cr; (cr = pending.indexOf('\r')) >= 0;) {
            pending.remove(0, cr + 1);
            if (!silent)
                pty.write("\r\nOK\r\n");
        }
    }
};

struct ScriptRun {
    Application app;
    Pty pty;
    Peer peer{pty, false, {}, {}};
    TForm1 &f = *app.form;
    ScriptRun()
    {
        app.Pick_Port(pty.slavePath());
        f.Commands->Timer2->Set_Interval(kFastTick);
    }
    QString Script(const QByteArray &text, const QString &name = QStringLiteral("test.ats"))
    {
        Write_File(app.start.file(name), text);
        return app.start.file(name);
    }
    bool Serve_Until_End(int timeoutMs = 5000)
    {
        return Wait_Until(
            [&] {
                peer.Serve();
                return !f.Commands->State.Script_Running;
            },
            timeoutMs);
    }
    QByteArray Log() const { return Read_File(app.start.file("Logs/ScriptLog.atl")); }
    void Run_Slot(const QString &path)
    {
        f.Commands->Edit_Script[0]->setText(path);
        f.Commands->SpeedButton_Script_RUN[0]->click();
    }
};

QByteArray Step(const QByteArray &line) { return "***********\rCOMMAND:   " + line + '\r'; }

}  // namespace

TEST(ScriptRunner, AnsweredScriptLeavesItsProtocolByteForByte)
{
    ScriptRun r;
    ASSERT_TRUE(r.f.Serial->PortHeld);
    const QString path = r.Script("AT\r\nATI\r\nAT+CSQ\r\n");
    r.f.Clear_Screen();
    const QByteArray before = r.app.Work_Char_Log();
    r.Run_Slot(path);
    ASSERT_TRUE(r.f.Commands->State.Script_Running);
    EXPECT_TRUE(r.f.Rx_Script);
    EXPECT_FALSE(r.f.Gauge1->isHidden());
    EXPECT_EQ(r.f.Gauge1->maximum(), 3);
    // The log is written through: what came back so far is on disk at once.
    ASSERT_TRUE(Wait_Until([&] {
        r.peer.Serve();
        return r.Log().contains("OK");
    }));
    ASSERT_TRUE(r.Serve_Until_End());

    const QByteArray ok = "\r\nOK\r\n";
    EXPECT_EQ(r.Log(), "SCRIPT:" + path.toUtf8() + "\r\r\r" + Step("AT") + ok + Step("ATI") + ok + Step("AT+CSQ") + ok);
    EXPECT_EQ(r.peer.heard, QByteArray("AT\rATI\rAT+CSQ\r"));
    EXPECT_EQ(r.app.Work_Char_Log().mid(before.size()),
              "***SCRIPT BEGIN***AT\r" + ok + "ATI\r" + ok + "AT+CSQ\r" + ok + "***SCRIPT END***");
    // The banner on row 1, each echo in red, each answer in black.
    EXPECT_TRUE(Cell_Has(r.f, 0, 1, kRed));
    EXPECT_TRUE(Cell_Has(r.f, 0, 2, kRed));    // "AT"
    EXPECT_TRUE(Cell_Has(r.f, 0, 4, kBlack));  // "OK"
    EXPECT_TRUE(Cell_Has(r.f, 2, 5, kRed));    // "ATI"
    EXPECT_TRUE(Cell_Has(r.f, 1, 7, kBlack));
    EXPECT_FALSE(r.f.Rx_Script);
    EXPECT_FALSE(r.f.Commands->Timer2->Active());
    EXPECT_TRUE(r.f.Gauge1->isHidden());
    EXPECT_FALSE(r.f.Commands->Script_Log.isOpen());
    EXPECT_EQ(r.f.Commands->State.Script_LineIndex, 3);
    EXPECT_TRUE(r.app.catcher.messages().isEmpty()) << r.app.catcher.messages().join('|').toStdString();

    // The replay shows the protocol between its green banners.
    const QByteArray shown = r.app.Work_Char_Log();
    r.f.Commands->SpeedButton9->click();
    EXPECT_EQ(r.app.Work_Char_Log().mid(shown.size()),
              "***PROTOCOL OF LAST SCRIPT BEGIN***\r" + r.Log() + "***PROTOCOL OF LAST SCRIPT END***\r");
}

TEST(ScriptRunner, ASilentModemGetsOneLineAndTheRunEndsWithAReason)
{
    ScriptRun r;
    r.peer.silent = true;
    r.f.Commands->State.Reply_Timeout_Ms = 1000;
    r.Run_Slot(r.Script("AT\r\nATI\r\n"));
    ASSERT_TRUE(r.Serve_Until_End());
    EXPECT_EQ(r.peer.heard, QByteArray("AT\r"));
    EXPECT_EQ(r.app.catcher.messages(),
              QStringList({QString::fromUtf8("Модем не ответил за 1 с, выполнение скрипта прекращено")}));
    EXPECT_TRUE(r.Log().endsWith(Step("AT")));
    EXPECT_FALSE(r.f.Rx_Script);
    EXPECT_FALSE(r.f.Commands->Timer2->Active());
    EXPECT_TRUE(r.app.Work_Char_Log().endsWith("***SCRIPT END***"));

    // A run can also be ended at once: "Выполнить скрипт" ends it first, and
    // cancelling its dialog starts nothing new.
    r.f.Commands->State.Reply_Timeout_Ms = kScriptReplyTimeoutMs;
    r.Run_Slot(r.Script("AT+CSQ\r\n"));
    ASSERT_TRUE(Wait_Until([&] {
        r.peer.Serve();
        return r.peer.heard.endsWith("AT+CSQ\r");
    }));
    FileDialogAnswers cancel({QString()});
    r.f.Commands->SpeedButton8->click();
    EXPECT_FALSE(r.f.Commands->State.Script_Running);
    EXPECT_FALSE(r.f.Commands->Timer2->Active());
    EXPECT_FALSE(r.f.Commands->Script_Log.isOpen());
    EXPECT_TRUE(r.app.Work_Char_Log().endsWith("***SCRIPT END***"));
    EXPECT_EQ(r.f.Commands->State.Selected_Script, QString());
}

// The modem echoes at once and answers a network search later. The next
// line waits for the answer (sent earlier, it would abort the search), the
// run shows that it waits, and it ends only after the last command's
// answer, an empty last line notwithstanding.
TEST(ScriptRunner, ASlowSearchIsWaitedForAndItsAnswerLogged)
{
    Application app;
    TForm1 &f = *app.form;
    Simulated_Modem modem(app.start.path(), {"--search-time", "1200"});
    app.Pick_Port(modem.Port);
    ASSERT_TRUE(f.Serial->PortHeld);
    f.Commands->Timer2->Set_Interval(kFastTick);
    Write_File(app.start.file("slow.ats"), "AT+COPS=?\r\nAT+COPS=?\r\n\r\n");
    f.Commands->Edit_Script[0]->setText(app.start.file("slow.ats"));
    f.Commands->SpeedButton_Script_RUN[0]->click();
    EXPECT_TRUE(f.Commands->SpeedButton_Script_Stop->isEnabled());
    ASSERT_TRUE(Wait_Until([&] { return !f.Commands->Label_Script_Wait->text().isEmpty(); }));
    EXPECT_TRUE(f.Commands->Label_Script_Wait->text().startsWith(QString::fromUtf8("Ждём ответа: 1 с")));
    ASSERT_TRUE(Wait_Until([&] { return !f.Commands->State.Script_Running; }));
    const QByteArray search = "AT+COPS=?\r\r\n+COPS: (2,\"VexaNet\",\"VexaNet\",\"00101\"),,(0-4),(0-2)\r\n\r\nOK\r\n";
    EXPECT_EQ(Read_File(app.start.file("Logs/ScriptLog.atl")), "SCRIPT:" + app.start.file("slow.ats").toUtf8() +
                                                                   "\r\r\r" + Step("AT+COPS=?") + search +
                                                                   Step("AT+COPS=?") + search + Step(""));
    EXPECT_FALSE(f.Commands->SpeedButton_Script_Stop->isEnabled());
    EXPECT_TRUE(f.Commands->Label_Script_Wait->text().isEmpty());

    // The stop button ends a run that waits; nothing more goes out.
    Write_File(app.start.file("slow.ats"), "AT+COPS=?\r\nATI\r\n");
    f.Commands->SpeedButton_Script_RUN[0]->click();
    ASSERT_TRUE(Wait_Until([&] { return f.Commands->State.Script_LineIndex == 1; }));
    f.Commands->SpeedButton_Script_Stop->click();
    EXPECT_FALSE(f.Commands->State.Script_Running);
    EXPECT_TRUE(app.Work_Char_Log().endsWith("***SCRIPT END***"));
    Pump(4 * kFastTick);
    EXPECT_FALSE(Read_File(app.start.file("Logs/ScriptLog.atl")).contains("ATI"));
    EXPECT_TRUE(app.catcher.messages().isEmpty());
}

// However its port goes (another one picked, released, the device gone), a
// run that waits ends with a line on the screen; its next line goes nowhere.
TEST(ScriptRunner, AWaitingRunEndsWithItsPort)
{
    enum class Way { Switch, Release, Unplug };
    for (const Way way : {Way::Switch, Way::Release, Way::Unplug}) {
        SCOPED_TRACE(int(way));
        ScriptRun r;
        Pty other;
        r.peer.silent = true;
        r.Run_Slot(r.Script("AT\r\nATI\r\n"));
        ASSERT_TRUE(Wait_Until([&] {
            r.peer.Serve();
            return r.peer.heard == "AT\r";
        }));
        if (way == Way::Switch)
            r.app.Pick_Port(other.slavePath());
        else if (way == Way::Release)
            r.f.SpeedButton26->click();
        else
            r.pty.closeMaster();
        ASSERT_TRUE(Wait_Until([&] { return !r.f.Commands->State.Script_Running; }, 3000));
        EXPECT_TRUE(r.app.Work_Char_Log().endsWith("***SCRIPT END***" +
                                                   Cp("Порт закрыт. Выполнение скрипта прервано.") + '\r'));
        EXPECT_FALSE(r.f.Commands->Timer2->Active());
        EXPECT_FALSE(r.f.Commands->Script_Log.isOpen());
        EXPECT_TRUE(r.Log().endsWith(Step("AT")));
        EXPECT_TRUE(other.drain(4 * kFastTick).isEmpty());
    }
}

// Without a port nothing can answer: the first line's box, and the run is over.
TEST(ScriptRunner, ARunWithoutAPortEndsAtItsFirstLine)
{
    Application app;
    TForm1 &f = *app.form;
    f.Commands->Timer2->Set_Interval(kFastTick);
    Write_File(app.start.file("t.ats"), "AT\r\nATI\r\n");
    f.Commands->Edit_Script[0]->setText(app.start.file("t.ats"));
    f.Commands->SpeedButton_Script_RUN[0]->click();
    ASSERT_TRUE(Wait_Until([&] { return !f.Commands->State.Script_Running; }, 3000));
    Pump(4 * kFastTick);
    EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Oшибка записи в порт")}));
    EXPECT_TRUE(app.Work_Char_Log().endsWith("AT\r***SCRIPT END***"));
    EXPECT_TRUE(Read_File(app.start.file("Logs/ScriptLog.atl")).endsWith(Step("AT")));
}

// Whichever form a modem gives its prompt, the message's text goes out at
// it, and the run goes on when the modem asks for the next line.
TEST(ScriptRunner, EachFormOfThePromptLetsTheTextGo)
{
    const struct {
        const char *form;
        QByteArray prompt;
    } forms[] = {{"crlf-blank", "\r\n> "}, {"crlf", "\r\n>"}, {"bare", ">"}};
    for (const auto &p : forms) {
        Application app;
        TForm1 &f = *app.form;
        Simulated_Modem modem(app.start.path(), {"--prompt-form", p.form});
        app.Pick_Port(modem.Port);
        f.Commands->Timer2->Set_Interval(kFastTick);
        Write_File(app.start.file("send.ats"), "AT+CMGF=1\r\nAT+CMGS=\"+79161234567\"\r\nOK\r\n");
        f.Commands->Edit_Script[0]->setText(app.start.file("send.ats"));
        f.Commands->SpeedButton_Script_RUN[0]->click();
        ASSERT_TRUE(Wait_Until([&] { return !f.Commands->State.Script_Running; })) << p.form;
        EXPECT_TRUE(Read_File(app.start.file("Logs/ScriptLog.atl")).endsWith(Step("OK") + "OK\r" + p.prompt)) << p.form;
    }
}

TEST(ScriptRunner, EmptyScriptsAndEmptyLinesDoNotWait)
{
    ScriptRun r;
    r.Run_Slot(r.Script(""));
    ASSERT_TRUE(r.Serve_Until_End());
    EXPECT_EQ(r.Log(), "SCRIPT:" + r.app.start.file("test.ats").toUtf8() + "\r\r\r");
    EXPECT_TRUE(r.app.Work_Char_Log().endsWith("***SCRIPT BEGIN******SCRIPT END***"));

    // An empty step sends nothing, so nothing is waited for; the log has it.
    r.Run_Slot(r.Script("AT\r\n\r\nATI\r\n\r\n"));
    ASSERT_TRUE(r.Serve_Until_End(3000));
    EXPECT_EQ(r.peer.heard, QByteArray("AT\rATI\r"));
    EXPECT_TRUE(r.Log().endsWith(Step("AT") + "\r\nOK\r\n" + Step("") + Step("ATI") + "\r\nOK\r\n" + Step("")));
    EXPECT_TRUE(r.app.catcher.messages().isEmpty());
}

TEST(ScriptRunner, AnotherPageStopsTheCaptureButNotTheRun)
{
    ScriptRun r;
    r.Run_Slot(r.Script("AT\r\nATI\r\n"));
    ASSERT_TRUE(Wait_Until([&] { return r.f.Commands->State.Script_LineIndex == 1; }));
    r.f.PageControl1->setCurrentIndex(3);
    EXPECT_FALSE(r.f.Rx_Script);
    ASSERT_TRUE(r.Serve_Until_End());
    EXPECT_EQ(r.peer.heard, QByteArray("AT\rATI\r"));
    EXPECT_EQ(r.Log(), "SCRIPT:" + r.app.start.file("test.ats").toUtf8() + "\r\r\r" + Step("AT") + Step("ATI"));
}

TEST(ScriptRunner, StartsThatCannotBeginLeaveNothingBehind)
{
    ScriptRun r;
    const int viewed = r.f.Form4->Line_Count();
    r.Run_Slot(QString());
    r.Run_Slot(r.app.start.file("gone.ats"));
    EXPECT_EQ(r.app.catcher.errors(),
              QStringList({"File not found", r.app.start.file("gone.ats") + QStringLiteral(": File not found")}));
    // The log cannot be created.
    QDir(r.app.start.path()).mkpath("Logs/ScriptLog.atl");
    r.Run_Slot(r.Script("AT\r\n"));
    ASSERT_EQ(r.app.catcher.errors().size(), 3);
    EXPECT_TRUE(r.app.catcher.errors()[2].startsWith("Logs/ScriptLog.atl"));
    EXPECT_FALSE(r.f.Rx_Script);
    EXPECT_FALSE(r.f.Commands->Timer2->Active());
    EXPECT_TRUE(r.f.Gauge1->isHidden());
    EXPECT_EQ(r.f.Form4->Line_Count(), viewed);  // no banner
    Pump(3 * kFastTick);
    r.peer.Serve();
    EXPECT_TRUE(r.peer.heard.isEmpty());

    // The replay of a log that is not there.
    r.app.catcher.clear();
    QDir(r.app.start.path()).rmdir("Logs/ScriptLog.atl");
    r.f.Commands->SpeedButton9->click();
    EXPECT_EQ(r.app.catcher.errors(), QStringList({QStringLiteral("Logs/ScriptLog.atl: File not found")}));
    EXPECT_EQ(r.f.Form4->Line_Count(), viewed);
}

TEST(ScriptRunner, OnlyTheDialogChoosesTheSelectedScript)
{
    ScriptRun r;
    r.f.Commands->BitBtn_Send_Selected_Script->click();
    EXPECT_EQ(r.app.catcher.messages(),
              QStringList({QString::fromUtf8(
                  "Для выбора скрипта необходимо первый раз его выполнить кнопкой * Выполнить скрипт* !")}));

    const QString chosen = r.Script("AT\r\n", "chosen.ats");
    FileDialogAnswers answers({chosen});
    r.f.Commands->SpeedButton8->click();
    ASSERT_TRUE(r.Serve_Until_End());
    EXPECT_EQ(r.f.Commands->State.Selected_Script, chosen);
    EXPECT_EQ(answers.requests().at(0).name, QString("OpenDialog2"));
    EXPECT_EQ(answers.requests().at(0).directory, QCoreApplication::applicationDirPath());
    EXPECT_EQ(answers.requests().at(0).filter, QString::fromUtf8("Файл скрипта АТ команд|*.ats"));

    r.Run_Slot(r.Script("ATI\r\n", "slot.ats"));
    ASSERT_TRUE(r.Serve_Until_End());
    EXPECT_EQ(r.f.Commands->State.Selected_Script, chosen);
    r.peer.heard.clear();
    r.f.Commands->BitBtn_Send_Selected_Script->click();
    ASSERT_TRUE(r.Serve_Until_End());
    EXPECT_EQ(r.peer.heard, QByteArray("AT\r"));
    EXPECT_TRUE(r.Log().startsWith("SCRIPT:" + chosen.toUtf8() + "\r\r\r"));

    // A slot's button fills its field from the dialog.
    FileDialogAnswers slot({chosen});
    r.f.Commands->SpeedButton_Script_Open[2]->click();
    EXPECT_EQ(r.f.Commands->Edit_Script[2]->text(), chosen);
}

TEST_F(FakePortTest, AFailedStepIsReportedOnceAndNotSentAgainUnderItsBox)
{
    app->Pick_Port(kModem);
    form().Commands->Timer2->Set_Interval(kFastTick);
    modem->failWrite = true;
    // The box stays open for several ticks, and the modem answers meanwhile
    // (Qt holds back a timer inside its own handler; a direct tick is not).
    QStringList boxes;
    int open = 0, deepest = 0;
    vexa::Set_Message_Sink([&](vexa::MessageKind, const QString &text) {
        boxes << text;
        deepest = std::max(deepest, ++open);
        modem->Receive({'O', 'K', '\r', '\n'});
        Pump(6 * kFastTick);
        form().Timer2Timer();  // a tick that comes in anyway does nothing
        --open;
    });
    Write_File(app->start.file("three.ats"), "AT\r\nATI\r\nAT+CSQ\r\n");
    form().Commands->Edit_Script[1]->setText(app->start.file("three.ats"));
    form().Commands->SpeedButton_Script_RUN[1]->click();
    ASSERT_TRUE(Wait_Until([&] { return !form().Commands->State.Script_Running; }));
    vexa::Set_Message_Sink(nullptr);
    EXPECT_EQ(boxes, QStringList(3, QString::fromUtf8("Oшибка записи в порт")));
    EXPECT_EQ(deepest, 1);  // no box on top of another
    const QByteArray log = Read_File(app->start.file("Logs/ScriptLog.atl"));
    EXPECT_TRUE(log.endsWith(Step("AT") + "OK\r\n" + Step("ATI") + "OK\r\n" + Step("AT+CSQ") + "OK\r\n"));
    EXPECT_EQ(log.count("COMMAND:"), 3);
}
