#pragma once
// State of the firmware download: one XMODEM download and the group of
// files. TForm1 holds one of these.

struct FirmwareState {
};
