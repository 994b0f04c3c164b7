#include "atcommands/AtFiles.h"

#include <QFile>

namespace {

bool Fail(QString *reason, const QString &path, const QString &why)
{
    if (reason)
        *reason = path.isEmpty() ? why : path + QStringLiteral(": ") + why;
    return false;
}

}  // namespace

std::optional<QByteArray> Read_Whole_File(const QString &path, QString *reason)
{
    QFile file(path);
    if (path.isEmpty() || !file.exists()) {
        Fail(reason, path, QStringLiteral("File not found"));
        return std::nullopt;
    }
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        Fail(reason, path, file.errorString());
        return std::nullopt;
    }
    return bytes;
}

bool Write_Whole_File(const QString &path, const QByteArray &bytes, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
        return Fail(reason, path, file.errorString());
    return true;
}
