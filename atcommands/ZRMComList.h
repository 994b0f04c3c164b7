#pragma once
// AT command list editor, shown modally; its caption is set by each caller.

#include <QDialog>

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
};
