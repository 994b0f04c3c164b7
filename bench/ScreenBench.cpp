// Prints how long the terminal takes to show received bursts: the screen,
// the work-character log and the ASCII code view together, as a 65536-byte
// chunk from the reader costs on the main thread, and how many times the
// fastest line (256000 bit/s) that keeps up with; last, with the ASCII view
// open, that figure over 100 (1 or more keeps up with 100 such lines).

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTemporaryDir>
#include <QDir>
#include <cstdio>
#include <memory>

#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"

namespace {

QByteArray Modem_Text(int size)
{
    QByteArray bytes;
    bytes.reserve(size);
    for (int i = 0; bytes.size() < size; ++i) {
        bytes += "+CSQ: 21,0 ";
        if (i % 4 == 3)
            bytes += "\r\n";
    }
    bytes.resize(size);
    return bytes;
}

// Returns how many times the line rate the chunks were taken at.
double Report(const char *what, const QByteArray &chunk, qint64 ns, int rounds)
{
    const double ms = double(ns) / 1e6 / rounds;
    // 256000 bit/s, ten bits a character on the line.
    const double lineRate = chunk.size() / (ms / 1000.0) / (256000.0 / 10);
    std::printf("%-44s %8.2f ms per chunk  %8.1f KiB/s  %6.0f x line rate\n", what, ms,
                chunk.size() / 1024.0 / (ms / 1000.0), lineRate);
    return lineRate;
}

double Measure(TForm1 &form, const char *what, const QByteArray &chunk, int rounds)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        form.Take_Received(chunk);
    return Report(what, chunk, clock.nsecsElapsed(), rounds);
}

// Chunks back to back as the reader hands them over, the event loop running
// between them, up to the moment the open ASCII view shows the last line:
// the view's own refreshes are part of the cost.
double Measure_With_View(TForm1 &form, const char *what, const QByteArray &chunk, int rounds)
{
    TForm4 &view = *form.Form4;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        form.Take_Received(chunk);
        QCoreApplication::processEvents();
    }
    while (view.Memo1->document()->blockCount() < view.Line_Count())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return Report(what, chunk, clock.nsecsElapsed(), rounds);
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A box would wait for a user who is not there (an empty start folder
    // has no command list to load): messages go to the output.
    vexa::Set_Message_Sink(
        [](vexa::MessageKind, const QString &text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); });
    QTemporaryDir start;
    QDir::setCurrent(start.path());
    std::unique_ptr<TForm1> form(Create_Application_Forms());

    Measure(*form, "65536 bytes of modem text", Modem_Text(65536), 20);
    Measure(
        *form, "65536 bytes 0x00..0xFF",
        [] {
            QByteArray all(65536, 0);
            for (int i = 0; i < all.size(); ++i)
                all[i] = char(i & 0xFF);
            return all;
        }(),
        20);
    Measure(*form, "16 bytes (a short answer)", QByteArray("\r\nOK\r\n+CSQ: 2,0"), 2000);
    // With the ASCII code view open every byte becomes a line of its text.
    form->Form4->show();
    const double withView = Measure_With_View(*form, "65536 bytes with the ASCII view open", Modem_Text(65536), 60);
    form->Form4->hide();
    form->Rx_Test = true;
    Measure(*form, "65536 bytes on the test page (counted)", Modem_Text(65536), 20);
    std::printf("ascii-view ratio %.2f\n", withView / 100);
    return 0;
}
