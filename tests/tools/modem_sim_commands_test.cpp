#include "at_commands.h"
#include "command_session.h"

#include <gtest/gtest.h>

#include <string>

using namespace vexa::modemsim;

namespace {

std::string ok() { return "\r\nOK\r\n"; }
std::string error() { return "\r\nERROR\r\n"; }

// Answer text without the echo, for commands where only the answer matters.
std::string answerOf(const std::string& command)
{
    ModemState state;
    const Answer answer = answerCommand(command, state);
    std::string text;
    for (const auto& line : answer.info)
        text += line + "|";
    return text + (answer.ok ? "OK" : "ERROR");
}

TEST(ModemSimCommands, EchoesThenAnswersInModemFraming)
{
    CommandSession session;
    EXPECT_EQ(session.feed("AT\r").output, "AT\r" + ok());
    EXPECT_EQ(session.feed("AT+CPIN?\r").output, "AT+CPIN?\r\r\n+CPIN: READY\r\n" + ok());
}

TEST(ModemSimCommands, EchoFollowsAte0AndAte1)
{
    CommandSession session;
    // ATE0 itself is still echoed: the echo happens as the bytes arrive.
    EXPECT_EQ(session.feed("ATE0\rAT\r").output, "ATE0\r" + ok() + ok());
    EXPECT_FALSE(session.state().echo);
    EXPECT_EQ(session.feed("ATE1\rAT\r").output, ok() + "AT\r" + ok());
}

TEST(ModemSimCommands, LfIsIgnoredAndLinesMaySpanFeeds)
{
    CommandSession session;
    EXPECT_EQ(session.feed("A").output, "A");
    EXPECT_EQ(session.feed("T\n").output, "T\n");
    EXPECT_EQ(session.feed("\r").output, "\r" + ok());
    EXPECT_EQ(session.feed("\nAT\r\n").output, "\nAT\r" + ok() + "\n");
}

TEST(ModemSimCommands, BareCrIsSilentAndBackspaceEdits)
{
    CommandSession session;
    EXPECT_EQ(session.feed("\r").output, "\r");
    EXPECT_EQ(session.feed("ATX\bI\r").output, "ATX\bI\r\r\nVexaSim VS-900 GSM/GPRS modem\r\n"
                                                "\r\nRevision VS900 1.0.0 (simulated)\r\n" + ok());
}

TEST(ModemSimCommands, QuickPanelCommandsAreOkInAnyCaseWithTrailingBlanks)
{
    const char* commands[] = {
        "at@zrmdeb", "at+cfun=1", "at+wopen=0", "at+wopen=1", "at+wopen=3", "at+wopen=4",
        "at+wdwl", "at+wind=0", "at+wfm=1,61", "at+ifc=2,2", "at+ifc=0,0", "at&d0", "at&d1",
        "at&w", "at+whcnf=0,0", "at+whcnf=3,0", "at+wgprs=9,1", "at+wcps=0,1", "at@zrmstart",
        "at+cbst=71,0,1", "at+stsf=2,\"3B6BFFFF1F0100573E\"", "at@zrmstop",
    };
    for (const std::string command : commands) {
        EXPECT_EQ(answerOf(command), "OK") << command;
        EXPECT_EQ(answerOf(command + " \t "), "OK") << command;
        std::string upper = command;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(answerOf(upper), "OK") << upper;
    }
}

TEST(ModemSimCommands, QueriesGiveTheirLinesThenOk)
{
    EXPECT_EQ(answerOf("AT+CSQ"), "+CSQ: 21,0|OK");
    EXPECT_EQ(answerOf("at+creg?"), "+CREG: 0,1|OK");
    EXPECT_EQ(answerOf("AT+IPR?"), "+IPR: 115200|OK");
}

TEST(ModemSimCommands, UnknownOrMalformedCommandsAreErrors)
{
    for (const char* command : {"hello", "AT+FOO", "ATE", "ATE2", "AT+CFUN=9", "AT+IPR=1234",
                                "AT+IPR=", "AT+IPR=9600x", "AT+IFC=3,0", "AT+IFC=2",
                                "AT&D5", "AT&D", " AT", "AT+CSQ?"})
        EXPECT_EQ(answerOf(command), "ERROR") << command;
}

TEST(ModemSimCommands, SetFormsCheckTheirValuesQuotedOrNot)
{
    // The script builder quotes every value outside its COM port mode.
    for (const char* command : {"AT+CMGF=1", "AT+CMGF=\"1\"", "AT+CGDCONT=\"1\",\"IP\",\"internet\"",
                                "AT+CGDCONT=1,\"IP\",\"corp\",\"10.0.0.2\"", "at+cmgl=\"rec unread\"",
                                "AT+CNMI=2,1", "AT+CNMI=\"2\",\"1\",\"0\",\"0\",\"0\""}) {
        ModemState state;
        EXPECT_TRUE(answerCommand(command, state).ok) << command;
    }
    for (const char* command : {"AT+CMGF=2", "AT+CMGF=\"\"", "AT+CGDCONT=4,\"IP\",\"x\"", "AT+CGDCONT=1,\"IP\"",
                                "AT+CGDCONT=1,\"IP\",\"a\",\"b\",\"c\"", "AT+CMGL=\"NEW\"", "AT+CNMI=4",
                                "AT+CGATT", "AT+CMGR", "AT+CMGF=1x", "AT+CMGR=99999999999"})
        EXPECT_EQ(answerOf(command), "ERROR") << command;
}

TEST(ModemSimCommands, ReadAndTestFormsAnswerWithInformation)
{
    EXPECT_EQ(answerOf("AT+CGATT?"), "+CGATT: 1|OK");
    EXPECT_EQ(answerOf("AT+CMGF=?"), "+CMGF: (0,1)|OK");
    EXPECT_EQ(answerOf("AT+CNMI=?"), "+CNMI: (0-3),(0-3),(0-3),(0-2),(0,1)|OK");
    EXPECT_EQ(answerOf("AT+COPS=?"), "+COPS: (2,\"VexaNet\",\"VexaNet\",\"00101\"),,(0-4),(0-2)|OK");
    EXPECT_EQ(answerOf("AT+CGPADDR=1"), "+CGPADDR: 1,\"10.64.12.7\"|OK");
    EXPECT_EQ(answerOf("AT+CGMI=?"), "ERROR");
    EXPECT_EQ(answerOf("AT+CGMI?"), "ERROR");
}

TEST(ModemSimCommands, IprKeepsTheLastValidRate)
{
    ModemState state;
    EXPECT_TRUE(answerCommand("AT+IPR=9600", state).ok);
    EXPECT_FALSE(answerCommand("AT+IPR=9601", state).ok);
    EXPECT_EQ(answerCommand("at+ipr?", state).info, std::vector<std::string>{"+IPR: 9600"});
}

TEST(ModemSimCommands, OverlongLineIsErrorAtItsCrAndTheNextLineWorks)
{
    CommandSession session;
    session.feed("ATE0\r");
    const std::string longLine(10000, 'A');
    EXPECT_EQ(session.feed(longLine).output, "");
    EXPECT_EQ(session.feed("\rAT\r").output, error() + ok());
    // Trailing blanks are ignored, so only the length decides here.
    const std::string atLimit = "AT" + std::string(LineAssembler::kMaxLine - 2, ' ');
    EXPECT_EQ(session.feed(atLimit + "\r").output, ok());
    EXPECT_EQ(session.feed(atLimit + " \r").output, error());
}

TEST(ModemSimCommands, ActionsAreReported)
{
    CommandSession session;
    const auto cfun = session.feed("AT+CFUN=1\r");
    EXPECT_TRUE(cfun.startupNotice);
    EXPECT_FALSE(cfun.startDownload);

    // Bytes after the line that starts a download belong to the receiver.
    const std::string input = "AT+WDWL\r\x01\x01\xFE";
    const auto wdwl = session.feed(input);
    EXPECT_TRUE(wdwl.startDownload);
    EXPECT_EQ(wdwl.consumed, 8u);
    EXPECT_EQ(wdwl.output, "AT+WDWL\r" + ok());
}

} // namespace
