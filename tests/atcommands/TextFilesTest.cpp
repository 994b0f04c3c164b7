// How list, script, table and configuration files are cut into lines, and
// where a modem's answer to a command ends.

#include <gtest/gtest.h>

#include "atcommands/AutoloadConfig.h"
#include "atcommands/ModemAnswer.h"
#include "atcommands/TextLines.h"

using Lines = QList<QByteArray>;

TEST(ListFile, EveryKindOfLineBreakGivesTheSameItems)
{
    const Lines expected = {"AT+CFUN=1", "", "AT&W"};
    EXPECT_EQ(Split_List_Lines("AT+CFUN=1\r\n\r\nAT&W\r\n"), expected);
    EXPECT_EQ(Split_List_Lines("AT+CFUN=1\n\nAT&W\n"), expected);
    EXPECT_EQ(Split_List_Lines("AT+CFUN=1\r\rAT&W\r"), expected);
    EXPECT_EQ(Split_List_Lines("AT+CFUN=1\r\n\rAT&W"), expected);  // mixed, no final break
    // A NUL ends the text; blanks belong to the command.
    EXPECT_EQ(Split_List_Lines(QByteArray("AT \r\nATI\0AT+CSQ\r\n", 18)), Lines({"AT ", "ATI"}));
    EXPECT_EQ(Split_List_Lines(QByteArray("\0AT", 3)), Lines());
    EXPECT_EQ(Split_List_Lines(""), Lines());
    EXPECT_EQ(Split_List_Lines("\r\n"), Lines({""}));
    EXPECT_EQ(Split_List_Lines("\n\r"), Lines({"", ""}));  // LF, then a lone CR
}

TEST(TextFile, LinesEndAtLfAndOtherCrsAreDropped)
{
    EXPECT_EQ(Read_Text_Lines("AT\r\nATI\nAT+CSQ"), Lines({"AT", "ATI", "AT+CSQ"}));
    EXPECT_EQ(Read_Text_Lines("AT\r\n\r\nATI\r\n"), Lines({"AT", "", "ATI"}));
    // Lone CR breaks do not break: the script is one single step.
    EXPECT_EQ(Read_Text_Lines("AT\rATI\rAT+CSQ\r"), Lines({"ATATIAT+CSQ"}));
    EXPECT_EQ(Read_Text_Lines(""), Lines());
    EXPECT_EQ(Read_Text_Lines("\n"), Lines({""}));
    EXPECT_EQ(Read_Text_Lines("AT\r"), Lines({"AT"}));
}

TEST(TextFile, CtrlZEndsTheFileAtALineStartAndTheLineInside)
{
    EXPECT_EQ(Read_Text_Lines("AT\r\n\x1A"
                              "ATI\r\nAT+CSQ\r\n"),
              Lines({"AT"}));
    EXPECT_EQ(Read_Text_Lines("Hello\x1Amore text\r\nATI\r\n"), Lines({"Hello", "ATI"}));
    EXPECT_EQ(Read_Text_Lines("\x1A"), Lines());
    // A NUL is an ordinary byte of a line here.
    EXPECT_EQ(Read_Text_Lines(QByteArray("A\0T\n", 4)), Lines({QByteArray("A\0T", 3)}));
}

TEST(EditorText, BreaksBecomeOneKindAndComeBackAsCrLf)
{
    EXPECT_EQ(Editor_Text("a\r\nb\rc\nd"), QByteArray("a\nb\nc\nd"));
    EXPECT_EQ(File_Text("a\nb\nc\nd"), QByteArray("a\r\nb\r\nc\r\nd"));
    EXPECT_EQ(File_Text("a\n"), QByteArray("a\r\n"));  // a break after the last line only if typed
}

TEST(AutoloadConfig, OnlyAnExactFirstLineSwitchesItOn)
{
    EXPECT_TRUE(Read_Autoload("LoadATCommandList\r\n/home/u/a.atl\r\n").On);
    EXPECT_EQ(Read_Autoload("LoadATCommandList\r\n/home/u/a.atl\r\n").Path, QByteArray("/home/u/a.atl"));
    EXPECT_TRUE(Read_Autoload("LoadATCommandList").On);
    EXPECT_TRUE(Read_Autoload("LoadATCommandList").Path.isEmpty());
    for (const char *off : {"", "NoLoadATCommandList\r\nNoFile\r\n", "loadATCommandList\r\nx\r\n",
                            "LoadATCommandList \r\nx\r\n", " LoadATCommandList\r\nx\r\n"})
        EXPECT_FALSE(Read_Autoload(off).On) << off;
    EXPECT_EQ(Autoload_Off(), QByteArray("NoLoadATCommandList\r\nNoFile\r\n"));
    EXPECT_EQ(Autoload_Off().size(), 29);
    EXPECT_EQ(Autoload_On("/x.atl"), QByteArray("LoadATCommandList\r\n/x.atl\r\n"));
}

TEST(ModemAnswer, OnlyAFinalResultCodeOrThePromptEndsAnAnswer)
{
    // The command, what came back in chunks; whether the answer is complete after it.
    const struct {
        QByteArray command;
        QList<QByteArray> chunks;
        bool ended;
    } cases[] = {
        {"AT+COPS=?", {"AT+COPS=?\r"}, false},  // the echo
        {"AT+COPS=?", {"AT+COPS=?\r", "\r\n+COPS: (2,\"x\")\r\n"}, false},
        {"AT", {"\r\nRING\r\n", "\r\n+CREG: 1\r\n"}, false},
        {"AT", {"\r\nO", "K"}, false},  // not yet at its line end
        {"AT", {"\r\nO", "K\r\n"}, true},
        {"AT", {"AT\r\r\nERROR\r\n"}, true},
        {"AT+CPIN?", {"\r\n+CME ERROR: 50\r\n"}, true},
        {"AT+CMGR=1", {"\r\n+CMS ERROR: 321\r\n"}, true},
        {"ATD*99#", {"\r\nCONNECT 9600\r\n"}, true},
        {"ATD*99#", {"\r\nNO CARRIER\r\n"}, true},
        {"AT+CSQ", {"\r\nNO CARRIER\r\n"}, false},  // a call that ended
        {"ATV0", {"ATV0\r0\r"}, true},              // the digit of OK
        {"AT+CMGS=1", {"\r\n> "}, true},            // asks for a message text
        {"AT", {"\r\nOK, but more\r\n"}, false},
    };
    for (const auto &c : cases) {
        Answer_Watch watch;
        watch.Expect(c.command);
        for (const QByteArray &chunk : c.chunks)
            watch.Feed(chunk);
        EXPECT_EQ(watch.Answered(), c.ended) << c.chunks.join('|').toStdString();
    }
}
