#include "serial/PortErrors.h"

namespace {

const char *Wording(PortError error)
{
    switch (error) {
    case PortError::Write: return "Oшибка записи в порт";
    case PortError::Counted_Write: return "Ошибка при записи в СОM порт ";
    case PortError::Open: return "Ошибка открытия порта ";
    case PortError::Read_Settings: return "Ошибка чтения настроек ";
    case PortError::Write_Settings: return "Ошибка записи настроек ";
    case PortError::Read_Parameters: return "Ошибка чтеня параметров порта";
    case PortError::Read_Line_Signals: return "Ошибка чтения параметров сигналов линии";
    case PortError::Open_Settings: return "Ошибка открытия текущих настроек";
    case PortError::Driver_Buffers: return "Ошибка размера , буферов драйвера драйвера";
    case PortError::Events: return "Ошибка событий";
    case PortError::Read_Event: return "Ошибка создания события на чтение";
    case PortError::Reader_Thread: return "Ошибка потока при чтении из COM порта №";
    case PortError::Wait_Event: return "Ошибка ожидания события ";
    case PortError::Read: return "Ошибка чтения №";
    }
    return "";
}

}  // namespace

QString Port_Error_Text(PortError error, std::optional<long> number)
{
    QString text = QString::fromUtf8(Wording(error));
    if (number)
        text += QString::number(*number);
    return text;
}
