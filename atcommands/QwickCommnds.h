#pragma once
// Quick command panel, modeless, fixed dialog border.

#include <QDialog>

class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(QWidget *parent = nullptr);
};
