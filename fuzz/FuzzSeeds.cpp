// Writes the seed corpus of every fuzz target into <out>/<target>/: the
// shipped data files of <source>/data that the target reads, and small
// protocol streams made with the product's own writers, so that the seeds
// stay valid when a format changes.
//   vexa_fuzz_seeds <source> <out>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <vector>

#include "platform/Rfc2217Protocol.h"
#include "transfer/FileFrames.h"
#include "xmodem/XmodemBlock.h"

namespace {

QString out;
int written = 0;

void Seed(const char *target, const QString &name, const QByteArray &bytes)
{
    const QString folder = out + '/' + QLatin1String(target);
    QDir().mkpath(folder);
    QFile file(folder + '/' + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
    ++written;
}

// The stream as a target's input: the cut pattern and its length follow it.
QByteArray Cut(const QByteArray &stream, const std::vector<std::uint8_t> &pattern = {})
{
    QByteArray input = stream;
    for (const std::uint8_t p : pattern)
        input += char(p);
    return input + char(pattern.size());
}

void Copy_Data_Files(const QString &source, const char *folder, const QStringList &filters, const char *target)
{
    const QDir dir(source + "/data/" + QLatin1String(folder));
    for (const QString &name : dir.entryList(filters, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            Seed(target, name, file.readAll());
    }
}

QByteArray Data_Frame(std::uint64_t number, std::uint32_t n)
{
    QByteArray frame(qsizetype(n + kDataOverhead), '\0');
    auto *bytes = reinterpret_cast<std::uint8_t *>(frame.data());
    Put_Data_Frame(number, n, bytes);
    for (std::uint32_t i = 0; i < n; ++i)
        bytes[kDataOffset + i] = std::uint8_t('a' + i % 26);
    return frame;
}

QByteArray Announcement(const QByteArray &name, std::uint64_t size)
{
    return Announcement_Frame(name + QByteArray(kNameFieldWidth - name.size(), '\0'),
                              Number_Field(size, kSizeFieldWidth));
}

void File_Frame_Seeds()
{
    // One full frame and a tail sent twice: whole frames are long, and a
    // long input slows every run.
    const std::uint64_t size = kPacketSize + 100;
    const QByteArray receive =
        Announcement("report.txt", size) + Data_Frame(1, kPacketSize) + Data_Frame(2, 100) + Data_Frame(2, 100);
    Seed("fuzz_file_frames", "receive_whole", Cut(receive));
    Seed("fuzz_file_frames", "receive_cut", Cut(receive, {0x80 | 9, 40, 3}));
    Seed("fuzz_file_frames", "small_file",
         Cut(Announcement("\xCE\xD2\xD7\xC5\xD2.txt", 5) + Data_Frame(1, 5), {7, 30}));
    Seed("fuzz_file_frames", "empty_file", Cut(Announcement("empty", 0) + Announcement("../up", 3)));
    QByteArray send = Reply_Frame(true);
    for (std::uint64_t k = 1; k <= 4; ++k)
        send += Acknowledgement_Frame(k) + "noise" + Error_Frame(kErrorDataSend);
    Seed("fuzz_file_frames", "send_side", Cut(send + Reply_Frame(false) + Error_Frame(kErrorFileName), {18, 4}));
    Seed("fuzz_file_frames", "broken", Cut("FNFN0" + Data_Frame(1, 3).left(20) + "DTDT0abc" + Reply_Frame(true), {2}));
}

void Xmodem_Seeds()
{
    const QByteArray nak(1, char(kNak)), ack(1, char(kAck)), can(1, char(kCan));
    Seed("fuzz_xmodem_reply", "two_files", Cut(nak + ack.repeated(12) + nak + ack.repeated(3), {0}));
    Seed("fuzz_xmodem_reply", "rejected", Cut(nak + nak.repeated(11) + nak + ack + nak.repeated(11), {0}));
    Seed("fuzz_xmodem_reply", "cancelled", Cut(nak + ack + "x" + can + can + nak + ack, {0, 1}));
    Seed("fuzz_xmodem_reply", "wrapping", Cut(nak + ack.repeated(300), {0}));
    Seed("fuzz_xmodem_reply", "crossed", Cut("C" + nak + ack + ack + ack.repeated(8) + nak + ack + ack, {0, 1, 1}));

    QByteArray blocks;
    std::uint8_t data[kXmodemDataSize];
    for (std::size_t i = 0; i < sizeof data; ++i)
        data[i] = std::uint8_t(i);
    for (std::uint8_t n = 1; n <= 3; ++n) {
        const XmodemBlockBytes block = Build_Xmodem_Block(n, data, n == 3 ? 40 : kXmodemDataSize);
        blocks += QByteArray(reinterpret_cast<const char *>(block.data()), qsizetype(block.size()));
    }
    Seed("fuzz_sim_xmodem", "three_blocks", Cut(blocks + char(kEot)));
    Seed("fuzz_sim_xmodem", "cut_blocks", Cut(blocks + blocks.left(132) + char(kEot), {60, 5, 0x80 | 1}));
    QByteArray spoilt = blocks;
    spoilt[131] = char(spoilt[131] ^ 1);
    Seed("fuzz_sim_xmodem", "spoilt_and_cancelled", Cut(spoilt + can + can, {131, 1}));
}

void Telnet_Seeds()
{
    using namespace vexa::rfc2217;
    std::vector<std::uint8_t> server = {kIac, kWill,          kOptionBinary, kIac,  kDo,         kOptionBinary, kIac,
                                        kDo,  kOptionComPort, kIac,          kWill, kOptionEcho, kIac,          kDo,
                                        24};
    for (const auto &message : {Baudrate_Request(115200), Request(kSetDatasize, 8), Request(kSetControl, kDtrOn)}) {
        std::vector<std::uint8_t> answer = message;
        answer[3] += kServerOffset;
        server.insert(server.end(), answer.begin(), answer.end());
    }
    const std::uint8_t data[] = {'O', 'K', 0xFF, '\r', 0xFF, 0xFF};
    Append_Escaped(data, sizeof data, server);
    const QByteArray stream(reinterpret_cast<const char *>(server.data()), qsizetype(server.size()));
    Seed("fuzz_telnet", "opening", Cut(stream));
    Seed("fuzz_telnet", "opening_cut", Cut(stream, {0, 2, 6}));

    // What Vexa's network port sends the simulator when it opens the port.
    std::vector<std::uint8_t> client = TelnetStream().Opening();
    for (const auto &request : {Request(kSetModemstateMask, 0xF0), Baudrate_Request(9600), Request(kSetParity, 0),
                                Request(kSetControl, kFlowHardware), Request(kPurgeData, kPurgeBoth)})
        client.insert(client.end(), request.begin(), request.end());
    Append_Escaped(data, sizeof data, client);
    Seed("fuzz_sim_telnet", "opening",
         Cut(QByteArray(reinterpret_cast<const char *>(client.data()), qsizetype(client.size())), {4, 9}));
}

void Text_Seeds(const QString &source)
{
    Copy_Data_Files(source, "Samples", {"*.atl"}, "fuzz_at_list");
    Copy_Data_Files(source, "Samples", {"*.ats"}, "fuzz_at_script");
    Copy_Data_Files(source, "Config/ATScript", {"*.amd"}, "fuzz_mode_list");
    Copy_Data_Files(source, "Config/ATScript", {"*.atc"}, "fuzz_command_table");
    Copy_Data_Files(source, "Config/ATComm", {"*.nee"}, "fuzz_autoload");
    Seed("fuzz_autoload", "on", "LoadATCommandList\r\nSamples/FirstSteps.atl\r\n");
    Copy_Data_Files(source, "Samples", {"*.ats", "*.atl"}, "fuzz_sim_commands");
    Seed("fuzz_sim_commands", "commands",
         Cut("AT\rATE0\rAT+IPR=?\rat+cgdcont=1,\"IP\",\"internet\"\rAT+WDWL\rAT\b\x7fI\r", {4, 1}));
    Seed("fuzz_modem_answer", "listing",
         Cut("\x02"
             "AT+CMGL=\"ALL\"\r\r\n+CMGL: 1,\"REC READ\",\"+7\",,\r\nOK\r\n\r\nRING\r\n\r\nOK\r\n",
             {5, 1, 30}));
    Seed("fuzz_modem_answer", "numeric",
         Cut("\x04"
             "ATV0\r0\r+CSQ: 1,0\r\n2\r3\r4\r"));
    Seed("fuzz_modem_answer", "prompt", Cut("\x03\r\n+CMTI: \"SM\",1\r\n\r\n> ", {2}));
    Seed("fuzz_modem_answer", "ussd", Cut("\x05\r\n+CUSD: 0,\"a\r\nOK\r\n\",15\r\n\r\nOK\r\n", {9, 0}));
    for (const char *name : {"report.txt", "../secret", "\xCF\xF0\xE8\xEC\xE5\xF0.bin", "a\\b", "x\x98y"})
        Seed("fuzz_received_name", QString::number(written), name);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexa_fuzz_seeds <source> <out>\n");
        return 2;
    }
    out = QString::fromLocal8Bit(argv[2]);
    File_Frame_Seeds();
    Xmodem_Seeds();
    Telnet_Seeds();
    Text_Seeds(QString::fromLocal8Bit(argv[1]));
    std::printf("%d seeds written to %s\n", written, argv[2]);
    return 0;
}
