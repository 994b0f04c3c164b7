#pragma once
// What the user is told about another program that holds a port.

#include <QString>

#include "platform/SerialPort.h"

// "Порт занят программой minicom (pid 1234)", or without the name when the
// system does not tell it; empty when the holder is unknown.
QString Port_Holder_Text(const vexa::PortHolder &holder);
