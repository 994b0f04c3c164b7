#include "mainwindow/WorkCharLog.h"

#include "platform/LocalTime.h"

namespace {

QString File_Safe(QString text)
{
    for (QChar c : {QLatin1Char('.'), QLatin1Char(':'), QLatin1Char('/')})
        text.replace(c, QLatin1Char('-'));
    return text;
}

}  // namespace

QString Work_Char_Log_Name(const QDateTime &start, const QLocale &locale)
{
    return QStringLiteral("Logs/WorkChar/WorkCharLog_") + File_Safe(Short_Date_Text(start.date(), locale)) +
           QLatin1Char('_') + File_Safe(Long_Time_Text(start.time(), locale)) + QStringLiteral(".atl");
}
