#pragma once
// Where a modem's answer to one command ends, read from the stream of what
// the modem prints. After a command line a modem echoes it (when its echo is
// on), may send information lines, and ends with one final result code
// (ResultCodes.h) or with the prompt that asks for a message's text. Meanwhile
// it may send unsolicited codes of its own (RING, +CREG: ..., +CMTI: ...):
// they end nothing. The line after a message header (+CMGL:, +CMGR:, +CMT:,
// +CBM:) is the message's text or PDU, whatever it says, so a message that
// reads "OK" is not the end of a listing.
//
// How lines are cut: a modem ends every line with CR (S3); an LF right after
// a CR belongs to that line end, an LF anywhere else is part of the text (a
// message's own line break). With ATV1 every result code and unsolicited
// code comes after an empty line (CR LF before the code); with ATV0 result
// codes are bare digits ended by CR and there are no empty lines at all. The
// reader uses both: a bare number is a result code only where no empty line
// comes before it, and with ATV1 a message's text runs on to the next empty
// line.
//
// One reader serves one run of a script: what a line means depends on the
// lines before it, across the commands of the run (an unsolicited message
// may arrive just as the next command goes out).

#include <QByteArray>
#include <QList>

enum class Line_Kind { Echo, Information, Message_Text, Unsolicited, Final, Prompt };

struct Answer_Line {
    Line_Kind Kind;
    QByteArray Text;
    bool operator==(const Answer_Line &other) const { return Kind == other.Kind && Text == other.Text; }
};

class Answer_Watch {
public:
    // The command line has just been sent (without its CR): its answer is
    // awaited from here on.
    void Expect(const QByteArray &command);
    // The lines these bytes completed, in order, each with what it is.
    QList<Answer_Line> Feed(const QByteArray &bytes);
    bool Answered() const { return answered_; }

private:
    enum class Context {
        Lines,      // each line stands for itself
        Text_Next,  // after a message header: the next line is the text
        Text_More,  // ATV1, after a text line: the text goes on to an empty line
        Quoted,     // a line whose quoted string goes on over more lines
    };

    void Take(char byte, QList<Answer_Line> &out);
    void End_Line(QList<Answer_Line> &out);
    Line_Kind Kind_Of(const QByteArray &line, bool after_empty);
    void Open_Quote(const QByteArray &line, Line_Kind kind);

    QByteArray line_;           // the line so far, without line-end bytes
    bool overlong_ = false;     // more came than line_ keeps
    bool after_cr_ = false;     // the last byte was a CR
    bool after_empty_ = false;  // the last line was empty
    bool verbose_ = false;      // the modem frames its lines as ATV1 does
    bool prompted_ = false;     // line_ began with the prompt
    Context context_ = Context::Lines;
    Line_Kind quoted_kind_ = Line_Kind::Information;
    int quoted_bytes_ = 0;  // how far a quoted string has run on

    QByteArray command_;       // its echo is not part of the answer
    QByteArray command_name_;  // "+CREG" of AT+CREG?: lines it starts answer it
    bool echo_possible_ = false;
    bool call_command_ = false;  // NO CARRIER may end its answer
    bool answered_ = true;
};
