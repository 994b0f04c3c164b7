#pragma once
// State of the file-transfer subsystem: the frame parser, the sender and the
// receiver. TForm1 holds one of these.

struct FileTransferState {
};
