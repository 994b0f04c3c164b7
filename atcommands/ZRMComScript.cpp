#include "atcommands/ZRMComScript.h"

TForm3::TForm3(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle("Form3");
    resize(394, 401);
}
