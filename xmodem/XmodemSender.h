#pragma once
// The sending side of one XMODEM download, without the file or the port:
// what the modem's NAK and ACK mean in each phase, block numbers and counts.
// The caller builds and writes what each step asks for.
//
// Every wait ends: a block or the EOT rejected kRejectLimit times in a row
// ends the download, and the caller's silence time-out ends it when the
// modem stops answering.

#include <cstddef>
#include <cstdint>

#include "xmodem/ModemReply.h"

class XmodemSender {
public:
    // Classic XMODEM senders give a block ten tries; a line that spoils ten in
    // a row is not worth holding the page for.
    static constexpr int kRejectLimit = 10;

    enum class Phase {
        Waiting,      // no download; a NAK says the modem is ready
        Started,      // block 1 sent, nothing acknowledged yet
        In_Progress,  // at least one block acknowledged
        Ending,       // every block acknowledged, EOT sent
    };

    enum class Step {
        Nothing,
        Modem_Ready,        // waiting, and the modem asks for a download
        Send_Next,          // build and send the next block, then Next_Sent()
        Repeat_Block,       // send the last block again
        Send_Eot,           // every block is acknowledged: send EOT
        Repeat_Eot,         // the EOT was rejected: send it again
        Finished,           // the EOT is acknowledged
        Block_Rejected,     // the same block rejected kRejectLimit times: give up
        Eot_Rejected,       // the EOT rejected kRejectLimit times: give up
        Cancelled,          // the modem cancelled a running download: give up
    };

    // A download of size bytes (more than 0) begins; block 1 is due at once.
    void Begin(std::int64_t size);
    Step On_Nak();
    Step On_Ack();
    // What the modem's answer to one chunk asks of the download; a cancel
    // counts only while a download runs.
    Step On_Reply(Modem_Reply reply);
    // The block Send_Next asked for has gone out: number and counter advance.
    void Next_Sent();
    // Back to waiting, from any phase.
    void Stop() { phase_ = Phase::Waiting; }

    Phase phase() const { return phase_; }
    bool Running() const { return phase_ != Phase::Waiting; }
    // Number and 1-based position of the next new block.
    std::uint8_t Block_Number() const { return blockNumber_; }
    std::int64_t Blocks_Sent_Counter() const { return counter_; }
    std::int64_t Block_Total() const { return total_; }
    std::int64_t Tail() const { return tail_; }
    // File bytes the next new block carries: the tail in the last block.
    std::size_t Next_Data_Size() const;
    // Repeated blocks in this download.
    std::int64_t Repeats() const { return repeats_; }

private:
    Phase phase_ = Phase::Waiting;
    std::uint8_t blockNumber_ = 1;
    std::int64_t counter_ = 1;
    std::int64_t total_ = 0;
    std::int64_t tail_ = 0;
    std::int64_t repeats_ = 0;
    int rejections_ = 0;
};
