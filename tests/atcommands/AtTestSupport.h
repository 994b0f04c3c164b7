#pragma once
// Helpers for the AT-command tests: modal windows driven from inside their
// own event loop, files in the start folder, and colours on the screen.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <functional>

#include "mainwindow/GlyphStrips.h"
#include "mainwindow/ScreenGeometry.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "support/TestSupport.h"

// Runs the action once a modal window is up (the handler under test shows it
// with exec()); the action must close it.
inline void When_Modal(std::function<void(QWidget *)> action)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            action(modal);
        }
    });
    poll->start(10);
}

// The ink of the screen cell (column, row): of the program's text colours,
// the one nearest to the cell's strongest pixel; false for a blank cell.
// Glyphs are smoothed, so a cell need not hold the exact colour anywhere.
inline bool Cell_Has(const TForm1 &f, int column, int row, ColorRef color)
{
    auto distance = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
    };
    const QRgb back = Color_Ref_To_Rgb(f.Screen_Back_Color);
    QRgb ink = back;
    for (int y = row * kLineHeight; y < (row + 1) * kLineHeight; ++y)
        for (int x = column * kCellWidth; x < (column + 1) * kCellWidth; ++x)
            if (distance(f.Screen_Image.pixel(x, y), back) > distance(ink, back))
                ink = f.Screen_Image.pixel(x, y);
    if (distance(ink, back) < 100)
        return false;
    ColorRef nearest = kBlack;
    for (const ColorRef candidate : {kBlack, kBlue, kRed, kGreen, kGrey})
        if (distance(ink, Color_Ref_To_Rgb(candidate)) < distance(ink, Color_Ref_To_Rgb(nearest)))
            nearest = candidate;
    return nearest == color;
}

// The shipped builder tables in the start folder.
inline void Lay_Out_Tables(const QString &start)
{
    const QDir shipped(QStringLiteral(VEXA_SOURCE_DIR "/data/Config/ATScript"));
    QDir(start).mkpath(QStringLiteral("Config/ATScript"));
    for (const QString &name : shipped.entryList(QDir::Files))
        QFile::copy(shipped.filePath(name), start + QStringLiteral("/Config/ATScript/") + name);
}

// Shows the window and gives it the keyboard, as a user's click would.
inline bool Activate(TForm1 &f)
{
    f.show();
    QApplication::setActiveWindow(&f);
    return QTest::qWaitForWindowActive(&f);
}

// Keys go where the keyboard is, as they do for a user.
inline void Type(TForm1 &f, const QString &text)
{
    for (QChar c : text) {
        QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : &f;
        QTest::keyClicks(to, QString(c));
    }
}

// A pick from a box's list: what the box does when the user clicks an item.
inline bool Choose(QComboBox *box, const QString &item)
{
    const int index = box->findText(item);
    if (index < 0)
        return false;
    box->setCurrentIndex(index);
    emit box->textActivated(item);
    return true;
}

// The simulated modem on a pty of its own, with these options; Port is empty
// when it did not start.
struct Simulated_Modem {
    QProcess Sim;
    QString Port;
    Simulated_Modem(const QString &store, const QStringList &options)
    {
        Sim.start(QStringLiteral(VEXA_MODEM_SIM), QStringList{"--no-link", "--quiet", "--store", store} + options);
        const QRegularExpression announced(QStringLiteral("modem on (\\S+)"));
        QByteArray out;
        while (Port.isEmpty() && Sim.waitForReadyRead(5000)) {
            out += Sim.readAllStandardOutput();
            Port = announced.match(QString::fromLocal8Bit(out)).captured(1);
        }
    }
    ~Simulated_Modem()
    {
        Sim.terminate();
        Sim.waitForFinished(5000);
    }
};
