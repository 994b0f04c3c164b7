// A command list file (.atl) as the command page loads it: cut into items at
// every CR, LF or CR LF, up to a NUL, each item decoded for the list box.

#include "atcommands/TextLines.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Cp1251.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file = Bytes(data, size);
    const QList<QByteArray> items = Split_List_Lines(file);
    const QStringList shown = Decoded_Lines(items);
    Check(shown.size() == items.size(), "every item is shown");
    QByteArray again;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QByteArray &item = items[i];
        Check(!item.contains('\r') && !item.contains('\n') && !item.contains('\0'), "an item holds no break");
        Check(vexa::Cp1251_Encode(shown[i]) == item, "an item's text encodes back to its bytes");
        again += item + "\r\n";
    }
    Check(Split_List_Lines(again) == items, "items written back one per line read the same");
    return 0;
}
