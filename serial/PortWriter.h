#pragma once
// Every byte the program sends passes through the one PortWriter: one whole
// write at a time, in the order the writers asked, each counted in the test
// page's sent-bytes field before it is handed over. Writers may be on any
// thread (the flood writes from its own); the field is looked after on the
// thread the writer was made on, the counter's box by the console's notices.

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Console.h"
#include "platform/SerialPort.h"
#include "serial/CounterText.h"
#include "serial/FairLock.h"

class PortWriter : public QObject {
public:
    // Uncounted when the sent-bytes counter held no number (the bytes still
    // went out).
    enum class Outcome { Written, Failed, Uncounted };
    struct Report {
        std::uint32_t taken = 0;  // what the port took
        int error = 0;            // the port's error number
    };
    struct Hooks {
        // The port in use, or none; called on any writer's thread.
        std::function<std::shared_ptr<vexa::SerialPort>()> Port;
        // Rewrites the field from Sent_Bytes.
        std::function<void()> Show_Sent_Bytes;
    };

    PortWriter(Hooks hooks, Console &console, QObject *parent = nullptr);

    // One whole write, exclusive of every other writer, without a message.
    // A retry, the rest of a write that failed, is not counted again; a set
    // stop ends a write in progress soon.
    Outcome Write_Exclusive(const std::uint8_t *bytes, std::uint32_t count, Report &report, bool retry = false,
                            const std::atomic<bool> *stop = nullptr);
    // A counted write; a counter that held no number is told in a box.
    bool Write(const std::uint8_t *bytes, std::uint32_t count);
    // "Ошибка при записи в СОM порт " with the error number; from any thread.
    void Report_Counter_Failure(int error);

    SharedCounter Sent_Bytes;  // what the test page's Edit14 shows

private:
    bool Count_Sent_Bytes(std::uint32_t count);

    Hooks hooks_;
    Console &console_;
    FairLock mutex_;  // one write at a time, in the order asked
};
