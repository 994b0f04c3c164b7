#pragma once
// How the AT-command files are cut into lines. Two readers, because list
// files and the other text files have always been read differently: a list
// file breaks at any CR, LF or CR LF and stops at a NUL; scripts, the builder's
// tables and the autoload configuration break at LF (or CR LF) and drop every
// other CR, so a script with lone CR breaks is one single step.

#include <QByteArray>
#include <QList>
#include <QStringList>

// The items of a list file: one per line, empty lines included. A NUL ends
// the text; a last line without a break counts, a break at the very end adds
// no empty item.
QList<QByteArray> Split_List_Lines(const QByteArray &file);

// The lines of a script, table or configuration file. A CR is never part of
// a line. A byte 0x1A at the start of a line ends the file; inside a line it
// ends that line's text and the rest up to the LF is skipped. A last line
// without a break counts, a break at the very end adds no empty line.
QList<QByteArray> Read_Text_Lines(const QByteArray &file);

// The lines as the widgets show them, decoded from cp1251.
QStringList Decoded_Lines(const QList<QByteArray> &lines);

// A file's text for an editor: every CR LF, lone CR and lone LF becomes one LF,
// the break of the editor's plain text.
QByteArray Editor_Text(const QByteArray &file);

// An editor's plain text as a file: each LF becomes CR LF, nothing added.
QByteArray File_Text(const QByteArray &editorText);
