#pragma once
// AT script editor, shown modally; its caption is set by each caller.

#include "atcommands/AtFileEditor.h"

class TForm3 : public AtFileEditor {
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
};
