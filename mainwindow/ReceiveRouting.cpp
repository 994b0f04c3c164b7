// Received bytes go where the receive mode sends them: the page shown
// decides which subsystem hears the port.

#include <cstring>

#include "atcommands/AtCommands.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "testtraffic/TestTraffic.h"
#include "xmodem/FirmwareDownload.h"

void TForm1::Take_Received(const QByteArray &chunk)
{
    Rx_Count = static_cast<std::uint32_t>(std::min<qsizetype>(chunk.size(), kRxBufferSize));
    std::memcpy(Rx_Buffer.data(), chunk.constData(), Rx_Count);
    Dispatch_Received();
    // The modem sent something. Set here, on the main thread, once the chunk
    // has been dispatched, so that nobody sees the flag before the bytes it
    // stands for. A running script goes on only at the end of its command's
    // answer, which it looks for in the chunk itself.
    Reply_Seen = true;
    Commands->Script_Heard(chunk);
}

void TForm1::Dispatch_Received()
{
    int mode = 0;  // a later flag wins over an earlier one
    if (Rx_Script)
        mode = 1;
    if (Rx_File)
        mode = 2;
    if (Rx_Xmodem)
        mode = 3;
    if (Rx_Test)
        mode = 4;

    const std::uint8_t *bytes = Rx_Buffer.data();
    switch (mode) {
    case 0: Print_To_Screen(bytes, Rx_Count, kBlack); break;
    case 1:
        Print_To_Screen(bytes, Rx_Count, kBlack);
        Commands->Log_Received(bytes, Rx_Count);
        break;
    case 2: Parse_File_Frames(bytes, Rx_Count); break;
    case 3: Firmware->Scan_Modem_Reply(bytes, Rx_Count); break;
    case 4: Traffic->Count_Received(bytes, Rx_Count); break;
    }
    Rx_Count = 0;
}
