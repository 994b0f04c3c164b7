#pragma once
// Doubles of the seams a subsystem talks through, for building a subsystem
// without a main window: a console that records what the user would see and
// a link whose writes go wherever the test sends them.

#include <QByteArray>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

#include "platform/Console.h"
#include "serial/Link.h"

class RecordingConsole : public Console {
public:
    struct Printed {
        QByteArray bytes;
        ColorRef color;
    };
    void Print(const QByteArray &bytes, ColorRef color) override { printed.push_back({bytes, color}); }
    void New_Line() override { printed.push_back({QByteArray("\r"), kBlack}); }
    // Queued at once: a test reads them without an event loop.
    void Notice(const QString &text, vexa::MessageKind kind) override
    {
        (kind == vexa::MessageKind::Error ? errors : messages).append(text);
    }
    // Everything printed, colours aside.
    QByteArray Screen() const
    {
        QByteArray all;
        for (const Printed &p : printed)
            all += p.bytes;
        return all;
    }

    std::vector<Printed> printed;
    QStringList messages, errors;
};

class TestLink : public Link {
public:
    using Writer = std::function<bool(const QByteArray &)>;
    explicit TestLink(Writer writer = {}, std::uint32_t baud = 115200) : writer_(std::move(writer)), baud_(baud) {}
    bool Write(const std::uint8_t *bytes, std::uint32_t count) override
    {
        const QByteArray data(reinterpret_cast<const char *>(bytes), int(count));
        written += data;
        return !writer_ || writer_(data);
    }
    using Link::Write;
    std::uint32_t Baud_Rate() const override { return baud_; }
    bool Port_Open() const override { return true; }
    void Set_Writer(Writer writer) { writer_ = std::move(writer); }

    QByteArray written;

private:
    Writer writer_;
    std::uint32_t baud_;
};
