#pragma once
// AT command list editor, shown modally; its caption is set by each caller.

#include "atcommands/AtFileEditor.h"

class TForm2 : public AtFileEditor {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
};
