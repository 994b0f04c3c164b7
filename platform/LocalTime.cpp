#include "platform/LocalTime.h"

QString Long_Time_Format(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            kept += c;
    }
    kept.replace(QStringLiteral("()"), QString());
    return kept.simplified();
}

QString Short_Date_Text(const QDate &date, const QLocale &locale)
{
    return locale.toString(date, QLocale::ShortFormat);
}

QString Long_Time_Text(const QTime &time, const QLocale &locale)
{
    return locale.toString(time, Long_Time_Format(locale));
}
