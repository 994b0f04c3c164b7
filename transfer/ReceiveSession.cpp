#include "transfer/ReceiveSession.h"

#include <QDir>

#include "platform/Cp1251.h"

AnnouncementCheck Read_Announcement(const std::uint8_t *frame, Announced &announced)
{
    const auto size = Field_Number(frame + kSizeOffset, kSizeFieldWidth);
    if (!size || *size > kMaxFileSize)
        return AnnouncementCheck::BadSize;
    announced.size = *size;
    announced.sizeText = Field_Text(frame + kSizeOffset, kSizeFieldWidth);
    announced.name = Field_Text(frame + kNameOffset, kNameFieldWidth);
    return Local_File_Name(announced.name) ? AnnouncementCheck::Good : AnnouncementCheck::BadName;
}

std::optional<QString> Local_File_Name(const QByteArray &cp1251Name)
{
    if (cp1251Name.count('.') + cp1251Name.count(' ') == cp1251Name.size())
        return std::nullopt;
    for (const char c : cp1251Name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || byte == 0x98 || c == '/' || c == '\\')
            return std::nullopt;
    }
    return vexa::Cp1251_Decode(cp1251Name);
}

// The folder is joined first: a name alone beginning with ':' would be
// taken for a resource path.
QString Received_File_Path(const QString &startDirectory, const QString &name)
{
    return QDir(startDirectory).filePath(QStringLiteral("ReseiveFile/") + name);
}

ReceiveSession::AnnouncementAction ReceiveSession::On_Announcement(const Announced &announced)
{
    const bool same = announced.name == announced_.name && announced.size == announced_.size;
    if (same && ((phase_ == Phase::Receiving && stored_ == 0) || (finished_ && plan_.total == 0)))
        return AnnouncementAction::AcceptAgain;
    End();
    finished_ = abandoned_ = false;
    announced_ = announced;
    phase_ = Phase::Asked;
    return AnnouncementAction::Ask;
}

// An empty file is complete as soon as it is accepted.
void ReceiveSession::Accept()
{
    plan_ = Packet_Plan(announced_.size);
    stored_ = 0;
    unanswered_ = 0;
    doubted_ = suspect_ = false;
    finished_ = plan_.total == 0;
    phase_ = finished_ ? Phase::Idle : Phase::Receiving;
}

bool ReceiveSession::Expected_Length(std::uint64_t number, std::uint32_t length) const
{
    return length == Data_Frame_Length(announced_.size, number);
}

ReceiveSession::DataAction ReceiveSession::On_Data(std::optional<std::uint64_t> number, std::uint32_t length,
                                                   bool likeLast)
{
    if (phase_ != Phase::Receiving) {
        if (finished_ && number && *number == stored_ && stored_ > 0 && Expected_Length(*number, length))
            return DataAction::Acknowledge_Again;
        if (finished_ && suspect_ && likeLast && number && *number > 0 && *number < stored_ &&
            Expected_Length(*number, length)) {
            Store_Failed();
            return DataAction::Wrong_File;
        }
        return abandoned_ ? DataAction::Refuse : DataAction::Drop;
    }
    unanswered_ = 0;
    const bool doubted = doubted_;
    doubted_ = false;
    if (!number)
        return DataAction::Ask_Again;
    if (*number == stored_ + 1 && *number <= plan_.total && Expected_Length(*number, length)) {
        if (likeLast && stored_ > 0 && !doubted) {
            doubted_ = true;
            return DataAction::Ask_Again;
        }
        suspect_ = likeLast;
        if (++stored_ == plan_.total) {
            finished_ = true;
            phase_ = Phase::Idle;
        }
        return DataAction::Store;
    }
    if (*number == stored_ && stored_ > 0 && Expected_Length(*number, length))
        return DataAction::Acknowledge_Again;
    return DataAction::Ask_Again;
}

ReceiveSession::DataAction ReceiveSession::On_Broken_Data() const
{
    if (phase_ == Phase::Receiving)
        return DataAction::Ask_Again;
    return abandoned_ ? DataAction::Refuse : DataAction::Drop;
}

void ReceiveSession::Store_Failed()
{
    phase_ = Phase::Idle;
    finished_ = false;
    abandoned_ = true;
}

ReceiveSession::SilenceAction ReceiveSession::On_Silence()
{
    if (phase_ != Phase::Receiving)
        return SilenceAction::Ignore;
    if (unanswered_ >= kMaxUnansweredRequests)
        return SilenceAction::Give_Up;
    ++unanswered_;
    return SilenceAction::Ask_Again;
}

ReceiveSession::CancelResult ReceiveSession::On_Sender_Cancel()
{
    if (phase_ == Phase::Idle && finished_) {
        finished_ = false;
        return CancelResult::Given_Up;
    }
    if (phase_ == Phase::Idle)
        return CancelResult::Ignore;
    End();
    return CancelResult::Stopped;
}

void ReceiveSession::End()
{
    if (phase_ == Phase::Receiving)
        abandoned_ = true;
    if (phase_ != Phase::Idle)
        finished_ = false;
    phase_ = Phase::Idle;
}
