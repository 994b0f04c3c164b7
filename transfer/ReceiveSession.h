#pragma once
// What the receiving side of the file protocol decides, apart from windows,
// files and timers: which announcements to ask about, and which data frames
// to store, to acknowledge again, to ask for again or to refuse.
//
// The receiver expects the frame after the last one it stored. A frame it
// already stored (its acknowledgement was lost, so the sender repeated it)
// is acknowledged again and not stored twice; this holds for the last frame
// too, after the file is complete. Every frame but the last is 32796 bytes
// long; the last is its tail plus 28, or 32796 when the file ends on a full
// frame. A receive that failed to store its file never acknowledges a frame
// of it again: it answers them with a refusal, as it does after a cancel.
//
// While receiving, a data frame that fits neither place is asked for again
// at once, and so is the sender's frame when the line stays silent: a live
// sender repeats on that request whatever its own interval, so the receiver
// gives up only after its requests went unanswered.
//
// The number field has no check of its own. A repeat of the frame just
// stored whose number was spoilt into the next one would pass for that next
// frame; it is told apart by its data, which is the data just stored. Such a
// frame is taken only when it comes twice in a row, the second time asked
// for: by then the sender has repeated whatever frame it is at.
//
// A sender that stops after the last frame was stored did not hear that the
// file is complete and tells its user that it failed: the receiver then
// gives the file up too, so that both tell the same story.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "transfer/FileFrames.h"

// An announcement as read from its frame.
struct Announced {
    QByteArray name;      // cp1251, as it travelled
    QByteArray sizeText;  // the size field's digits
    std::uint64_t size = 0;
};

enum class AnnouncementCheck { Good, BadSize, BadName };

// Reads an 80-byte announcement frame. A size that is not digits within the
// protocol's range makes the announcement unusable (BadSize); a name that is
// not one plain file name is BadName. Fields are read within their widths
// even when no zero byte ends them.
AnnouncementCheck Read_Announcement(const std::uint8_t *frame, Announced &announced);

// The file name on disk for a received cp1251 name: one plain name in the
// receive folder. Nothing when the name is empty, holds "/", "\", control
// bytes or the byte cp1251 has no character for, or is nothing but dots and
// blanks (".", "..", and what a system that drops trailing dots and blanks
// makes of them).
std::optional<QString> Local_File_Name(const QByteArray &cp1251Name);

// Where a received file of an accepted name is stored: directly in the
// receive folder under the start folder.
QString Received_File_Path(const QString &startDirectory, const QString &name);

constexpr int kMaxUnansweredRequests = 3;

class ReceiveSession {
public:
    enum class Phase { Idle, Asked, Receiving };
    enum class AnnouncementAction { Ask, AcceptAgain };
    // Wrong_File: the last frame was stored though it held the data of the
    // one before it, and after it came a frame before the last with that
    // data again: the sender was still repeating that frame, so the last
    // one stored was a copy of it under a spoilt number.
    enum class DataAction { Drop, Store, Acknowledge_Again, Ask_Again, Refuse, Wrong_File };
    enum class SilenceAction { Ignore, Ask_Again, Give_Up };
    enum class CancelResult { Ignore, Stopped, Given_Up };

    Phase State() const { return phase_; }
    const Announced &Current() const { return announced_; }
    std::uint64_t Total() const { return plan_.total; }
    std::uint64_t Stored() const { return stored_; }
    bool Complete() const { return stored_ == plan_.total; }
    // Asking about, receiving or just done with a file: an announcement
    // that cannot be taken is then a spoilt copy of the one being served.
    bool Busy() const { return phase_ != Phase::Idle || finished_; }

    // A good announcement. While receiving and before any data arrived, or
    // once an empty file was accepted, the same file again means the sender
    // missed the acceptance: accept again. Anything else asks the user (a
    // sender that started over abandons the file being received).
    AnnouncementAction On_Announcement(const Announced &announced);
    // The user accepted the asked file.
    void Accept();
    // A data frame of that whole length; number is nothing when its field
    // does not hold one. likeLast: its data is that of the frame stored last.
    DataAction On_Data(std::optional<std::uint64_t> number, std::uint32_t length, bool likeLast = false);
    // A data frame that broke off or did not finish in time: asked for
    // again while receiving, refused by a receive that was abandoned (as
    // its whole frames are), dropped otherwise.
    DataAction On_Broken_Data() const;
    // The frame On_Data asked to store could not be written: the file is
    // given up, even when that frame was its last.
    void Store_Failed();
    // No data frame began for a while: ask the sender for its frame again,
    // or give up when the requests so far went unanswered.
    SilenceAction On_Silence();
    // The sender ended the transfer (a refusal from its side): Stopped when
    // a file was asked about or being received, Given_Up when its last frame
    // was stored already.
    CancelResult On_Sender_Cancel();
    // Cancel, failure or the end of a transfer; a completed file still
    // acknowledges a repeat of its last frame.
    void End();
    // The completed file is nothing to this side any more (the page was
    // left): a late word about it changes nothing.
    void Forget() { finished_ = false; }

private:
    bool Expected_Length(std::uint64_t number, std::uint32_t length) const;

    Phase phase_ = Phase::Idle;
    Announced announced_;
    PacketPlan plan_;
    std::uint64_t stored_ = 0;
    bool finished_ = false;   // the last frame was stored
    bool abandoned_ = false;  // the receive ended before its last frame was stored
    int unanswered_ = 0;      // requests since the last data frame
    bool doubted_ = false;    // the frame before was the next one with the data stored last
    bool suspect_ = false;    // the frame stored last held the data of the one before it
};
