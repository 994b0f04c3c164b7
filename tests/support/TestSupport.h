#pragma once
// Helpers shared by the tests: reading what the user would be shown, real
// pseudo-terminals, waiting while the event loop runs, a scratch start folder.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "platform/FileDialogs.h"

class TForm1;

// Collects every message and error box instead of showing it.
class MessageCatcher {
public:
    MessageCatcher();
    ~MessageCatcher();
    QStringList messages() const;
    QStringList errors() const;
    QStringList warnings() const;
    QStringList details() const;  // the detail lines under messages
    void clear();

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Answers every file dialog in the user's place, in order: each answer is a
// full path, or an empty text for Cancel. With no answer left it cancels.
// Records what each dialog would have offered.
class FileDialogAnswers {
public:
    explicit FileDialogAnswers(QStringList answers = {});
    ~FileDialogAnswers();
    void add(const QString &answer);
    QList<vexa::FileDialogRequest> requests() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// Runs the event loop until the condition holds or the time is up.
bool Wait_Until(const std::function<bool()> &condition, int timeoutMs = 5000);
// Runs the event loop for a while.
void Pump(int ms);

// A real pseudo-terminal; the program opens the slave path, the test plays
// the modem on the master side.
class Pty {
public:
    Pty();
    ~Pty();
    QString slavePath() const { return slavePath_; }
    int master() const { return master_; }
    int slave() const { return slave_; }
    void write(const QByteArray &bytes);
    // Reads from the master until count bytes arrived or the time is up.
    QByteArray read(int count, int timeoutMs = 3000);
    // Everything that arrives within the time.
    QByteArray drain(int ms);
    void closeMaster();
    void closeSlave();

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};

// A fresh start folder for one test; the current directory returns afterwards.
class ScratchStart {
public:
    ScratchStart();
    ~ScratchStart();
    QString path() const { return dir_.path(); }
    QString file(const QString &relative) const { return dir_.filePath(relative); }

private:
    QTemporaryDir dir_;
    QString previous_;
};

// The windows as the program creates them, in a scratch start folder that
// holds the shipped autoload configuration (no list loaded at start).
struct Application {
    ScratchStart start;
    MessageCatcher catcher;
    std::unique_ptr<TForm1> form;
    Application();
    ~Application();
    // Types a port name into the picker, as a user pasting it would.
    void Pick_Port(const QString &name);
    // The bytes of the work-character log so far.
    QByteArray Work_Char_Log() const;
};

QByteArray Cp(const char *utf8);

// Writes the file, creating its folders; the bytes of a file, or "<missing>".
void Write_File(const QString &path, const QByteArray &bytes);
QByteArray Read_File(const QString &path);
