// The builder's mode list (ScriptMode.amd): its lines are the names the mode
// box offers, and a name picked there chooses the command table to read.

#include "atcommands/CommandTable.h"
#include "atcommands/TextLines.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QStringList names = Decoded_Lines(Read_Text_Lines(Bytes(data, size)));
    for (const QString &name : names) {
        const WorkingMode *mode = Find_Mode(name);
        if (!mode)
            continue;
        Check(name == QString::fromUtf8(mode->Name), "a mode is found only by its exact name");
        const QByteArray table(mode->File);
        Check(!table.contains('/') && !table.contains(".."), "a mode's table stays in the table folder");
        Check(!Is_Unquoted_Mode(name) || table == "COMconf.atc", "only the COM port mode writes values unquoted");
    }
    return 0;
}
