#pragma once
// Local date and time as the user's system writes them.

#include <QDate>
#include <QLocale>
#include <QTime>

// The locale's long time format (hours, minutes, seconds) without any
// time-zone part: a clock, a file name and a test string have no use for it.
QString Long_Time_Format(const QLocale &locale);

QString Short_Date_Text(const QDate &date, const QLocale &locale = QLocale::system());
QString Long_Time_Text(const QTime &time, const QLocale &locale = QLocale::system());
