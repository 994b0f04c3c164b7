#include <gtest/gtest.h>

#include "mainwindow/CaptionText.h"
#include "mainwindow/WorkCharLog.h"
#include "platform/LocalTime.h"
#include "serial/CounterText.h"
#include "serial/PortErrors.h"
#include "serial/PortLists.h"

TEST(CounterText, AddsInSixtyFourBitsAndRefusesWhatIsNotANumber)
{
    EXPECT_EQ(Counter_Add("0", 10), QString("10"));
    EXPECT_EQ(Counter_Add("-5", 3), QString("-2"));
    // Past 32 bits the counter goes on counting (52 hours of flood at 115200 bit/s).
    EXPECT_EQ(Counter_Add("2147483647", 1), QString("2147483648"));
    EXPECT_EQ(Counter_Add("4294967295", 4294967295u), QString("8589934590"));
    EXPECT_EQ(Counter_Add("9223372036854775807", 0), QString("9223372036854775807"));
    EXPECT_EQ(Counter_Add("9223372036854775807", 1), std::nullopt);  // would wrap
    EXPECT_EQ(Counter_Add("abc", 1), std::nullopt);
    EXPECT_EQ(Counter_Add("", 1), std::nullopt);
    EXPECT_EQ(Counter_Add("12x", 1), std::nullopt);
}

TEST(PortLists, StatusTextsNameWhatThePortDoes)
{
    vexa::PortSettings s;
    s.BaudRate = 115200;
    s.ByteSize = 8;
    s.Parity = vexa::kNoParity;
    s.StopBits = vexa::kOneStopBit;
    EXPECT_EQ(Line_Status_Text(s), QString("115200 8 None 1"));
    s.BaudRate = 57600, s.ByteSize = 7, s.Parity = vexa::kEvenParity, s.StopBits = vexa::kTwoStopBits;
    EXPECT_EQ(Line_Status_Text(s), QString("57600 7 Even 2"));
    s.BaudRate = 230400, s.Parity = vexa::kSpaceParity, s.StopBits = vexa::kOne5StopBits, s.ByteSize = 5;
    EXPECT_EQ(Line_Status_Text(s), QString(" 5 1,5"));  // unlisted speed and Space parity say nothing

    s.fOutxCtsFlow = true;
    s.fRtsControl = vexa::kRtsControlHandshake;
    EXPECT_EQ(Flow_Status_Text(s), QString::fromUtf8("Управление потоком: ВКЛЮЧЕНО"));
    s.fRtsControl = vexa::kRtsControlEnable;
    EXPECT_EQ(Flow_Status_Text(s), QString::fromUtf8("Управление потоком: ОТКЛЮЧЕНО"));

    EXPECT_EQ(Speed_Items().size(), 15);
    EXPECT_EQ(Parity_Items(), QStringList({"Even", "Mark", "None", "Odd"}));
    EXPECT_TRUE(Is_Listed_Speed(14400));
    EXPECT_FALSE(Is_Listed_Speed(230400));
}

// The port's failures keep their words byte for byte: the Latin O, the
// trailing blanks, the numbers appended.
TEST(PortErrors, KeepTheirWordsToTheByte)
{
    EXPECT_EQ(Port_Error_Text(PortError::Write).toUtf8(), QByteArray("O\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 "
                                                                     "\xD0\xB7\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x81\xD0\xB8 "
                                                                     "\xD0\xB2 \xD0\xBF\xD0\xBE\xD1\x80\xD1\x82"));
    EXPECT_EQ(Port_Error_Text(PortError::Open), QStringLiteral("Ошибка открытия порта "));
    EXPECT_EQ(Port_Error_Text(PortError::Counted_Write, 5), QStringLiteral("Ошибка при записи в СОM порт 5"));
    EXPECT_EQ(Port_Error_Text(PortError::Read, 13), QStringLiteral("Ошибка чтения №13"));
}

TEST(CaptionText, BlanksAroundMakerAndVersion)
{
    const QString maker = Maker_Text();
    EXPECT_TRUE(maker.endsWith(QStringLiteral(" (http://vexa.example.org)")));
    EXPECT_EQ(Start_Caption(), "Vexa    " + maker + QString::fromUtf8("   Версия 4.01"));
    EXPECT_EQ(Port_Caption("/dev/ttyUSB0", true),
              "Vexa    /dev/ttyUSB0   " + maker + QString::fromUtf8("    Версия 4.01"));
    EXPECT_EQ(Port_Caption("/dev/ttyUSB0", false),
              "Vexa    /dev/ttyUSB0   " + maker + QString::fromUtf8("   Версия 4.01"));
}

TEST(WorkCharLog, NameHasNoSeparatorsAFileSystemWouldMisread)
{
    const QDateTime start(QDate(2026, 12, 6), QTime(22, 10, 5));
    EXPECT_EQ(Work_Char_Log_Name(start, QLocale(QLocale::Russian, QLocale::Russia)),
              QString("Logs/WorkChar/WorkCharLog_06-12-2026_22-10-05.atl"));
    const QString us = Work_Char_Log_Name(start, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(us.startsWith("Logs/WorkChar/WorkCharLog_12-6-26_"));  // "12/6/26" would make folders
    EXPECT_EQ(us.count('/'), 2);
    EXPECT_FALSE(us.contains(':'));
    EXPECT_TRUE(us.contains("10-10-05"));
}

TEST(LocalTime, LongTimeKeepsSecondsAndDropsTheZone)
{
    for (const QLocale &locale :
         {QLocale(QLocale::Russian, QLocale::Russia), QLocale(QLocale::English, QLocale::UnitedStates),
          QLocale(QLocale::German), QLocale::c()}) {
        const QString format = Long_Time_Format(locale);
        EXPECT_FALSE(format.contains('t')) << format.toStdString();
        EXPECT_TRUE(format.contains('s')) << format.toStdString();
    }
    EXPECT_EQ(Long_Time_Text(QTime(9, 5, 7), QLocale(QLocale::Russian, QLocale::Russia)), QString("09:05:07"));
}
