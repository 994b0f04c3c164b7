#pragma once
// Helpers for the file-transfer tests: a window on the file-transfer page
// with its port open, the user's steps on the page and in the dialogs, and
// a task that runs beside the event loop.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <future>

#include "support/TestSupport.h"

class QComboBox;

// Types the interval into the box and presses Enter, as a user does.
void Type_Interval(QComboBox *box, const QString &text);
// Opens the port, sets both intervals and shows the file-transfer page;
// the start folder gets its ReseiveFile and Logs folders.
void Open_File_Page(Application &app, const QString &port, int intervalMs);
// Waits for the receive dialog and presses "Принять".
bool Accept_When_Asked(Application &app, int timeoutMs = 5000);
// Chooses the file in the open dialog and presses "Передать файл".
void Send_File(Application &app, const QString &path);
// Whether the sending side has ended and its dialog is closed.
bool Sender_Idle(Application &app);
// Everything in ReseiveFile, hidden entries too.
QStringList Received_Entries(const Application &app);
QByteArray Random_Bytes(qsizetype n, unsigned seed);
// Sends a file named outgoing.bin from one window to the other, accepts it
// there and waits until both sides are done; the received file's bytes, or
// "<missing>".
QByteArray Transfer(Application &from, Application &to, const QByteArray &data, int timeoutMs = 8000);

// Waits for work on another thread while the test's event loop turns, and
// returns its result.
template <typename T>
T Finish(std::future<T> &work, int timeoutMs = 8000)
{
    Wait_Until([&] { return work.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, timeoutMs);
    return work.get();
}

template <typename F>
auto Beside(F work)
{
    return std::async(std::launch::async, std::move(work));
}
