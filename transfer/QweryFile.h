#pragma once
// The receive dialog: the announced file, the progress of its data frames
// and the time taken; "Принять" and "Отмена" answer the announcement.

#include "transfer/TransferDialog.h"

class TForm5 : public TransferDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);

    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit6;
    QProgressBar *Gauge1;
    QPushButton *SpeedButton1, *SpeedButton2;
    QTimer *TimerReseiveFile;

    void SpeedButton1Click();
    void SpeedButton2Click();

signals:
    void Accept_Pressed();
    void Refuse_Pressed();
};
