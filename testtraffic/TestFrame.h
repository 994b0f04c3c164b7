#pragma once
// What the test page sends, and how often: the test string's frame, the
// ASCII array, and the pause typed or picked in a pause box.

#include <QByteArray>
#include <QString>
#include <optional>

// The pause in milliseconds: exactly "0,1" is 100 and exactly "0,5" is 500;
// any other text is a whole number of seconds. Nothing when the text is not
// a whole number, or the pause does not fit a timer.
std::optional<int> Pause_Ms(const QString &text);

// The test string as it goes out: the text in cp1251, then, when a time of
// day is given, "Время:" and that time, then one CR. No blank, no LF.
QByteArray Test_Frame(const QString &text, const std::optional<QString> &timeOfDay);

// The 256 bytes 0x00, 0x01, ... 0xFF.
QByteArray Ascii_Array();
