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
// has been answered or the caller's short wait for those answers has ended.

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
        Modem_Ready,        // waiting, and the modem asks for a download
        Send_Next,          // build and send the next block, then Next_Sent()
        Repeat_Block,       // send the last block again
        Await_Copies,       // wait a little for the answers to the other copies, then Copies_Waited()
        Send_Eot,           // every block is acknowledged: send EOT
        Repeat_Eot,         // the EOT was rejected: send it again
        Finished,           // the EOT is acknowledged
        Block_Rejected,     // the same block rejected kRejectLimit times: give up
        Eot_Rejected,       // the EOT rejected kRejectLimit times: give up
        Cancelled,          // the modem cancelled a running download: give up
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
    // The modem's last request while waiting was 'C'.
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
    Step Acknowledged(const Modem_Answer &answer);
    Step Rejected();
    Step Go_On(Step next);

    Phase phase_ = Phase::Waiting;
    Xmodem_Mode mode_ = Xmodem_Mode::Checksum;
    bool crcAsked_ = false;
    std::uint8_t blockNumber_ = 1;
    std::int64_t counter_ = 1;
    std::int64_t total_ = 0;
    std::int64_t remaining_ = 0;  // file bytes not yet in a block
    std::int64_t repeats_ = 0;
    int rejections_ = 0;
    int copies_ = 0;      // of the last block sent
    int unanswered_ = 0;  // while confirming
    Step deferred_ = Step::Nothing;
};
