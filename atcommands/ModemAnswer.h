#pragma once
// Where a modem's answer to one command ends. After a command line a modem
// echoes it, may send information lines, and ends with one final result
// code: OK, ERROR, +CME ERROR, +CMS ERROR, CONNECT, NO CARRIER, BUSY,
// NO ANSWER, NO DIALTONE (or their digits after ATV0), or the "> " prompt
// that asks for a message's text. The echo, information lines and
// unsolicited lines (RING, +CREG: ...) end nothing, so a command that takes
// minutes, like a network search, is waited for whatever its echo says.

#include <QByteArray>

class Answer_Watch {
public:
    // A command has just been sent: its answer is awaited from here on.
    void Expect();
    void Feed(const QByteArray &bytes);
    bool Answered() const { return answered_; }

private:
    void Line_Ended();

    QByteArray line_;  // the received line so far
    bool answered_ = true;
};

bool Is_Final_Result(const QByteArray &line);
