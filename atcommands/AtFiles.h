#pragma once
// Whole files of the AT-command subsystem (lists, scripts, the builder's
// tables, the autoload configuration, the script protocol), read and written
// in one go. A failure comes back with one description for every caller:
// the file's name and the reason, "File not found" for a file that is not
// there. Callers whose message is fixed show that instead.

#include <QByteArray>
#include <QString>
#include <optional>

std::optional<QByteArray> Read_Whole_File(const QString &path, QString *reason = nullptr);

// Creates the file, or replaces what it held, with exactly these bytes.
bool Write_Whole_File(const QString &path, const QByteArray &bytes, QString *reason = nullptr);
