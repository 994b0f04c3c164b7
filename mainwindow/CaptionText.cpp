#include "mainwindow/CaptionText.h"

const char kMakerName[] = "Лаборатория связи";
const char kMakerAddress[] = "http://vexa.example.org";
const char kVersionText[] = "Версия 4.01";

QString Maker_Text()
{
    return QString::fromUtf8(kMakerName) + QStringLiteral(" (") + QString::fromLatin1(kMakerAddress) + QLatin1Char(')');
}

QString Start_Caption()
{
    return QStringLiteral("Vexa    ") + Maker_Text() + QStringLiteral("   ") + QString::fromUtf8(kVersionText);
}

QString Port_Caption(const QString &port, bool fromPicker)
{
    return QStringLiteral("Vexa    ") + port + QStringLiteral("   ") + Maker_Text() +
           QString(fromPicker ? 4 : 3, QLatin1Char(' ')) + QString::fromUtf8(kVersionText);
}
