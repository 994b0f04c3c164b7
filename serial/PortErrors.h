#pragma once
// Every failure of the port that the user is told of, and the one place
// that words it. The texts are the program's own and stay byte for byte
// (the Latin O of the write failure, the trailing blanks, the typos).

#include <QString>
#include <optional>

enum class PortError {
    Write,              // a write the line did not take
    Counted_Write,      // a write whose count could not be kept; with the error number
    Open,               // the port could not be opened
    Read_Settings,      // the line settings could not be read
    Write_Settings,     // the line settings could not be written
    Read_Parameters,    // the settings could not be read for the status panel
    Read_Line_Signals,  // the modem lines could not be read
    Open_Settings,      // the settings of a port just opened could not be shown
    Driver_Buffers,     // the driver refused its queue sizes
    Events,             // the driver refused the event mask
    Read_Event,         // the reader could not start its wait
    Reader_Thread,      // the reader failed; with errno
    Wait_Event,         // the reader's wait failed
    Read,               // a read failed; with the port's error number
};

QString Port_Error_Text(PortError error, std::optional<long> number = std::nullopt);
