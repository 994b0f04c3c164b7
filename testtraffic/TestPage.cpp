// The test page: its controls, and what the main window asks of the test
// traffic on a page switch and before the port closes.

#include <QLineEdit>

#include "mainwindow/Controls.h"
#include "mainwindow/ZRMHyperTerminal.h"

void TForm1::Build_Test_Page(QWidget *page)
{
    Label(QStringLiteral("Количество принятых данных:"), page, 6, 206);
    Edit13 = Named(new QLineEdit(QStringLiteral("0"), page), "Edit13");
    Edit13->setGeometry(230, 202, 100, 20);
    Label(QStringLiteral("Количество переданных дянных:"), page, 6, 232);
    Edit14 = Named(new QLineEdit(QStringLiteral("0"), page), "Edit14");
    Edit14->setGeometry(230, 228, 100, 20);
}

// The test page stops its test string and ASCII stream and unticks the time stamp.
void TForm1::Stop_Test_Traffic()
{
    SendString_Active = false;
    SendASCII_Active = false;
}

// No flood thread exists yet.
void TForm1::End_Test_Traffic() {}
