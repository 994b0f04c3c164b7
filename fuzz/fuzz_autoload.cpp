// Config/ATComm/ATList.nee as the start of the program reads it: whether a
// command list is loaded, and which one.

#include "atcommands/AutoloadConfig.h"
#include "atcommands/TextLines.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Cp1251.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = Bytes(data, size);
    const AutoloadChoice choice = Read_Autoload(file);
    const QList<QByteArray> lines = Read_Text_Lines(file);
    Check(choice.On == (!lines.isEmpty() && lines[0] == "LoadATCommandList"), "only the exact first line switches on");
    Check(choice.On || choice.Path.isEmpty(), "a switched-off configuration names no list");
    Check(!choice.Path.contains('\r') && !choice.Path.contains('\n'), "the list's path is one line");
    if (choice.On) {
        const AutoloadChoice again = Read_Autoload(Autoload_On(vexa::Cp1251_Encode(vexa::Cp1251_Decode(choice.Path))));
        Check(again.On && again.Path == choice.Path, "a path written back reads the same");
    }
    Check(!Read_Autoload(Autoload_Off()).On, "the switched-off file reads as off");
    return 0;
}
