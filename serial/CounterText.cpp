#include "serial/CounterText.h"

std::optional<QString> Counter_Add(const QString &text, std::uint32_t count)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return QString::number(static_cast<qint64>(value) + static_cast<qint64>(count));
}
