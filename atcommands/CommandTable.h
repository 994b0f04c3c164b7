#pragma once
// The script builder's knowledge: the five working modes with their command
// tables, and how a table is read. A table file is input: every count in it
// is checked before it is used, and nothing read from it can make the
// command store hold more than its limits.
//
// Table file: line 1 is K, the number of records the command list shows;
// the records follow from line 2, each R lines long:
//   0 name, 1 R, 2 T, 3 command text, 4 P (parameters, 0..5),
//   then for each parameter its value count N (0..20) and N values,
//   T .. R-2 the description (at most 50 lines), R-1 a closing line.
// So T = 5 + (1 + N1) + ... + (1 + NP) and R = T + description lines + 1.

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <optional>

constexpr int kMaxParameters = 5;
constexpr int kMaxValues = 20;
constexpr int kMaxDescriptionLines = 50;
constexpr int kFirstDescriptionOffset = 5;  // T of a record without parameters

struct WorkingMode {
    const char *Name;  // as the mode list shows it, UTF-8
    const char *File;  // its table under Config/ATScript/
};

// The mode whose name is exactly this text; the COM port mode writes its
// values unquoted.
const WorkingMode *Find_Mode(const QString &name);
bool Is_Unquoted_Mode(const QString &name);

inline constexpr char kModeListPath[] = "Config/ATScript/ScriptMode.amd";
inline constexpr char kTableFolder[] = "Config/ATScript/";

struct CommandTable {
    int Listed = 0;             // K
    QList<QByteArray> Entries;  // every line after line 1; line 2 is entry 0
};

// Line 1 must be a count of at least one record.
std::optional<CommandTable> Read_Command_Table(const QByteArray &file);

struct CommandListing {
    QList<QByteArray> Names;  // as far as the table is well formed
    bool Complete = false;    // all K records were found whole
};

CommandListing List_Commands(const CommandTable &table);

// The builder's command store: what the chosen command offers.
struct CommandRecord {
    bool Found = false;
    QByteArray Command_Text;
    int Parameter_Count = 0;     // P
    int Length = 0;              // R
    int Description_Offset = 0;  // T
    std::array<QList<QByteArray>, kMaxParameters> Values;
    QList<QByteArray> Description;
};

// Every entry equal to the name is taken as the first line of a record, not
// only the record starts, and the matches add up: their values and
// descriptions are appended, the command text and P of the last one kept.
// A match that is malformed, or whose values or description would not fit
// the store, stops the scan and returns false; what earlier matches filled
// in stays, and the malformed record adds nothing.
bool Choose_Command(const CommandTable &table, const QByteArray &name, CommandRecord &record);

// The script line for the record and the texts of its parameter fields
// (one per parameter, at least P of them): the command text alone, or
// "=" and the values joined by commas, each enclosed in double quotes unless
// unquoted.
QByteArray Script_Line(const CommandRecord &record, const QList<QByteArray> &fields, bool unquoted);
