#include "at_commands.h"
#include "command_session.h"
#include "unsolicited.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace vexa::modemsim;

namespace {

std::string ok() { return "\r\nOK\r\n"; }
std::string error() { return "\r\nERROR\r\n"; }

// Answer text without the echo, for commands where only the answer matters.
std::string answerOf(const std::string &command)
{
    ModemState state;
    const Answer answer = answerCommand(command, state);
    std::string text;
    for (const auto &line : answer.info)
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
    EXPECT_EQ(session.feed("ATX\bI\r").output,
              "ATX\bI\r\r\nVexaSim VS-900 GSM/GPRS modem\r\n"
              "\r\nRevision VS900 1.0.0 (simulated)\r\n" +
                  ok());
}

TEST(ModemSimCommands, QuickPanelCommandsAreOkInAnyCaseWithTrailingBlanks)
{
    const char *commands[] = {
        "at@zrmdeb",    "at+cfun=1",      "at+wopen=0",
        "at+wopen=1",   "at+wopen=3",     "at+wopen=4",
        "at+wdwl",      "at+wind=0",      "at+wfm=1,61",
        "at+ifc=2,2",   "at+ifc=0,0",     "at&d0",
        "at&d1",        "at&w",           "at+whcnf=0,0",
        "at+whcnf=3,0", "at+wgprs=9,1",   "at+wcps=0,1",
        "at@zrmstart",  "at+cbst=71,0,1", "at+stsf=2,\"3B6BFFFF1F0100573E\"",
        "at@zrmstop",
    };
    for (const std::string command : commands) {
        EXPECT_EQ(answerOf(command), "OK") << command;
        EXPECT_EQ(answerOf(command + " \t "), "OK") << command;
        std::string upper = command;
        for (char &c : upper)
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
    for (const char *command : {"hello", "AT+FOO", "ATE", "ATE2", "AT+CFUN=9", "AT+IPR=1234", "AT+IPR=", "AT+IPR=9600x",
                                "AT+IFC=3,0", "AT+IFC=2,2,2", "AT&D5", "AT&D", " AT", "AT+CSQ?"})
        EXPECT_EQ(answerOf(command), "ERROR") << command;
}

// Values are typed as 27.007 and 27.005 type them: a quoted number or an
// unquoted string is a syntax error whatever AT+CMEE says; a value of the
// right type that the command does not take follows AT+CMEE.
TEST(ModemSimCommands, SetFormsTakeNumbersBareAndStringsQuoted)
{
    for (const char *command : {"AT+CMGF=1", "AT+CGDCONT=1,\"IP\",\"internet\"", "AT+CGDCONT=1",
                                "AT+CGDCONT=1,\"IP\",\"corp\",\"10.0.0.2\"", "at+cmgl=\"rec unread\"", "AT+CNMI=2,1",
                                "AT+CNMI=2,1,0,0,0", "AT+CPIN=\"0000\"", "AT+CSCA=\"+79001234567\",145",
                                "AT+CGAUTH=1,1,\"user\",\"secret\"", "AT+COPS=1,2,\"00101\"", "AT+CNMI=,,,,1"}) {
        ModemState state;
        state.textMode = true;  // AT+CMGL takes status names
        EXPECT_TRUE(answerCommand(command, state).ok) << command;
    }
    const struct {
        const char *command;
        const char *asPlain;   // AT+CMEE=0
        const char *asNumber;  // AT+CMEE=1
    } refused[] = {
        {"AT+CMGF=\"1\"", "ERROR", "ERROR"},
        {"AT+CFUN=\"1\"", "ERROR", "ERROR"},
        {"AT+CGDCONT=\"1\",\"IP\",\"internet\"", "ERROR", "ERROR"},
        {"AT+CGDCONT=1,IP,internet", "ERROR", "ERROR"},
        {"AT+CPIN=0000", "ERROR", "ERROR"},
        {"AT+CMGL=ALL", "ERROR", "ERROR"},
        {"AT+CMGF=\"\"", "ERROR", "ERROR"},
        {"AT+CSCA=\"+7900", "ERROR", "ERROR"},
        {"AT+CSCA=\"+7900\"x", "ERROR", "ERROR"},
        {"AT+CMGF=1x", "ERROR", "ERROR"},
        {"AT+CMGR=99999999999", "ERROR", "ERROR"},
        {"AT+CMGF=2", "ERROR", "+CME ERROR: 50"},
        {"AT+CGDCONT=4,\"IP\",\"x\"", "ERROR", "+CME ERROR: 50"},
        {"AT+CGDCONT=1,\"IP\",\"a\",\"b\",0,0,9", "ERROR", "+CME ERROR: 50"},
        {"AT+CMGL=7", "ERROR", "+CME ERROR: 50"},
        {"AT+CNMI=4", "ERROR", "+CME ERROR: 50"},
        {"AT+CGATT=", "ERROR", "+CME ERROR: 50"},
        {"AT+CGATT", "ERROR", "ERROR"},
        {"AT+CMGR", "ERROR", "ERROR"},
    };
    for (const auto &r : refused) {
        ModemState state;
        EXPECT_EQ(answerOf(r.command), r.asPlain) << r.command;
        ASSERT_TRUE(answerCommand("AT+CMEE=1", state).ok);
        EXPECT_EQ(answerCommand(r.command, state).error, r.asNumber) << r.command;
    }
    ModemState worded;
    ASSERT_TRUE(answerCommand("AT+CMEE=2", worded).ok);
    EXPECT_EQ(answerCommand("AT+CMEE?", worded).info, std::vector<std::string>{"+CMEE: 2"});
    EXPECT_EQ(answerCommand("AT+CNMI=4", worded).error, "+CME ERROR: Incorrect parameters");
}

// The search answers after its time; a byte in its first 125 ms is dropped,
// a later one aborts it with ERROR and is then taken as usual.
TEST(ModemSimCommands, TheNetworkSearchTakesItsTimeAndABytesAbortsIt)
{
    CommandSession session(2000);
    const std::string list = "\r\n+COPS: (2,\"VexaNet\",\"VexaNet\",\"00101\"),,(0-4),(0-2)\r\n" + ok();
    EXPECT_EQ(session.feed("AT+COPS=?\r", 1000).output, "AT+COPS=?\r");
    EXPECT_EQ(session.deadline(), std::optional<Millis>(3000));
    EXPECT_EQ(session.feed("\n", 1100).consumed, 1u);
    EXPECT_EQ(session.tick(2999).output, "");
    EXPECT_EQ(session.tick(3000).output, list);
    EXPECT_FALSE(session.deadline());

    session.feed("AT+COPS=?\r", 5000);
    EXPECT_EQ(session.feed("AT\r", 5200).output, error() + "AT\r" + ok());
    EXPECT_FALSE(session.deadline());
    EXPECT_EQ(CommandSession().feed("AT+COPS=?\r").output, "AT+COPS=?\r" + list);
}

// The store starts with texts that read like result codes. Each entry is
// its header and its text as one piece, in the form AT+CMGF chose.
TEST(ModemSimCommands, StoredMessagesAreListedReadAndDeleted)
{
    ModemState state;
    const Answer pdu = answerCommand("AT+CMGL=4", state);
    ASSERT_EQ(pdu.info.size(), 5u);
    EXPECT_EQ(pdu.info[0], "+CMGL: 1,0,,21\r\n07910700000000F0040B910700000000F100004250102100002102CF25");
    EXPECT_EQ(pdu.info[3], "+CMGL: 4,2,,15\r\n0011000B910700000000F40000AA0130");
    ASSERT_TRUE(answerCommand("AT+CMGF=1", state).ok);
    std::vector<std::string> texts;
    for (const auto &entry : answerCommand("AT+CMGL=\"ALL\"", state).info)
        texts.push_back(entry.substr(entry.find("\r\n") + 2));
    EXPECT_EQ(texts, (std::vector<std::string>{"OK", "ERROR", "BUSY", "0", "> see you"}));
    // Listing marked the unread one read.
    EXPECT_TRUE(answerCommand("AT+CMGL=\"REC UNREAD\"", state).info.empty());
    EXPECT_EQ(answerCommand("AT+CMGR=3", state).info,
              std::vector<std::string>{"+CMGR: \"REC READ\",\"+70000000003\",,\"24/05/01,12:00:00+12\"\r\nBUSY"});
    EXPECT_TRUE(answerCommand("AT+CMGD=3", state).ok);
    EXPECT_EQ(answerCommand("AT+CMGR=3", state).error, "+CMS ERROR: 321");
    EXPECT_EQ(answerCommand("AT+CPMS?", state).info[0], "+CPMS: \"SM\",4,20,\"SM\",4,20,\"SM\",4,20");
    EXPECT_TRUE(answerCommand("AT+CMGD=1,1", state).ok);  // the read ones
    EXPECT_EQ(answerCommand("AT+CMGL=\"ALL\"", state).info.size(), 2u);
    EXPECT_TRUE(answerCommand("AT+CMGD=1,4", state).ok);
    EXPECT_TRUE(answerCommand("AT+CMGL=\"ALL\"", state).info.empty());
}

// The text comes after the prompt, in each maker's form of it; Ctrl-Z sends
// or stores it, ESC abandons it.
TEST(ModemSimCommands, MessagesAreTypedAfterThePromptInEachForm)
{
    const struct {
        PromptForm form;
        std::string prompt;
    } forms[] = {{PromptForm::LineBlank, "\r\n> "}, {PromptForm::Line, "\r\n>"}, {PromptForm::Bare, ">"}};
    for (const auto &f : forms) {
        CommandSession session(0, f.form);
        EXPECT_EQ(session.feed("AT+CMGF=1\rAT+CMGS=\"+79161234567\"\r").output,
                  "AT+CMGF=1\r" + ok() + "AT+CMGS=\"+79161234567\"\r" + f.prompt);
        EXPECT_EQ(session.feed("Hi\r").output, "Hi\r" + f.prompt);
        EXPECT_EQ(session.feed("OK\x1A").output, "OK\r\n+CMGS: 1\r\n" + ok());
        session.feed("ATE0\r");
        EXPECT_EQ(session.feed("AT+CMGW\rBUSY\x1B").output, f.prompt + ok());
        EXPECT_EQ(session.feed("AT+CMGW=\"+7\"\rBUSY\x1A").output, f.prompt + "\r\n+CMGW: 6\r\n" + ok());
        EXPECT_EQ(session.feed("AT+CMGR=6\r").output, "\r\n+CMGR: \"STO UNSENT\",\"+7\",,\r\nBUSY\r\n" + ok());
        session.feed("AT+CMGF=0\r");
        EXPECT_EQ(session.feed("AT+CMGS=15\r0011000B910700000000F40000AA0130\x1A").output,
                  f.prompt + "\r\n+CMGS: 2\r\n" + ok());
        EXPECT_EQ(session.feed("AT+CMGS=15\rnot hex\x1A").output, f.prompt + "\r\n+CMS ERROR: 304\r\n");
        EXPECT_EQ(session.feed("AT+CMGW=15\r").output, "\r\n+CMS ERROR: 303\r\n");
    }
}

// Where makers differ, each dialect fails in its own words.
TEST(ModemSimCommands, EachDialectFailsInItsOwnWords)
{
    const struct {
        Dialect dialect;
        const char *unknown, *tooMany, *aborted;
    } dialects[] = {
        {Dialect::V250, "ERROR", "ERROR", "ERROR"},
        {Dialect::Huawei, "COMMAND NOT SUPPORT", "TOO MANY PARAMETERS", "ERROR"},
        {Dialect::Ublox, "ERROR", "ERROR", "ABORTED"},
    };
    for (const auto &d : dialects) {
        CommandSession session(2000, PromptForm::LineBlank, d.dialect);
        session.feed("ATE0\r");
        EXPECT_EQ(session.feed("AT^SYSINFO\r").output, frame(d.unknown));
        EXPECT_EQ(session.feed("AT+CFUN=1,1,1\r").output, frame(d.tooMany));
        session.feed("AT+COPS=?\r", 0);
        EXPECT_EQ(session.feed("A", 500).output, frame(d.aborted));
    }
}

// Each code comes framed, as one piece; a message indicated with +CMTI: is
// there to read, and a delivered one carries its text on the next line.
TEST(ModemSimUnsolicited, CodesComeWholeAndIndicatedMessagesAreStored)
{
    ModemState state;
    state.textMode = true;
    std::mt19937 random(7);
    std::set<std::string> names;
    for (int i = 0; i < 500; ++i) {
        const std::string code = unsolicitedCode(state, random);
        ASSERT_EQ(code.substr(0, 2), "\r\n");
        ASSERT_EQ(code.substr(code.size() - 2), "\r\n");
        const std::string name = code.substr(2, code.find_first_of(": \r", 2) - 2);
        names.insert(name);
        if (name == "+CMTI") {
            const std::size_t index = code.rfind(',') + 1;
            EXPECT_TRUE(answerCommand("AT+CMGR=" + code.substr(index, code.size() - 2 - index), state).ok) << code;
        }
        const auto lines = std::count(code.begin(), code.end(), '\r');
        EXPECT_EQ(lines, name == "+CMT" || name == "+CBM" ? 3 : 2) << code;
    }
    EXPECT_EQ(state.messages.count(), SmsStore::kCapacity);
    for (const char *expected : {"RING", "+CMTI", "+CMT", "+CBM", "+CREG", "+CUSD", "NO"})
        EXPECT_EQ(names.count(expected), 1u) << expected;
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

}  // namespace
