// Prints how long the terminal takes to show received bursts: the screen,
// the work-character log and the ASCII code view together, as a 65536-byte
// chunk from the reader costs on the main thread, and how many times the
// fastest line (256000 bit/s) that keeps up with.

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QDir>
#include <cstdio>
#include <memory>

#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/ZRMHyperTerminal.h"

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

void Measure(TForm1 &form, const char *what, const QByteArray &chunk, int rounds)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        form.Take_Received(chunk);
    const double ms = double(clock.nsecsElapsed()) / 1e6 / rounds;
    // 256000 bit/s, ten bits a character on the line.
    const double lineRate = chunk.size() / (ms / 1000.0) / (256000.0 / 10);
    std::printf("%-44s %8.2f ms per chunk  %8.1f KiB/s  %6.0f x line rate\n", what, ms,
                chunk.size() / 1024.0 / (ms / 1000.0), lineRate);
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir start;
    QDir::setCurrent(start.path());
    std::unique_ptr<TForm1> form(Create_Application_Forms());

    Measure(*form, "65536 bytes of modem text", Modem_Text(65536), 20);
    Measure(*form, "65536 bytes 0x00..0xFF", [] {
        QByteArray all(65536, 0);
        for (int i = 0; i < all.size(); ++i)
            all[i] = char(i & 0xFF);
        return all;
    }(), 20);
    Measure(*form, "16 bytes (a short answer)", QByteArray("\r\nOK\r\n+CSQ: 2,0"), 2000);
    // With the ASCII code view open every byte becomes a line of its text.
    form->Form4->show();
    Measure(*form, "65536 bytes with the ASCII view open", Modem_Text(65536), 5);
    form->Form4->hide();
    form->Rx_Test = true;
    Measure(*form, "65536 bytes on the test page (counted)", Modem_Text(65536), 20);
    return 0;
}
