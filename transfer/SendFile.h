#pragma once
// The send dialog: the file being sent, the progress of its data frames, the
// frames sent again and the time taken; "Отмена " ends the transfer.

#include "transfer/TransferDialog.h"

class TForm6 : public TransferDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget *parent = nullptr);

    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6;
    QProgressBar *Gauge1;
    QPushButton *SpeedButton1;
    QTimer *TimerTimeSendFile;

    void SpeedButton1Click();

signals:
    void Cancel_Pressed();
};
