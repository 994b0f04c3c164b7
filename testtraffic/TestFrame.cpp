#include "testtraffic/TestFrame.h"

#include <limits>

#include "platform/Cp1251.h"

std::optional<int> Pause_Ms(const QString &text)
{
    if (text == QLatin1String("0,1"))
        return 100;
    if (text == QLatin1String("0,5"))
        return 500;
    bool ok = false;
    const qlonglong seconds = text.toLongLong(&ok, 10);
    constexpr qlonglong kMostSeconds = std::numeric_limits<int>::max() / 1000;
    if (!ok || seconds > kMostSeconds || seconds < -kMostSeconds)
        return std::nullopt;
    return static_cast<int>(seconds * 1000);
}

QByteArray Test_Frame(const QString &text, const std::optional<QString> &timeOfDay)
{
    QString composed = text;
    if (timeOfDay)
        composed += QStringLiteral("Время:") + *timeOfDay;
    return vexa::Cp1251_Encode(composed) + '\r';
}

QByteArray Ascii_Array()
{
    QByteArray bytes(256, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i);
    return bytes;
}
