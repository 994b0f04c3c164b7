#pragma once
// Code page 1251 both ways. Every text Vexa shows or stores is cp1251 bytes;
// QString exists only at the widgets. A character cp1251 cannot hold becomes '?'.

#include <QByteArray>
#include <QChar>
#include <QString>

namespace vexa {

QChar Cp1251_To_Unicode(unsigned char byte);
QString Cp1251_Decode(const QByteArray &bytes);
QByteArray Cp1251_Encode(const QString &text);

}  // namespace vexa
