#include "atcommands/ResultCodes.h"

namespace {

constexpr Final_Scope kAny = Final_Scope::Any_Command;
constexpr Final_Scope kCall = Final_Scope::Call_Command;

// Every final result code the reader knows, and where it comes from. A modem
// that sends one we do not know makes a run wait for its time limit, so a
// code a maker adds belongs here, with its maker.
constexpr Final_Code kFinal_Codes[] = {
    {"OK", false, false, kAny},                   // ITU-T V.250 5.7.1
    {"CONNECT", false, false, kAny},              // V.250
    {"CONNECT ", true, false, kAny},              // V.250: CONNECT <text>, the speed or protocol
    {"NO CARRIER", false, false, kCall},          // V.250
    {"ERROR", false, false, kAny},                // V.250
    {"NO DIALTONE", false, false, kAny},          // V.250
    {"BUSY", false, false, kAny},                 // V.250
    {"NO ANSWER", false, false, kAny},            // V.250
    {"+CME ERROR:", true, false, kAny},           // 3GPP TS 27.007 9.2, numbered or worded
    {"+CMS ERROR:", true, false, kAny},           // 3GPP TS 27.005 3.2.5, numbered or worded
    {"COMMAND NOT SUPPORT", false, false, kAny},  // Huawei module manuals: an unknown command
    {"TOO MANY PARAMETERS", false, false, kAny},  // Huawei module manuals
    {"ABORTED", false, false, kAny},              // u-blox manuals: a command ended by a key
    {"0", false, true, kAny},                     // V.250 ATV0: OK
    {"1", false, true, kAny},                     // V.250 ATV0: CONNECT
    {"3", false, true, kCall},                    // V.250 ATV0: NO CARRIER
    {"4", false, true, kAny},                     // V.250 ATV0: ERROR
    {"6", false, true, kAny},                     // V.250 ATV0: NO DIALTONE
    {"7", false, true, kAny},                     // V.250 ATV0: BUSY
    {"8", false, true, kAny},                     // V.250 ATV0: NO ANSWER
    {"5", false, true, kAny},                     // Hayes-compatible makers: CONNECT 1200
    {"10", false, true, kAny},                    // CONNECT 2400
    {"11", false, true, kAny},                    // CONNECT 4800
    {"12", false, true, kAny},                    // CONNECT 9600
    {"13", false, true, kAny},                    // CONNECT 7200
    {"14", false, true, kAny},                    // CONNECT 12000
    {"15", false, true, kAny},                    // CONNECT 14400
    {"16", false, true, kAny},                    // CONNECT 19200
    {"17", false, true, kAny},                    // CONNECT 38400
    {"18", false, true, kAny},                    // CONNECT 57600
    {"19", false, true, kAny},                    // CONNECT 115200
};

// Codes sent unprompted, by their start. "+CREG: 1" is also the answer to
// AT+CREG?; the reader tells the two apart by the command.
constexpr const char *kUnsolicited[] = {
    "RING",    "2",                                                   // V.250 (2: RING after ATV0)
    "+CRING:", "+CLIP:",  "+CCWA:",  "+CSSI:",   "+CSSU:", "+CUSD:",  // 27.007 calls, USSD
    "+CREG:",  "+CGREG:", "+CEREG:", "+C5GREG:", "+CGEV:",            // 27.007 network, packet domain
    "+CIEV:",  "+CTZV:",  "+CTZE:",                                   // 27.007 indicators, time zone
    "+CMTI:",  "+CMT:",   "+CBMI:",  "+CBM:",    "+CDSI:", "+CDS:",   // 27.005 new messages
    "+WIND:",                                                         // Wavecom/Sierra modules
    "^RSSI:",  "^MODE:",  "^BOOT:",                                   // Huawei modules
    "+QIND:",  "RDY",                                                 // Quectel modules
};

bool Starts_With_Code(const QByteArray &line, const char *code)
{
    const QByteArray text(code);
    if (!line.startsWith(text))
        return false;
    // "RING" is not "RINGING"; "+CMT:" is a whole name, so a prefix ends anyway.
    return line.size() == text.size() || text.endsWith(':') || line[text.size()] == ' ';
}

}  // namespace

const Final_Code *Find_Final_Code(const QByteArray &line)
{
    for (const Final_Code &code : kFinal_Codes) {
        if (code.Prefix ? line.startsWith(code.Text) : line == code.Text)
            return &code;
    }
    return nullptr;
}

bool Is_Unsolicited_Code(const QByteArray &line)
{
    for (const char *code : kUnsolicited)
        if (Starts_With_Code(line, code))
            return true;
    return false;
}

// +CDS: carries a PDU only in PDU mode, where its one field is the length;
// in text mode the whole report is on the header line.
bool Is_Message_Header(const QByteArray &line)
{
    for (const char *header : {"+CMGL:", "+CMGR:", "+CMT:", "+CBM:"})
        if (line.startsWith(header))
            return true;
    if (!line.startsWith("+CDS:"))
        return false;
    const QByteArray field = line.mid(5).trimmed();
    bool number = false;
    field.toInt(&number);
    return number;
}
