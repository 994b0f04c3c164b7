#include "transfer/SendFile.h"

#include <QLabel>
#include <QPushButton>

#include "platform/Controls.h"

TForm6::TForm6(QWidget *parent) : TransferDialog(parent, "Form6", QStringLiteral("Передача файла"), QSize(360, 250))
{
    Edit1 = Field("Edit1", QStringLiteral("Файл:"), 10, 190);
    Edit2 = Field("Edit2", QStringLiteral("Размер:"), 36);
    Label(QStringLiteral("байт"), this, 286, 39);
    Edit4 = Field("Edit4", QStringLiteral("Количество пакетов:"), 62);
    Gauge1 = Gauge("Gauge1", 92, "green");
    Edit3 = Field("Edit3", QStringLiteral("Пакет №:"), 118);
    Edit5 = Field("Edit5", QStringLiteral("Количество повторов:"), 144);
    Edit6 = Field("Edit6", QStringLiteral("Время передачи:"), 170);
    SpeedButton1 = Button("SpeedButton1", QStringLiteral("Отмена "), 120, 210);
    TimerTimeSendFile = Clock("TimerTimeSendFile", Edit6);
    connect(SpeedButton1, &QPushButton::clicked, this, &TForm6::SpeedButton1Click);
}

void TForm6::SpeedButton1Click() { emit Cancel_Pressed(); }
