#pragma once
// State of the AT-command subsystem: the command list block, the script
// runner, the quick panel and the script builder. TForm1 holds one of these.

struct AtCommandsState {
};
