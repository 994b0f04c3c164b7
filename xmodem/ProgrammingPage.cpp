// The modem-programming page: its controls, and what the main window asks of
// the firmware download on a page switch.

#include "mainwindow/ZRMHyperTerminal.h"

void TForm1::Build_Programming_Page(QWidget *) {}

// Choosing the programming page empties its file name, size and repeat
// count. The page has no fields yet.
void TForm1::Clear_Programming_Fields() {}

// The firmware download's reply scanner takes these bytes; until it exists
// they are received and dropped, and nothing reaches the screen.
void TForm1::Scan_Modem_Reply(const std::uint8_t *, std::uint32_t) {}
