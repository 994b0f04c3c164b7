#pragma once
// File receive dialog, modeless, fixed border without system buttons.

#include <QDialog>

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);
};
