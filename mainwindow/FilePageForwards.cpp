// The window's side of the file-transfer page: the subsystem builds the
// page and does the work; the window's handlers of that page hand over.

#include "mainwindow/WindowSeams.h"
#include "mainwindow/ZRMHyperTerminal.h"

void TForm1::Build_File_Page(QWidget *page)
{
    FileTransferHost host{[this] {
                              Enter_Start_Directory();
                              return Start_Directory;
                          },
                          [this] { Clear_Focus(); }};
    Transfer = std::make_unique<FileTransfer>(page, Clock, *Serial, *Screen_Console, std::move(host));
    ComboBox7 = Transfer->ComboBox7;
    ComboBox8 = Transfer->ComboBox8;
    Edit5 = Transfer->Edit5;
    Edit6 = Transfer->Edit6;
    SpeedButton11 = Transfer->SpeedButton11;
    SpeedButton12 = Transfer->SpeedButton12;
    SpeedButton13 = Transfer->SpeedButton13;
}

void TForm1::Reset_File_Protocol() { Transfer->Enter_Page(); }

void TForm1::Leave_File_Page() { Transfer->Leave_Page(); }

void TForm1::Parse_File_Frames(const std::uint8_t *bytes, std::uint32_t count)
{
    Transfer->Parse_File_Frames(bytes, count);
}

void TForm1::SpeedButton11Click() { Transfer->SpeedButton11Click(); }

void TForm1::SpeedButton12Click() { Transfer->SpeedButton12Click(); }

void TForm1::SpeedButton13Click() { Transfer->SpeedButton13Click(); }

void TForm1::ComboBox7Change() { Transfer->ComboBox7Change(); }

void TForm1::ComboBox8Change() { Transfer->ComboBox8Change(); }
