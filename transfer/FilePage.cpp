// The file-transfer page: its controls, and what the main window asks of the
// file protocol on a page switch.

#include <QComboBox>

#include "mainwindow/Controls.h"
#include "mainwindow/ZRMHyperTerminal.h"

void TForm1::Build_File_Page(QWidget *page)
{
    Label(QStringLiteral("Интервал времени на передачу пакета(мс):"), page, 6, 172);
    ComboBox7 = Combo("ComboBox7", page, {6, 188, 100, 22});
    ComboBox7->setEditText(QStringLiteral("90000"));
    Label(QStringLiteral("Интервал времни на прием всего пакета(мс):"), page, 6, 216);
    ComboBox8 = Combo("ComboBox8", page, {6, 232, 100, 22});
    ComboBox8->setEditText(QStringLiteral("60000"));
}

// Choosing the file-transfer page resets the file protocol: its accumulation
// buffer, frame marks and the sender's retry counter. It keeps none yet.
void TForm1::Reset_File_Protocol() {}

// The file-transfer page's frame parser takes these bytes; until it exists
// they are received and dropped, and nothing reaches the screen.
void TForm1::Parse_File_Frames(const std::uint8_t *, std::uint32_t) {}
