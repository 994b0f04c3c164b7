#pragma once
// Config/ATComm/ATList.nee: whether the command list is loaded at start, and
// which one. Line 1 "LoadATCommandList" (exactly) switches it on, line 2 is
// the list's path; anything else, an empty file included, means off.

#include <QByteArray>
#include <QString>

inline constexpr char kAutoloadConfigPath[] = "Config/ATComm/ATList.nee";

struct AutoloadChoice {
    bool On = false;
    QByteArray Path;  // empty when line 2 is absent or empty
};

AutoloadChoice Read_Autoload(const QByteArray &file);

// The two lines that switch the autoload on for a list, or off.
QByteArray Autoload_On(const QByteArray &path);
QByteArray Autoload_Off();

// Whether the file can hold the path so that it reads back as the same path:
// every character is in cp1251 and none breaks the line.
bool Fits_Cp1251(const QString &path);
