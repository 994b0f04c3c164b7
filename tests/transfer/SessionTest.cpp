// What each side of the file protocol decides: retries and their caps,
// answers out of place, repeated frames, and untrusted announcements.

#include <gtest/gtest.h>

#include "platform/Cp1251.h"
#include "transfer/ReceiveSession.h"
#include "transfer/SendSession.h"

using Verdict = SendSession::Verdict;

namespace {

QByteArray Announcement(const QByteArray &name, const QByteArray &size)
{
    QByteArray nameField = name.left(kNameFieldWidth), sizeField = size.left(kSizeFieldWidth);
    nameField.append(QByteArray(kNameFieldWidth - nameField.size(), '\0'));
    sizeField.append(QByteArray(kSizeFieldWidth - sizeField.size(), '\0'));
    return Announcement_Frame(nameField, sizeField);
}

AnnouncementCheck Check(const QByteArray &name, const QByteArray &size)
{
    Announced announced;
    return Read_Announcement(reinterpret_cast<const std::uint8_t *>(Announcement(name, size).constData()), announced);
}

}  // namespace

TEST(SendSession, AnUnansweredAnnouncementIsSentFourTimesInAll)
{
    SendSession s;
    s.Announced();
    EXPECT_EQ(s.On_Time_Out(false), Verdict::Repeat);
    EXPECT_EQ(s.On_Time_Out(false), Verdict::Repeat);
    EXPECT_EQ(s.On_Time_Out(false), Verdict::Repeat);
    EXPECT_EQ(s.On_Time_Out(false), Verdict::GiveUp);
    EXPECT_EQ(s.State(), SendSession::Phase::Idle);
    // An acceptance after giving up is late: the receiver must be told.
    EXPECT_EQ(s.On_Reply(true), SendSession::ReplyResult::Late);
}

TEST(SendSession, RepeatsTheCounterLeavesOutAreCappedInARow)
{
    SendSession s;
    s.Announced();
    ASSERT_EQ(s.On_Reply(true), SendSession::ReplyResult::Accepted);
    ASSERT_TRUE(s.Start_Data(3 * kPacketSize));
    EXPECT_EQ(s.Take_Next_Frame(), 1u);
    for (int i = 0; i < kMaxUncountedRepeats; ++i)
        ASSERT_EQ(i % 2 ? s.On_Error(false) : s.On_Time_Out(true), Verdict::Repeat) << i;
    EXPECT_EQ(s.On_Error(false), Verdict::GiveUp);

    // Progress starts the count again.
    s.Announced();
    s.On_Reply(true);
    s.Start_Data(3 * kPacketSize);
    s.Take_Next_Frame();
    for (int i = 0; i < kMaxUncountedRepeats; ++i)
        s.On_Error(false);
    EXPECT_EQ(s.On_Acknowledgement(1), SendSession::AckResult::Next);
    s.Take_Next_Frame();
    EXPECT_EQ(s.On_Error(false), Verdict::Repeat);
    EXPECT_EQ(s.Repeats(), 11u);
}

TEST(SendSession, AnswersOutOfPlaceChangeNothing)
{
    SendSession s;
    EXPECT_EQ(s.On_Error(false), Verdict::Ignore);  // a DATASEND error while idle
    EXPECT_EQ(s.On_Acknowledgement(1), SendSession::AckResult::Ignore);
    s.Announced();
    EXPECT_EQ(s.On_Error(false), Verdict::Ignore);
    EXPECT_EQ(s.On_Acknowledgement(0), SendSession::AckResult::Ignore);
    s.On_Reply(true);
    s.Start_Data(kPacketSize + 1);
    EXPECT_EQ(s.On_Acknowledgement(1), SendSession::AckResult::Ignore);  // nothing sent yet
    s.Take_Next_Frame();
    EXPECT_EQ(s.On_Reply(true), SendSession::ReplyResult::Ignore);  // no restart
    EXPECT_EQ(s.On_Error(true), Verdict::Ignore);
    EXPECT_EQ(s.On_Acknowledgement(2), SendSession::AckResult::Ignore);
    EXPECT_TRUE(s.Awaiting_Acknowledgement());  // still waiting for 1
    EXPECT_EQ(s.On_Acknowledgement(1), SendSession::AckResult::Next);
    EXPECT_EQ(s.Next_Length(), 1u);
    s.Take_Next_Frame();
    EXPECT_EQ(s.On_Acknowledgement(2), SendSession::AckResult::Last);
    EXPECT_EQ(s.On_Error(false), Verdict::Ignore);  // after the end
    EXPECT_EQ(s.On_Time_Out(false), Verdict::Ignore);
}

TEST(SendSession, DataPhaseRetriesAreSharedAndARefusalMidwayAborts)
{
    SendSession s;
    s.Announced();
    s.On_Time_Out(false);  // one retry while announcing ...
    s.On_Reply(true);      // ... forgotten by the reply
    EXPECT_EQ(s.Retries(), 0);
    EXPECT_FALSE(s.Start_Data(0));  // an empty file sends nothing
    EXPECT_EQ(s.State(), SendSession::Phase::Idle);

    s.Announced();
    s.On_Reply(true);
    s.Start_Data(10 * kPacketSize);
    for (std::uint64_t k = 1; k <= 3; ++k) {
        s.Take_Next_Frame();
        EXPECT_EQ(s.On_Time_Out(false), Verdict::Repeat);
        s.On_Acknowledgement(k);
    }
    s.Take_Next_Frame();
    EXPECT_EQ(s.On_Time_Out(false), Verdict::GiveUp);  // acknowledgements do not restore retries

    s.Announced();
    s.On_Reply(true);
    s.Start_Data(10 * kPacketSize);
    s.Take_Next_Frame();
    EXPECT_EQ(s.On_Reply(false), SendSession::ReplyResult::Aborted);
    EXPECT_EQ(s.State(), SendSession::Phase::Idle);
}

TEST(ReceiveSession, RepeatedFramesAreAcknowledgedAgainNotStoredTwice)
{
    ReceiveSession r;
    Announced a{"f", "65537", 65537};
    r.On_Announcement(a);
    r.Accept();
    ASSERT_EQ(r.Total(), 3u);
    using A = ReceiveSession::DataAction;
    EXPECT_EQ(r.On_Data(1, 32796), A::Store);
    EXPECT_EQ(r.On_Data(1, 32796), A::Acknowledge_Again);  // its acknowledgement was lost
    EXPECT_EQ(r.On_Data(3, 29), A::Ask_Again);             // out of order
    EXPECT_EQ(r.On_Data(2, 32000), A::Ask_Again);          // wrong length
    EXPECT_EQ(r.On_Data(std::nullopt, 32796), A::Ask_Again);
    EXPECT_EQ(r.On_Data(2, 32796), A::Store);
    EXPECT_EQ(r.On_Data(3, 32796), A::Ask_Again);  // the last frame is its tail plus 28
    EXPECT_EQ(r.On_Data(3, 29), A::Store);
    EXPECT_TRUE(r.Complete());
    EXPECT_EQ(r.State(), ReceiveSession::Phase::Idle);
    // The final acknowledgement was lost: the repeat is answered again.
    EXPECT_EQ(r.On_Data(3, 29), A::Acknowledge_Again);
    EXPECT_EQ(r.On_Data(4, 29), A::Drop);

    // A full last frame when the size ends on a packet.
    r.On_Announcement({"g", "65536", 65536});
    r.Accept();
    EXPECT_EQ(r.On_Data(1, 32796), A::Store);
    EXPECT_EQ(r.On_Data(2, 32796), A::Store);
    EXPECT_TRUE(r.Complete());
    // ... that could not be written: its repeat is refused, not acknowledged.
    r.Store_Failed();
    EXPECT_EQ(r.On_Data(2, 32796), A::Refuse);
}

TEST(ReceiveSession, AnAnnouncementAgainBeforeDataIsAcceptedAgain)
{
    ReceiveSession r;
    const Announced a{"f", "40000", 40000};
    r.On_Announcement(a);
    r.Accept();
    EXPECT_EQ(r.On_Announcement(a), ReceiveSession::AnnouncementAction::AcceptAgain);
    EXPECT_EQ(r.State(), ReceiveSession::Phase::Receiving);
    r.On_Data(1, 32796);
    // Once data arrived, the sender has started over: ask the user again.
    EXPECT_EQ(r.On_Announcement(a), ReceiveSession::AnnouncementAction::Ask);
    EXPECT_EQ(r.State(), ReceiveSession::Phase::Asked);
    EXPECT_EQ(r.On_Data(2, 7260), ReceiveSession::DataAction::Drop);
    EXPECT_EQ(r.On_Broken_Data(), ReceiveSession::DataAction::Drop);

    r.Accept();
    EXPECT_EQ(r.On_Broken_Data(), ReceiveSession::DataAction::Ask_Again);
    r.End();  // cancelled: a frame still coming is refused
    EXPECT_EQ(r.On_Data(1, 32796), ReceiveSession::DataAction::Refuse);
    EXPECT_EQ(r.On_Broken_Data(), ReceiveSession::DataAction::Refuse);  // and one that broke off

    // An empty file is whole once accepted; its announcement again (the
    // acceptance was lost) is answered again, not asked of the user.
    const Announced empty{"e", "0", 0};
    r.On_Announcement(empty);
    r.Accept();
    EXPECT_TRUE(r.Complete());
    EXPECT_EQ(r.State(), ReceiveSession::Phase::Idle);
    EXPECT_EQ(r.On_Announcement(empty), ReceiveSession::AnnouncementAction::AcceptAgain);
}

TEST(ReceiveSession, HostileAnnouncementsAreRefusedOrDropped)
{
    for (const char *name : {"../x", "/tmp/x", "a\\b", "..", ".", "", "x\ty", "...", ". .."})
        EXPECT_EQ(Check(name, "10"), AnnouncementCheck::BadName) << name;
    for (const char *name : {"modem..v2.bin", "a..b", "..x", "x.."})
        EXPECT_EQ(Check(name, "10"), AnnouncementCheck::Good) << name;
    EXPECT_EQ(Check(QByteArray("\x98"), "10"), AnnouncementCheck::BadName);
    for (const char *size : {"abc", "-5", "99999999999999999999", "", "1e5"})
        EXPECT_EQ(Check("x", size), AnnouncementCheck::BadSize) << size;
    EXPECT_EQ(Check("x", QByteArray::number(qulonglong(kMaxFileSize + 1))), AnnouncementCheck::BadSize);

    // Fields full to their width, with no zero byte, are read within it.
    Announced a;
    const QByteArray full = Announcement(QByteArray(kNameFieldWidth, 'n'), QByteArray(kSizeFieldWidth, '0'));
    EXPECT_EQ(Read_Announcement(reinterpret_cast<const std::uint8_t *>(full.constData()), a), AnnouncementCheck::Good);
    EXPECT_EQ(a.name, QByteArray(kNameFieldWidth, 'n'));
    EXPECT_EQ(a.size, 0u);

    const QByteArray cyrillic = vexa::Cp1251_Encode(QString::fromUtf8("Отчёт №5.txt"));
    EXPECT_EQ(Check(cyrillic, "5"), AnnouncementCheck::Good);
    EXPECT_EQ(Local_File_Name(cyrillic), QString::fromUtf8("Отчёт №5.txt"));

    // A name beginning with ':' is still a file in the receive folder.
    EXPECT_EQ(Check(":x", "1"), AnnouncementCheck::Good);
    EXPECT_EQ(Received_File_Path(QStringLiteral("/start"), QStringLiteral(":x")),
              QStringLiteral("/start/ReseiveFile/:x"));
}
