#include "transfer/QweryFile.h"

#include <QLabel>
#include <QPushButton>

#include "platform/Controls.h"

TForm5::TForm5(QWidget *parent) : TransferDialog(parent, "Form5", QStringLiteral("Прием файла"), QSize(360, 230))
{
    Edit1 = Field("Edit1", QStringLiteral("Файл:"), 10, 190);
    Edit2 = Field("Edit2", QStringLiteral("Размер:"), 36);
    Label(QStringLiteral("байт."), this, 286, 39);
    Edit4 = Field("Edit4", QStringLiteral("Количество пакетов:"), 62);
    Gauge1 = Gauge("Gauge1", 92, "teal");
    Edit3 = Field("Edit3", QStringLiteral("Пакет №:"), 118);
    Edit6 = Field("Edit6", QStringLiteral("Время приема:"), 144);
    SpeedButton1 = Button("SpeedButton1", QStringLiteral("Принять"), 40, 186);
    SpeedButton2 = Button("SpeedButton2", QStringLiteral("Отмена"), 200, 186);
    TimerReseiveFile = Clock("TimerReseiveFile", Edit6);
    connect(SpeedButton1, &QPushButton::clicked, this, &TForm5::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TForm5::SpeedButton2Click);
}

void TForm5::SpeedButton1Click() { emit Accept_Pressed(); }

void TForm5::SpeedButton2Click() { emit Refuse_Pressed(); }
