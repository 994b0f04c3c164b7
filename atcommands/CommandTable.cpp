#include "atcommands/CommandTable.h"

#include "atcommands/TextLines.h"

namespace {

constexpr WorkingMode kModes[] = {
    {"Настрйки COM порта модема", "COMconf.atc"},
    {"Режим работы модема с динамическими-глобальными адресами", "DINconf.atc"},
    {"Режим работы модема со статичскими-локальными адрсами", "STATconf.atc"},
    {"Режим работы модема через SMS сообщения", "SMSconf.atc"},
    {"Режим работы модем - интернет", "INETconf.atc"},
};

// A count in a table: decimal digits, blanks around allowed; no sign, so a
// negative count is not a number here. Nine digits keep it inside an int.
std::optional<int> Count_At(const QList<QByteArray> &entries, qsizetype at)
{
    if (at < 0 || at >= entries.size())
        return std::nullopt;
    const QByteArray text = entries[at].trimmed();
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// R, checked only as far as listing needs it: it must cover the five fixed
// lines, a closing line, and stay inside the table.
std::optional<int> Record_Length_At(const CommandTable &table, qsizetype start)
{
    const auto length = Count_At(table.Entries, start + 1);
    if (!length || *length <= kFirstDescriptionOffset || start + *length > table.Entries.size())
        return std::nullopt;
    return length;
}

// One record read whole and checked, before anything of it reaches the store.
std::optional<CommandRecord> Read_Record(const CommandTable &table, qsizetype start)
{
    const QList<QByteArray> &e = table.Entries;
    const auto length = Record_Length_At(table, start);
    const auto first = Count_At(e, start + 2);
    const auto parameters = Count_At(e, start + 4);
    if (!length || !first || !parameters || *first < kFirstDescriptionOffset || *first >= *length ||
        *parameters > kMaxParameters || *length - *first - 1 > kMaxDescriptionLines)
        return std::nullopt;
    CommandRecord record;
    record.Found = true;
    record.Length = *length;
    record.Description_Offset = *first;
    record.Command_Text = e[start + 3];
    record.Parameter_Count = *parameters;
    qsizetype at = start + kFirstDescriptionOffset;
    const qsizetype description = start + *first;
    for (int k = 0; k < *parameters; ++k) {
        const auto count = Count_At(e, at);
        if (!count || *count > kMaxValues || at + 1 + *count > description)
            return std::nullopt;
        record.Values[k] = e.mid(at + 1, *count);
        at += 1 + *count;
    }
    record.Description = e.mid(description, *length - *first - 1);
    return record;
}

bool Fits(const CommandRecord &store, const CommandRecord &more)
{
    for (int k = 0; k < kMaxParameters; ++k)
        if (store.Values[k].size() + more.Values[k].size() > kMaxValues)
            return false;
    return store.Description.size() + more.Description.size() <= kMaxDescriptionLines;
}

}  // namespace

const WorkingMode *Find_Mode(const QString &name)
{
    for (const WorkingMode &mode : kModes)
        if (name == QString::fromUtf8(mode.Name))
            return &mode;
    return nullptr;
}

bool Is_Unquoted_Mode(const QString &name) { return name == QString::fromUtf8(kModes[0].Name); }

std::optional<CommandTable> Read_Command_Table(const QByteArray &file)
{
    QList<QByteArray> lines = Read_Text_Lines(file);
    const auto listed = Count_At(lines, 0);
    if (!listed || *listed < 1)
        return std::nullopt;
    lines.removeFirst();
    return CommandTable{*listed, lines};
}

CommandListing List_Commands(const CommandTable &table)
{
    CommandListing listing;
    qsizetype at = 0;
    for (int i = 0; i < table.Listed; ++i) {
        const auto length = Record_Length_At(table, at);
        if (!length)
            return listing;
        listing.Names << table.Entries[at];
        at += *length;
    }
    listing.Complete = true;
    return listing;
}

bool Choose_Command(const CommandTable &table, const QByteArray &name, CommandRecord &record)
{
    for (qsizetype at = 0; at < table.Entries.size(); ++at) {
        if (table.Entries[at] != name)
            continue;
        const auto match = Read_Record(table, at);
        if (!match || !Fits(record, *match))
            return false;
        for (int k = 0; k < kMaxParameters; ++k)
            record.Values[k] += match->Values[k];
        record.Description += match->Description;
        record.Found = true;
        record.Command_Text = match->Command_Text;
        record.Parameter_Count = match->Parameter_Count;
        record.Length = match->Length;
        record.Description_Offset = match->Description_Offset;
    }
    return true;
}

QByteArray Script_Line(const CommandRecord &record, const QList<QByteArray> &fields, bool unquoted)
{
    QByteArray line = record.Command_Text;
    for (int k = 0; k < record.Parameter_Count && k < fields.size(); ++k) {
        line += k == 0 ? '=' : ',';
        line += unquoted ? fields[k] : '"' + fields[k] + '"';
    }
    return line;
}
