#pragma once
// The work-character log: every byte printed on the terminal during one run,
// in Logs/WorkChar under the start directory.

#include <QDateTime>
#include <QLocale>
#include <QString>

// "Logs/WorkChar/WorkCharLog_" + short date + "_" + long time + ".atl", with
// every ".", ":" and "/" of the date and time made "-" so that neither the
// file system nor a folder separator trips over it.
QString Work_Char_Log_Name(const QDateTime &start, const QLocale &locale = QLocale::system());
