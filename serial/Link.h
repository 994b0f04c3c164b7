#pragma once
// A subsystem's way to the port: it writes whole arrays through it and hears
// from it when bytes arrive and when the port goes. A subsystem holds a
// Link, never the window or the port itself.

#include <QByteArray>
#include <QObject>
#include <cstdint>

class Link : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // One whole write, exclusive of every other writer; true when the port
    // took every byte. Counts the bytes on the test page as every write does.
    virtual bool Write(const std::uint8_t *bytes, std::uint32_t count) = 0;
    bool Write(const QByteArray &bytes)
    {
        return Write(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::uint32_t(bytes.size()));
    }
    // The line's speed in bit/s; 0 while no port is open.
    virtual std::uint32_t Baud_Rate() const = 0;
    virtual bool Port_Open() const = 0;

signals:
    // A chunk the port received, on the main thread, in order.
    void Received(const QByteArray &chunk);
    // The port is about to close (released, switched or lost): whatever
    // talks to it stops now, while a last write can still go out.
    void Closing();
    // A port was taken: opened where none was, or in place of another.
    void Changed();
};
