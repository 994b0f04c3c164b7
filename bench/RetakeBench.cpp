// Prints how a restarting modem is taken again with "Занимать порт после
// переподключения" ticked: 100 rounds of unplugging and plugging in a USB
// modem of a test device tree, a pseudo-terminal behind its by-id name, each
// time under the next ttyUSB number. Figures: rounds taken again, the
// slowest and the mean time from the device's return to the port taken, the
// boxes shown, the process's share of one core while the device is away;
// last, the slowest retake over the one second a user may wait.

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

#include "mainwindow/ZRMHyperTerminal.h"
#include "support/DeviceTree.h"
#include "support/TestSupport.h"

namespace {

constexpr int kRounds = 100;
constexpr int kAwayMs = 200;

double Cpu_Seconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The event loop waits for its events as the program's own loop does.
void Idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    DeviceTree tree;
    vexa::Set_Device_Roots(tree.Roots());
    Application app;
    TForm1 &f = *app.form;
    const std::string link = "usb-SIMCOM_SIM7600_S1-if02-port0";
    auto pty = std::make_unique<Pty>();
    auto plug = [&](int n) {
        tree.Plug("ttyUSB" + std::to_string(n), {"S1", "02"}, link, pty->slavePath().toStdString());
    };
    plug(0);
    f.CheckBox7->click();
    app.Pick_Port(tree.Node("serial/by-id/" + link));

    int retaken = 0;
    double slowestMs = 0, totalMs = 0, awayCpu = 0, awayWall = 0;
    for (int n = 1; n <= kRounds && f.Serial->PortHeld; ++n) {
        tree.Unplug("ttyUSB" + std::to_string(n - 1));
        pty = std::make_unique<Pty>();
        if (!Wait_Until([&] { return !f.Serial->PortHeld; }))
            break;
        const double cpu = Cpu_Seconds();
        QElapsedTimer away;
        away.start();
        Idle(kAwayMs);
        awayCpu += Cpu_Seconds() - cpu;
        awayWall += away.nsecsElapsed() / 1e9;

        QElapsedTimer back;
        back.start();
        plug(n);
        if (!Wait_Until([&] { return f.Serial->PortHeld; }))
            break;
        const double ms = back.nsecsElapsed() / 1e6;
        ++retaken;
        slowestMs = std::max(slowestMs, ms);
        totalMs += ms;
    }
    std::printf("retake rounds %d, taken again %d\n", kRounds, retaken);
    std::printf("retake slowest %.1f ms, mean %.1f ms\n", slowestMs, retaken ? totalMs / retaken : 0.0);
    std::printf("retake boxes shown %lld\n", static_cast<long long>(app.catcher.messages().size()));
    std::printf("retake idle cpu while away %.3f %% of a core\n", awayWall > 0 ? 100.0 * awayCpu / awayWall : 0.0);
    std::printf("retake ratio %.3f\n", slowestMs / 1000.0);
    vexa::Set_Device_Roots({});
    return retaken == kRounds && app.catcher.messages().isEmpty() ? 0 : 1;
}
