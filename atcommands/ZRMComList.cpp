#include "atcommands/ZRMComList.h"

TForm2::TForm2(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle("Form2");
    resize(393, 401);
}
