#pragma once
// The help pages: text files in cp1251 under Menu/Contane/ of the start
// folder, printed on the terminal screen under their heading.

#include "platform/Console.h"

// Prints the page's heading in red and the file's text in black. The
// caller has cleared the screen and entered the start folder. A file that
// is missing or cannot be read to its end gets a notice.
void Print_Help_Page(Console &console, const char *file, const char *heading);
