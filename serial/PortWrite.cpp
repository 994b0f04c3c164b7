// Every byte the program sends passes through Write_To_Port.

#include <QLineEdit>
#include <QThread>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"
#include "serial/CounterText.h"

bool TForm1::Count_Sent_Bytes(std::uint32_t count)
{
    const auto sum = Counter_Add(Edit14->text(), count);
    if (!sum)
        return false;
    Edit14->setText(*sum);
    return true;
}

// The counter counts bytes handed to the driver, so it advances before the
// write completes, and also for a write that then fails. A call from another
// thread has its counter update carried out on the main thread.
bool TForm1::Write_To_Port(const std::uint8_t *bytes, std::uint32_t count)
{
    const auto port = Current_Port();
    bool counted = true;
    if (QThread::currentThread() == thread())
        counted = Count_Sent_Bytes(count);
    else
        QMetaObject::invokeMethod(this, [this, count] { Count_Sent_Bytes(count); }, Qt::QueuedConnection);

    const bool written = port && port->write(bytes, count);
    if (!counted) {
        vexa::Show_Message(QStringLiteral("Ошибка при записи в СОM порт ") + QString::number(port ? port->lastError() : 0));
        return false;
    }
    return written;
}

bool TForm1::Write_To_Port(const QByteArray &bytes)
{
    return Write_To_Port(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                         static_cast<std::uint32_t>(bytes.size()));
}

void TForm1::Send_AT_Command(const QByteArray &command)
{
    if (!Write_To_Port(command + '\r'))
        vexa::Show_Message(QStringLiteral("Oшибка записи в порт"));
}
