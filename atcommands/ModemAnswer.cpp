#include "atcommands/ModemAnswer.h"

namespace {

// Longer lines are information, never a result code; the cap keeps a peer
// that sends no line ends from growing the buffer.
constexpr qsizetype kLongestResult = 64;

}  // namespace

bool Is_Final_Result(const QByteArray &line)
{
    static const QByteArray exact[] = {"OK", "ERROR", "CONNECT", "NO CARRIER", "BUSY", "NO ANSWER", "NO DIALTONE",
                                       "0", "1", "3", "4", "6", "7", "8"};
    for (const QByteArray &code : exact)
        if (line == code)
            return true;
    return line.startsWith("CONNECT ") || line.startsWith("+CME ERROR:") || line.startsWith("+CMS ERROR:");
}

void Answer_Watch::Expect()
{
    answered_ = false;
    line_.clear();
}

void Answer_Watch::Feed(const QByteArray &bytes)
{
    for (const char byte : bytes) {
        if (byte == '\r' || byte == '\n') {
            Line_Ended();
        } else if (line_.size() < kLongestResult) {
            line_ += byte;
            if (line_ == "> ")
                answered_ = true;
        }
    }
}

void Answer_Watch::Line_Ended()
{
    if (Is_Final_Result(line_.trimmed()))
        answered_ = true;
    line_.clear();
}
