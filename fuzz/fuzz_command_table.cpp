// A builder's command table (.atc) as the script builder walks it: the count
// line, the listing of the command box, and for each listed command the
// record walk that fills the parameter boxes and the description, and the
// script line built from the first value of each parameter.

#include "atcommands/CommandTable.h"
#include "atcommands/TextLines.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Cp1251.h"

namespace {

// A table with more commands than this is walked for its first ones only:
// each walk reads the whole table, and a run must stay quick.
constexpr qsizetype kWalkedCommands = 64;

void Walk(const CommandTable &table, const QByteArray &name)
{
    CommandRecord record;
    const QByteArray picked = vexa::Cp1251_Encode(vexa::Cp1251_Decode(name));
    Choose_Command(table, picked, record);
    Check(record.Parameter_Count >= 0 && record.Parameter_Count <= kMaxParameters, "at most five parameters");
    Check(record.Description.size() <= kMaxDescriptionLines, "the description fits the store");
    QList<QByteArray> fields;
    for (const QList<QByteArray> &values : record.Values) {
        Check(values.size() <= kMaxValues, "a parameter's values fit the store");
        fields << values.value(0);
    }
    if (!record.Found)
        return;
    Check(record.Description_Offset >= kFirstDescriptionOffset && record.Description_Offset < record.Length,
          "a record's description lies inside it");
    const QByteArray line = Script_Line(record, fields, false);
    Check(line.startsWith(record.Command_Text), "the script line begins with the command");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto table = Read_Command_Table(Bytes(data, size));
    if (!table)
        return 0;
    Check(table->Listed >= 1, "a table lists at least one command");
    const CommandListing listing = List_Commands(*table);
    Check(listing.Names.size() <= table->Listed, "no more names than the table lists");
    Check(!listing.Complete || listing.Names.size() == table->Listed, "a complete listing has every name");
    for (qsizetype i = 0; i < listing.Names.size() && i < kWalkedCommands; ++i)
        Walk(*table, listing.Names[i]);
    Walk(*table, table->Entries.value(0));
    return 0;
}
