#include "serial/PortHolderText.h"

QString Port_Holder_Text(const vexa::PortHolder &holder)
{
    if (holder.pid <= 0)
        return QString();
    const QString pid = QString::number(holder.pid);
    if (holder.program.empty())
        return QStringLiteral("Порт занят процессом ") + pid;
    return QStringLiteral("Порт занят программой ") + QString::fromStdString(holder.program) +
           QStringLiteral(" (pid ") + pid + ')';
}
