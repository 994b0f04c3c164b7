#include "atcommands/QuickCommands.h"

namespace {
constexpr char kBeelineSim[] = "at+stsf=2,\"3B6BFFFF1F0100573E\"";
}  // namespace

const QuickCommand kQuickCommands[kQuickRows] = {
    {"SpeedButton19", "at@zrmdeb     ", "at@zrmdeb     ", "Первичная инициализация модема", true, false, false},
    {"SpeedButton5", "at+cfun=1      ", "at+cfun=1      ", "Программная перезагрузка", false, true, false},
    {"SpeedButton1", "at+wopen=0   ", "at+wopen=0   ", "Остановить пользовательское ПО", false, true, false},
    {"SpeedButton2", "at+wopen=1   ", "at+wopen=1   ", "Запустить пользовательское ПО", false, true, false},
    {"SpeedButton3", "at+wopen=3   ", "at+wopen=3   ", "Удалить объекты FLASH", false, true, false},
    {"SpeedButton4", "at+wopen=4   ", "at+wopen=4   ", "Удалить пользовательское ПО", false, true, false},
    {"SpeedButton6", "at+wdwl        ", "at+wdwl        ", "Начать прошивку ", false, true, false},
    {"SpeedButton7", "at+wind=0     ", "at+wind=0     ", "Отключить вывод сообщений WIND", false, true, false},
    {"SpeedButton8", "at+wfm=1,61  ", "at+wfm=1,61  ", "Освободить необходимый GPIO", false, true, false},
    {"SpeedButton9", "at+ifc=2,2      ", "at+ifc=2,2      ", "Управление потоком CTS/RTS", false, true, false},
    {"SpeedButton10", "at+ifc=0,0      ", "at+ifc=0,0      ", "Отключить управление потоком", false, true, false},
    {"SpeedButton11", "at&d0              ", "at&d0", "Отключить реакцию на DTR", false, true, false},
    {"SpeedButton12", "at&d1              ", "at&d1", "Включить реакции на DTR", false, true, false},
    {"SpeedButton13", "at&w               ", "at&w", "Сохранить настройки", false, true, false},
    {"SpeedButton14", "at+whcnf=0,0 ", "at+whcnf=0,0 ", "Отключение клавиатуры", false, true, false},
    {"SpeedButton22", "at+whcnf=3,0 ", "at+whcnf=3,0 ", "Отключение GPIO (SL6087)", false, true, false},
    {"SpeedButton15", "at+wgprs=9,1 ", "at+wgprs=9,1 ", "Вкл. возможность определения EDGE", false, true, false},
    {"SpeedButton16", "at+wcps=0,1  ", "at+wcps=0,1  ", "Увилечение тактовой частоты ARM", false, true, false},
    {"SpeedButton17", "at@zrmstart    ", "at@zrmstart    ", "Пользовательское ПО Dumb mode", true, false, false},
    {"SpeedButton20", "at+cbst=71,0,1", "at+cbst=71,0,1", "Режим CSD V.110 9.6 Кб/с", true, false, false},
    {"SpeedButton21", kBeelineSim, kBeelineSim, "Для Beeline", true, false, true},
    {"SpeedButton18", "at@zrmstop    ", "at@zrmstop    ", "Пользовательское ПО: Command mode", true, false, false},
};

QByteArray Quick_Command_Bytes(int row) { return QByteArray(kQuickCommands[row].Sent) + '\r'; }
