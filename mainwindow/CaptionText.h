#pragma once
// The main window's caption: the program, the open port, the maker, the version.

#include <QString>

extern const char kMakerName[];
extern const char kMakerAddress[];
extern const char kVersionText[];

// The maker's name, a blank and the web address in parentheses.
QString Maker_Text();
// "Vexa", four blanks, the maker text, three blanks, the version.
QString Start_Caption();
// "Vexa", four blanks, the port, three blanks, the maker text, then four
// blanks before the version when the port was picked, three when taken with
// the take/release button.
QString Port_Caption(const QString &port, bool fromPicker);
