#include "serial/PortLists.h"

const QStringList &Speed_Items()
{
    static const QStringList items = {"110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",  "14400",
                                      "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
    return items;
}

const QStringList &Data_Bits_Items()
{
    static const QStringList items = {"5", "6", "7", "8"};
    return items;
}

const QStringList &Parity_Items()
{
    static const QStringList items = {"Even", "Mark", "None", "Odd"};
    return items;
}

const QStringList &Stop_Bits_Items()
{
    static const QStringList items = {"1", "1,5", "2"};
    return items;
}

const QStringList &Interval_Items()
{
    static const QStringList items = {"1000",  "5000",  "10000",  "15000",  "30000",
                                      "60000", "90000", "180000", "300000", "600000"};
    return items;
}

bool Is_Listed_Speed(std::int64_t speed) { return speed > 0 && Speed_Items().contains(QString::number(speed)); }

QString Speed_Text(std::uint32_t baudRate) { return Is_Listed_Speed(baudRate) ? QString::number(baudRate) : QString(); }

QString Parity_Text(std::uint8_t parity)
{
    static const char *const names[] = {"None", "Odd", "Even", "Mark"};
    return parity < 4 ? QString::fromLatin1(names[parity]) : QString();
}

QString Stop_Bits_Text(std::uint8_t stopBits)
{
    static const char *const names[] = {"1", "1,5", "2"};
    return stopBits < 3 ? QString::fromLatin1(names[stopBits]) : QString();
}

QString Line_Status_Text(const vexa::PortSettings &s)
{
    QString text = Speed_Text(s.BaudRate);
    if (s.ByteSize >= 5 && s.ByteSize <= 8)
        text += QLatin1Char(' ') + QString::number(s.ByteSize);
    if (const QString parity = Parity_Text(s.Parity); !parity.isEmpty())
        text += QLatin1Char(' ') + parity;
    if (const QString stop = Stop_Bits_Text(s.StopBits); !stop.isEmpty())
        text += QLatin1Char(' ') + stop;
    return text;
}

QString Flow_Status_Text(const vexa::PortSettings &s)
{
    const bool on = s.fOutxCtsFlow && s.fRtsControl == vexa::kRtsControlHandshake;
    return on ? QStringLiteral("Управление потоком: ВКЛЮЧЕНО") : QStringLiteral("Управление потоком: ОТКЛЮЧЕНО");
}

QString Port_Tip(const vexa::KnownPort &port)
{
    QStringList parts;
    if (port.usb) {
        const vexa::UsbDescription &usb = *port.usb;
        if (const QString device = QString::fromStdString(usb.maker + ' ' + usb.model).trimmed(); !device.isEmpty())
            parts << device;
        if (!usb.serial.empty())
            parts << QStringLiteral("серийный номер ") + QString::fromStdString(usb.serial);
        if (!usb.interfaceNumber.empty())
            parts << QStringLiteral("интерфейс ") + QString::fromStdString(usb.interfaceNumber);
        parts << QStringLiteral("USB %1:%2")
                     .arg(QString::fromStdString(usb.vendorId), QString::fromStdString(usb.productId));
    }
    if (port.byId)
        parts << QStringLiteral("ведёт к ") + QString::fromStdString(port.kernelName);
    return parts.join(QStringLiteral(", "));
}
