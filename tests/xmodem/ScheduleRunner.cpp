// vexa_xmodem_schedules [COUNT [FIRST]]  runs COUNT random schedules of the
//     firmware download on a simulated line (100000 unless given), from seed
//     FIRST (1 unless given), names each that breaks an invariant and ends
//     with `schedules N, false completes F, ...`.
// vexa_xmodem_schedules --seed S  replays one schedule, with every byte
//     moved and every line printed.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "xmodem/XmodemSchedules.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--seed") == 0) {
        const Schedule_Run run = Run_Schedule(Random_Schedule(std::strtoull(argv[2], nullptr, 10)),
                                              [](const QString &line) { std::printf("%s\n", qPrintable(line)); });
        std::printf("%s\n", run.Fault().isEmpty() ? "every invariant held" : qPrintable(run.Fault()));
        return run.Fault().isEmpty() ? 0 : 1;
    }
    const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
    const std::uint64_t first = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    std::uint64_t falseCompletes = 0, faults = 0, completes = 0;
    for (std::uint64_t seed = first; seed < first + count; ++seed) {
        const Schedule_Run run = Run_Schedule(Random_Schedule(seed));
        completes += run.complete && run.image_whole;
        if (run.Fault().isEmpty())
            continue;
        ++faults;
        falseCompletes += run.False_Complete();
        std::printf("seed %llu: %s\n", static_cast<unsigned long long>(seed), qPrintable(run.Fault()));
    }
    const auto n = [](std::uint64_t value) { return static_cast<unsigned long long>(value); };
    std::printf("schedules %llu, false completes %llu, other faults %llu, whole images %llu\n", n(count),
                n(falseCompletes), n(faults - falseCompletes), n(completes));
    return faults == 0 ? 0 : 1;
}
