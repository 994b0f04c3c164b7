#pragma once
// The sending side of one XMODEM download, without the file or the port:
// what the modem's answers mean in each phase, block sizes, numbers and
// counts. The caller builds and writes what each step asks for.
//
// Every wait ends: a block or the EOT rejected kRejectLimit times in a row
// ends the download, and the caller's silence time-out ends it when the
// modem stops answering.
//
// An ACK is credited only to a block that went out and is not yet
// acknowledged. A receiver answers every copy of a block, also a copy it
// already holds; a NAK that crossed the block on the line gets a copy the
// receiver did not ask for, and so a second ACK. After the first ACK of a
// block sent more than once, the next block waits until each further copy
// has been acknowledged or the caller's wait for those answers, started
// again at each one, has ended.
//
// Until the first ACK the modem's latest request decides the check: a
// receiver that asks 'C' gets CRC blocks, one that asks with NAK (also one
// that falls back to NAK after asking 'C') gets checksum blocks, whatever
// the request before it was. A change keeps block 1's size, so that an ACK
// means the same data whichever form it answers. Only a block 1 of 1024
// bytes cannot keep it: a NAK still gets its checksum form, and then no CRC
// form again, so that the modem holds either the long form and cannot read
// the checksum blocks that follow (the download fails), or the short one.

#include <cstddef>
#include <cstdint>

#include "xmodem/ModemReply.h"
#include "xmodem/XmodemBlock.h"

class XmodemSender {
public:
    // Classic XMODEM senders give a block ten tries; a line that spoils ten in
    // a row is not worth holding the page for.
    static constexpr int kRejectLimit = 10;
    // Fewer bytes than this go in 128-byte blocks: from here on one padded
    // 1024-byte block is shorter on the line than the 128-byte blocks, and
    // both pad the file to the same multiple of 128.
    static constexpr std::int64_t kLongBlockAbove = 7 * static_cast<std::int64_t>(kXmodemDataSize);

    enum class Phase {
        Waiting,      // no download; a NAK or 'C' says the modem is ready
        Started,      // block 1 sent, nothing acknowledged yet
        In_Progress,  // at least one block acknowledged
        Confirming,   // a repeated block is acknowledged; its other copies may still be answered
        Ending,       // every block acknowledged, EOT sent
    };

    enum class Step {
        Nothing,
        Modem_Ready,     // waiting, and the modem asks for a download
        Send_Next,       // build and send the next block, then Next_Sent()
        Repeat_Block,    // send the last block again
        Rebuild_Block,   // the modem asks for the other check: build block 1 again in Mode(), then Next_Sent()
        Await_Copies,    // wait (again) a little for the answers to the other copies, then Copies_Waited()
        Send_Eot,        // every block is acknowledged: send EOT
        Repeat_Eot,      // the EOT was rejected: send it again
        Finished,        // the EOT is acknowledged
        Block_Rejected,  // the same block rejected kRejectLimit times: give up
        Eot_Rejected,    // the EOT rejected kRejectLimit times: give up
        Cancelled,       // the modem cancelled a running download: give up
    };

    // A download of size bytes (more than 0) begins; block 1 is due at once.
    void Begin(std::int64_t size, Xmodem_Mode mode = Xmodem_Mode::Checksum);
    // What the modem's answer to one chunk asks of the download; a cancel
    // counts only while a download runs.
    Step On_Reply(Modem_Answer answer);
    Step On_Nak() { return On_Reply({Modem_Reply::Nak, 1, 0}); }
    Step On_Ack() { return On_Reply({Modem_Reply::Ack, 1, 0}); }
    // The wait Await_Copies asked for has ended.
    Step Copies_Waited();
    // The block Send_Next asked for has gone out: number and counter advance.
    void Next_Sent();
    // Back to waiting, from any phase.
    void Stop() { phase_ = Phase::Waiting; }

    Phase phase() const { return phase_; }
    bool Running() const { return phase_ != Phase::Waiting; }
    // The modem's latest request, while waiting or before the first ACK, was 'C'.
    bool Crc_Asked() const { return crcAsked_; }
    Xmodem_Mode Mode() const { return mode_; }
    // Number and 1-based position of the next new block.
    std::uint8_t Block_Number() const { return blockNumber_; }
    std::int64_t Blocks_Sent_Counter() const { return counter_; }
    std::int64_t Block_Total() const { return total_; }
    // Data size of the next new block (128 or 1024), and the file bytes it
    // carries: fewer in the last block.
    std::size_t Next_Block_Size() const;
    std::size_t Next_Data_Size() const;
    // Repeated blocks in this download.
    std::int64_t Repeats() const { return repeats_; }

private:
    void Plan(Xmodem_Mode mode);
    Step Follow_Request(bool crc);
    Step Acknowledged(const Modem_Answer &answer);
    Step Rejected();
    Step Go_On(Step next);

    Phase phase_ = Phase::Waiting;
    Xmodem_Mode mode_ = Xmodem_Mode::Checksum;
    Xmodem_Mode crcMode_ = Xmodem_Mode::Crc;  // block 1's CRC form
    std::int64_t size_ = 0;
    bool crcAsked_ = false;
    std::uint8_t blockNumber_ = 1;
    std::int64_t counter_ = 1;
    std::int64_t total_ = 0;
    std::int64_t remaining_ = 0;  // file bytes not yet in a block
    std::int64_t repeats_ = 0;
    int rejections_ = 0;
    int copies_ = 0;      // of the last block sent, in any check form
    int unanswered_ = 0;  // while confirming
    Step deferred_ = Step::Nothing;
    bool rebuilt_ = false;    // block 1 is due again in another check form
    bool longStart_ = false;  // block 1 went out with 1024 bytes
};
