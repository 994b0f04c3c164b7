#include "atcommands/ModemAnswer.h"

#include <algorithm>
#include <utility>

#include "atcommands/ResultCodes.h"

namespace {

// A code or a header is far shorter; the rest of a longer line is only text.
constexpr qsizetype kLongestLine = 1024;
// A quoted string that goes on over lines is a USSD text, at most 182
// characters; past this a missing quote ends it, so that it cannot hide the
// answer's end.
constexpr int kLongestQuoted = 256;
constexpr char kCtrlZ = 0x1A;   // ends a message's text
constexpr char kEscape = 0x1B;  // abandons it

bool Is_Digit(char c) { return c >= '0' && c <= '9'; }

// Keys that end a message's text are not echoed by every modem.
QByteArray Without_End_Keys(QByteArray text)
{
    while (text.endsWith(kCtrlZ) || text.endsWith(kEscape))
        text.chop(1);
    return text;
}

// Where an extended command's arguments end: at its ';' or at the line's end.
// A ';' inside quotes belongs to a string.
qsizetype Extended_End(const QByteArray &line, qsizetype from)
{
    bool quoted = false;
    for (qsizetype i = from; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ';' && !quoted)
            return i;
    }
    return line.size();
}

qsizetype Name_End(const QByteArray &line, qsizetype from)
{
    qsizetype end = from + 1;
    while (end < line.size() && line[end] != '=' && line[end] != '?' && line[end] != ';')
        ++end;
    return end;
}

bool Is_Extended_Prefix(char c) { return c == '+' || c == '^' || c == '#' || c == '$' || c == '%' || c == '*'; }

// "+CREG" of "AT+CREG?": the lines its answer starts with.
QByteArray Extended_Name(const QByteArray &command)
{
    const QByteArray line = command.trimmed().toUpper();
    if (!line.startsWith("AT") || line.size() < 3 || !Is_Extended_Prefix(line[2]))
        return {};
    return line.mid(2, Name_End(line, 2) - 2);
}

// The command line dials, answers a call or goes back on line, so its
// answer may be NO CARRIER.
bool Is_Call_Command(const QByteArray &command)
{
    const QByteArray line = command.trimmed().toUpper();
    if (!line.startsWith("AT"))
        return false;
    qsizetype i = 2;
    auto skip_digits = [&] {
        while (i < line.size() && Is_Digit(line[i]))
            ++i;
    };
    while (i < line.size()) {
        const char c = line[i];
        if (c == 'D' || c == 'A' || c == 'O')
            return true;  // dial (the rest is its number), answer, on line
        if (Is_Extended_Prefix(c)) {
            const QByteArray name = line.mid(i, Name_End(line, i) - i);
            if (name == "+CGDATA" || name == "+CGANS")
                return true;  // enter the packet domain's data state
            i = Extended_End(line, i) + 1;
            continue;
        }
        ++i;
        if (c == '&' && i < line.size())
            ++i;
        skip_digits();
        if (c == 'S' && i < line.size() && (line[i] == '?' || line[i] == '=')) {
            ++i;
            skip_digits();
        }
    }
    return false;
}

}  // namespace

void Answer_Watch::Expect(const QByteArray &command)
{
    command_ = Without_End_Keys(command);
    command_name_ = Extended_Name(command);
    echo_possible_ = !command_.isEmpty();
    call_command_ = Is_Call_Command(command);
    answered_ = false;
    // What follows a prompt on its line is the echo of the text now sent.
    if (prompted_) {
        line_.clear();
        overlong_ = false;
        prompted_ = false;
    }
}

QList<Answer_Line> Answer_Watch::Feed(const QByteArray &bytes)
{
    QList<Answer_Line> out;
    for (const char byte : bytes)
        Take(byte, out);
    return out;
}

void Answer_Watch::Take(char byte, QList<Answer_Line> &out)
{
    const bool after_cr = std::exchange(after_cr_, byte == '\r');
    if (byte == '\r') {
        End_Line(out);
        return;
    }
    if (byte == '\n' && after_cr)
        return;
    if (line_.size() < kLongestLine)
        line_ += byte;
    else
        overlong_ = true;
    // The prompt is not followed by a line end: the modem waits for the text.
    if (byte == '>' && line_.size() == 1 && context_ == Context::Lines) {
        prompted_ = true;
        answered_ = true;
        out.append({Line_Kind::Prompt, line_});
    }
}

void Answer_Watch::End_Line(QList<Answer_Line> &out)
{
    const QByteArray line = std::exchange(line_, QByteArray());
    const bool overlong = std::exchange(overlong_, false);
    const bool prompted = std::exchange(prompted_, false);
    const bool empty = line.isEmpty();
    const bool after_empty = std::exchange(after_empty_, empty);
    verbose_ = verbose_ || empty;
    switch (context_) {
    case Context::Text_Next:
        out.append({Line_Kind::Message_Text, line});
        context_ = !empty && verbose_ ? Context::Text_More : Context::Lines;
        return;
    case Context::Text_More:
        if (empty) {
            context_ = Context::Lines;
        } else if (Is_Message_Header(line)) {
            out.append({Kind_Of(line, false), line});  // the next entry of a listing
            context_ = Context::Text_Next;
        } else {
            out.append({Line_Kind::Message_Text, line});
        }
        return;
    case Context::Quoted:
        out.append({quoted_kind_, line});
        quoted_bytes_ += line.size();
        if (line.count('"') % 2 == 1 || quoted_bytes_ > kLongestQuoted)
            context_ = Context::Lines;
        return;
    case Context::Lines: break;
    }
    if (empty || prompted)
        return;
    const QByteArray text = line.trimmed();
    Line_Kind kind = Line_Kind::Information;
    if (echo_possible_ && Without_End_Keys(line) == command_) {
        kind = Line_Kind::Echo;
    } else if (const Final_Code *code = overlong ? nullptr : Find_Final_Code(text);
               code && !(code->Numeric && after_empty)) {
        // NO CARRIER to a command that made no call: a call has ended.
        kind = code->Scope == Final_Scope::Any_Command || call_command_ ? Line_Kind::Final : Line_Kind::Unsolicited;
        answered_ = answered_ || kind == Line_Kind::Final;
        verbose_ = !code->Numeric;
    } else if (!overlong) {
        kind = Kind_Of(text, after_empty);
    }
    if (kind != Line_Kind::Unsolicited)
        echo_possible_ = false;
    out.append({kind, line});
    if (kind == Line_Kind::Final || kind == Line_Kind::Echo || overlong)
        return;
    if (Is_Message_Header(text))
        context_ = Context::Text_Next;
    else if (text.startsWith('+') && text.count('"') % 2 == 1)
        Open_Quote(line, kind);
}

// A line that is no result code: what the command asked for, or the
// modem's own news. A bare number that is no result code (it follows an
// empty line) is information too.
Line_Kind Answer_Watch::Kind_Of(const QByteArray &line, bool after_empty)
{
    const bool answers = !command_name_.isEmpty() && line.startsWith(command_name_ + ':');
    const bool number = !line.isEmpty() && std::all_of(line.begin(), line.end(), Is_Digit);
    if (!answers && Is_Unsolicited_Code(line) && !(number && after_empty))
        return Line_Kind::Unsolicited;
    return Line_Kind::Information;
}

void Answer_Watch::Open_Quote(const QByteArray &line, Line_Kind kind)
{
    context_ = Context::Quoted;
    quoted_kind_ = kind;
    quoted_bytes_ = line.size() - line.indexOf('"');
}
