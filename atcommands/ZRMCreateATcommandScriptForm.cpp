#include "atcommands/ZRMCreateATcommandScriptForm.h"

TForm7::TForm7(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Создание скрипта AT команд при помощи формы"));
    resize(640, 520);
}
