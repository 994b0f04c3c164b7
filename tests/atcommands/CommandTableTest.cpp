// The script builder's tables: the shipped ones read whole by the program's
// own reader and answered by the simulated modem, and bad ones refused.

#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QFile>

#include "tools/modem-sim/at_commands.h"
#include "atcommands/CommandTable.h"
#include "atcommands/TextLines.h"
#include "platform/Cp1251.h"

namespace {

QByteArray Shipped(const QString &name)
{
    QFile file(QStringLiteral(VEXA_SOURCE_DIR "/data/Config/ATScript/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

// A table from its lines, as a file with CR LF breaks.
CommandTable Table(const QList<QByteArray> &lines)
{
    QByteArray file;
    for (const QByteArray &line : lines)
        file += line + "\r\n";
    const auto table = Read_Command_Table(file);
    EXPECT_TRUE(table.has_value());
    return table.value_or(CommandTable());
}

// A record "X": P = 2 with three and two values, two description lines.
// Parameters that 27.007 and 27.005 type as strings though they are written
// in digits: PIN, phone number, operator code.
bool Typed_As_String(const QByteArray &command, int parameter)
{
    return (command == "AT+CPIN" && parameter <= 2) || (command == "AT+CSCA" && parameter == 1) ||
           (command == "AT+COPS" && parameter == 3);
}

bool All_Numbers(const QList<QByteArray> &values)
{
    return std::all_of(values.begin(), values.end(), [](const QByteArray &v) {
        return !v.isEmpty() && std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; });
    });
}

const QList<QByteArray> kGood = {"1", "X", "15", "12", "AT+X", "2",       "3",       "a",
                                 "b", "c", "2",  "d",  "e",    "about 1", "about 2", "end"};

}  // namespace

TEST(ShippedTables, EveryTableReadsWholeWithinTheLimits)
{
    const QList<QByteArray> modes = Read_Text_Lines(Shipped(QStringLiteral("ScriptMode.amd")));
    ASSERT_EQ(modes.size(), 5);
    for (const QByteArray &mode : modes) {
        const WorkingMode *found = Find_Mode(vexa::Cp1251_Decode(mode));
        ASSERT_NE(found, nullptr) << mode.toStdString();
        const QByteArray file = Shipped(QString::fromLatin1(found->File));
        EXPECT_EQ(file.count('\n'), file.count("\r\n")) << found->File;
        EXPECT_EQ(vexa::Cp1251_Encode(vexa::Cp1251_Decode(file)), file) << found->File;
        const auto table = Read_Command_Table(file);
        ASSERT_TRUE(table) << found->File;
        const CommandListing listing = List_Commands(*table);
        EXPECT_TRUE(listing.Complete) << found->File;
        EXPECT_GE(listing.Names.size(), 8) << found->File;
        int lines = 0;
        for (const QByteArray &name : listing.Names) {
            SCOPED_TRACE(found->File + (" " + name.toStdString()));
            // The name is on no other line, or choosing it would match there too.
            EXPECT_EQ(table->Entries.count(name), 1);
            CommandRecord record;
            ASSERT_TRUE(Choose_Command(*table, name, record));
            int t = 5;
            for (int k = 0; k < record.Parameter_Count; ++k)
                t += 1 + record.Values[k].size();
            EXPECT_EQ(record.Description_Offset, t);
            EXPECT_EQ(record.Length, t + record.Description.size() + 1);
            EXPECT_LE(record.Parameter_Count, kMaxParameters);
            EXPECT_FALSE(record.Description.isEmpty());
            EXPECT_TRUE(record.Command_Text.startsWith("AT"));
            // Quoted values must be strings to a modem; a parameter the user
            // fills in (no values) counts as numbers too.
            for (int k = 0; k < record.Parameter_Count && !Is_Unquoted_Mode(vexa::Cp1251_Decode(mode)); ++k)
                EXPECT_FALSE(All_Numbers(record.Values[k]) && !Typed_As_String(record.Command_Text, k + 1)) << k + 1;
            lines += record.Length;
        }
        EXPECT_EQ(lines, table->Entries.size()) << found->File;  // nothing after the last record
    }
}

TEST(ShippedTables, TheSimulatedModemAnswersEveryValueOfEveryCommand)
{
    int lines = 0;
    for (const char *file : {"COMconf.atc", "DINconf.atc", "STATconf.atc", "SMSconf.atc", "INETconf.atc"}) {
        const auto table = Read_Command_Table(Shipped(QString::fromLatin1(file)));
        ASSERT_TRUE(table);
        const bool unquoted = QByteArray(file) == "COMconf.atc";
        vexa::modemsim::ModemState state;  // the table's lines run in order, as in a script
        for (const QByteArray &name : List_Commands(*table).Names) {
            CommandRecord record;
            ASSERT_TRUE(Choose_Command(*table, name, record));
            int widest = 1;
            for (const auto &values : record.Values)
                widest = std::max<int>(widest, values.size());
            // Every value of every parameter at least once; a field without
            // values gets what a user would type.
            for (int i = 0; i < widest; ++i) {
                QList<QByteArray> fields;
                for (const auto &values : record.Values)
                    fields << (values.isEmpty() ? QByteArray("1234") : values[i % values.size()]);
                const QByteArray line = Script_Line(record, fields, unquoted);
                EXPECT_TRUE(vexa::modemsim::answerCommand(line.toStdString(), state).ok)
                    << file << ": " << line.toStdString();
                ++lines;
            }
        }
    }
    EXPECT_GT(lines, 100);
}

TEST(ShippedSamples, TheSimulatedModemAnswersTheSampleListAndScript)
{
    for (const char *file : {"FirstSteps.atl", "FirstSteps.ats"}) {
        QFile sample(QStringLiteral(VEXA_SOURCE_DIR "/data/Samples/") + QLatin1String(file));
        ASSERT_TRUE(sample.open(QIODevice::ReadOnly)) << file;
        const QList<QByteArray> lines = Split_List_Lines(sample.readAll());
        EXPECT_GE(lines.size(), 8);
        for (const QByteArray &line : lines) {
            vexa::modemsim::ModemState state;
            EXPECT_TRUE(vexa::modemsim::answerCommand(line.toStdString(), state).ok)
                << file << ": " << line.toStdString();
        }
    }
}

TEST(CommandTable, AWellFormedRecordFillsTheStore)
{
    const CommandTable table = Table(kGood);
    EXPECT_EQ(List_Commands(table).Names, QList<QByteArray>({"X"}));
    CommandRecord record;
    ASSERT_TRUE(Choose_Command(table, "X", record));
    EXPECT_EQ(record.Command_Text, QByteArray("AT+X"));
    EXPECT_EQ(record.Parameter_Count, 2);
    EXPECT_EQ(record.Values[0], QList<QByteArray>({"a", "b", "c"}));
    EXPECT_EQ(record.Values[1], QList<QByteArray>({"d", "e"}));
    EXPECT_EQ(record.Description, QList<QByteArray>({"about 1", "about 2"}));
    EXPECT_EQ(Script_Line(record, {"a", "e", "", "", ""}, true), QByteArray("AT+X=a,e"));
    EXPECT_EQ(Script_Line(record, {"1", "2", "", "", ""}, false), QByteArray("AT+X=\"1\",\"2\""));

    // Without parameters and description: T = 5, R = 6.
    CommandRecord bare;
    ASSERT_TRUE(Choose_Command(Table({"1", "Y", "6", "5", "AT+Y", "0", "end"}), "Y", bare));
    EXPECT_TRUE(bare.Description.isEmpty());
    EXPECT_EQ(Script_Line(bare, {"v", "", "", "", ""}, true), QByteArray("AT+Y"));
}

TEST(CommandTable, EveryBadCountIsRefusedAndAddsNothing)
{
    struct Case {
        const char *what;
        int line;  // the line of kGood replaced
        QByteArray text;
    };
    const Case cases[] = {
        {"R not a number", 2, "fifteen"},
        {"R negative", 2, "-15"},
        {"R past the end", 2, "16"},
        {"R not above T", 2, "12"},
        {"T below 5", 3, "4"},
        {"T negative", 3, "-12"},
        {"T past the values' start", 3, "8"},
        {"P above 5", 5, "6"},
        {"P negative", 5, "-1"},
        {"N above 20", 6, "21"},
        {"N negative", 6, "-3"},
        {"values running into the description", 10, "4"},
    };
    for (const Case &c : cases) {
        QList<QByteArray> lines = kGood;
        lines[c.line] = c.text;
        CommandRecord record;
        EXPECT_FALSE(Choose_Command(Table(lines), "X", record)) << c.what;
        EXPECT_FALSE(record.Found) << c.what;
        for (const auto &values : record.Values)
            EXPECT_TRUE(values.isEmpty()) << c.what;
    }

    // 51 description lines, and 21 values.
    QList<QByteArray> tall = {"1", "X", "57", "5", "AT+X", "0"};
    QList<QByteArray> wide = {"1", "X", "29", "27", "AT+X", "1", "21"};
    for (int i = 0; i < 51; ++i)
        tall << "line";
    for (int i = 0; i < 21; ++i)
        wide << "v";
    tall << "end";
    wide << "about"
         << "end";
    CommandRecord record;
    EXPECT_FALSE(Choose_Command(Table(tall), "X", record));
    EXPECT_FALSE(Choose_Command(Table(wide), "X", record));
    EXPECT_FALSE(record.Found);
}

TEST(CommandTable, SeveralMatchesAddUpButNeverOverflowTheStore)
{
    // Two records named X with 15 values each: the second would not fit.
    QList<QByteArray> lines = {"2"};
    for (int r = 0; r < 2; ++r) {
        lines << "X"
              << "23"
              << "21" << (r == 0 ? "AT+FIRST" : "AT+SECOND") << "1"
              << "15";
        for (int i = 0; i < 15; ++i)
            lines << QByteArray::number(r * 100 + i);
        lines << "about"
              << "end";
    }
    CommandRecord record;
    EXPECT_FALSE(Choose_Command(Table(lines), "X", record));
    EXPECT_TRUE(record.Found);
    EXPECT_EQ(record.Command_Text, QByteArray("AT+FIRST"));
    EXPECT_EQ(record.Values[0].size(), 15);
    EXPECT_EQ(record.Description.size(), 1);

    // Two that fit add up; the last one's command text and P are kept.
    QList<QByteArray> small = {"2",   "X", "9", "7", "AT+A", "1", "1",       "a",  "about a",
                               "end", "X", "7", "5", "AT+B", "0", "about b", "end"};
    CommandRecord both;
    ASSERT_TRUE(Choose_Command(Table(small), "X", both));
    EXPECT_EQ(both.Command_Text, QByteArray("AT+B"));
    EXPECT_EQ(both.Parameter_Count, 0);
    EXPECT_EQ(both.Values[0], QList<QByteArray>({"a"}));
    EXPECT_EQ(both.Description, QList<QByteArray>({"about a", "about b"}));
}

TEST(CommandTable, ListingStopsAtTheFirstBrokenRecordAndFindsNamesAnywhere)
{
    EXPECT_FALSE(Read_Command_Table("0\r\nX\r\n"));
    EXPECT_FALSE(Read_Command_Table("-1\r\n"));
    EXPECT_FALSE(Read_Command_Table("many\r\n"));
    EXPECT_FALSE(Read_Command_Table(""));

    QList<QByteArray> two = kGood;
    two[0] = "2";  // promises a second record that is not there
    const CommandListing listing = List_Commands(Table(two));
    EXPECT_FALSE(listing.Complete);
    EXPECT_EQ(listing.Names, QList<QByteArray>({"X"}));

    QList<QByteArray> looping = kGood;
    looping[0] = "1000000";
    looping[2] = "0";  // R = 0 would list X a million times
    EXPECT_TRUE(List_Commands(Table(looping)).Names.isEmpty());

    // A name that is also a value of another record is matched there too,
    // and what follows it there is no record.
    QList<QByteArray> shadow = kGood;
    shadow[7] = "X";
    CommandRecord record;
    EXPECT_FALSE(Choose_Command(Table(shadow), "X", record));
    EXPECT_TRUE(record.Found);  // the real record, read before the shadow
}
