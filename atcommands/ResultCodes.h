#pragma once
// What one line from a modem means on its own: a final result code that ends
// the answer to a command, an unsolicited code the modem sends whenever
// something happens, or the header of a short message whose text follows on
// the next line. The meaning a line takes within an answer (echo, message
// text) is the answer reader's business (ModemAnswer.h).

#include <QByteArray>

// When a final result code ends an answer.
enum class Final_Scope {
    Any_Command,
    Call_Command,  // only a command that dials, answers or goes back on line;
                   // to any other it is unsolicited: a call has ended
};

struct Final_Code {
    const char *Text;
    bool Prefix;   // the line starts with Text: "+CME ERROR: 10", "CONNECT 9600"
    bool Numeric;  // an ATV0 code: a line of digits ended by CR alone
    Final_Scope Scope;
};

// The row of the table of finals that the line (without its line end) is,
// or nullptr.
const Final_Code *Find_Final_Code(const QByteArray &line);

// A code the modem sends on its own: a call, a registration, a message, a
// network event.
bool Is_Unsolicited_Code(const QByteArray &line);

// A header after which the next line is a message's text or its PDU,
// whatever that line says.
bool Is_Message_Header(const QByteArray &line);
