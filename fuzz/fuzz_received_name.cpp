// The name a sender announces, as the file receiver checks it before it
// creates anything: the input is the name field's bytes, any length.
// A name it accepts must stay inside the folder received files go to.

#include <QDir>

#include "fuzz/FuzzSupport.h"
#include "transfer/ReceiveSession.h"

namespace {

const QString kStart = QStringLiteral("/start");
const QString kFolder = kStart + QStringLiteral("/ReseiveFile");

void Check_Accepted(const QString &name)
{
    Check(name.count('.') + name.count(' ') < name.size(), "an accepted name is more than dots and blanks");
    for (const QChar c : name)
        Check(c.unicode() >= 0x20 && c != QChar(0x7F) && c != QChar('/') && c != QChar('\\'),
              "an accepted name holds no separator or control character");
    const QString path = QDir::cleanPath(Received_File_Path(kStart, name));
    Check(path.startsWith(kFolder + '/') && !path.mid(kFolder.size() + 1).contains('/'),
          "an accepted name stays directly in the receive folder");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray name = Bytes(data, size);
    if (const auto local = Local_File_Name(name))
        Check_Accepted(*local);

    // The same bytes as the name field of an announcement of a small file.
    std::uint8_t frame[kAnnouncementLength] = {};
    for (std::size_t i = 0; i < size && i < kNameFieldWidth; ++i)
        frame[kNameOffset + i] = data[i];
    frame[kSizeOffset] = '7';
    Announced announced;
    if (Read_Announcement(frame, announced) == AnnouncementCheck::Good) {
        Check(announced.name.size() <= qsizetype(kNameFieldWidth), "the name is read within its field");
        Check(announced.size == 7, "the size is read from its field");
        Check_Accepted(*Local_File_Name(announced.name));
    }
    return 0;
}
