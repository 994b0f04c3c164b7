// A script file (.ats) as the runner reads it, and as the script editor
// shows it and writes it back.

#include "atcommands/TextLines.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = Bytes(data, size);
    const QList<QByteArray> steps = Read_Text_Lines(file);
    QByteArray again;
    for (const QByteArray &step : steps) {
        Check(!step.contains('\r') && !step.contains('\n') && !step.contains('\x1A'),
              "a step holds no break and no end-of-file byte");
        again += step + "\r\n";
    }
    Check(Read_Text_Lines(again) == steps, "steps written back one per line read the same");
    const QByteArray editor = Editor_Text(file);
    Check(!editor.contains('\r'), "the editor's text has only LF breaks");
    Check(Editor_Text(File_Text(editor)) == editor, "what the editor saves it shows again unchanged");
    return 0;
}
