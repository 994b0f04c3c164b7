#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vexa::modemsim {

// A short message in the modem's memory. Texts use only characters that are
// the same in ASCII and in the GSM alphabet (letters, digits, blank, and
// "+-.,:?!>"), so they need no conversion either way.
struct StoredMessage {
    int index = 0;
    int status = 0;  // <stat>: 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
    std::string number;
    std::string text;
};

// The SIM's message memory, shown the two ways AT+CMGF selects: text mode
// with quoted status names, or PDU mode with hexadecimal PDUs.
class SmsStore {
public:
    static constexpr int kCapacity = 20;

    // Starts with the messages a new user meets first: texts that read like
    // result codes.
    SmsStore();

    // One entry per message of `status` (4: all): its header, CR LF, and its
    // text or PDU, which a modem prints as one piece. Unread ones become read.
    std::vector<std::string> list(int status, bool textMode);
    std::optional<std::string> read(int index, bool textMode);
    // <delflag> of AT+CMGD: 0 the one message, 1 all read, 2 read and sent,
    // 3 read, sent and unsent, 4 all.
    void remove(int index, int flag);
    // The new message's index, or nothing when the memory is full.
    std::optional<int> add(int status, const std::string &number, const std::string &text);
    int count() const { return static_cast<int>(messages_.size()); }

private:
    std::string entry(const char *header, const StoredMessage &message, bool textMode, bool withIndex) const;

    std::vector<StoredMessage> messages_;  // by index
};

// The name of <stat> in text mode: "REC UNREAD" ...
const char *statusName(int status);
// The <stat> a text-mode name stands for, 4 for "ALL"; -1 when unknown.
int statusOf(const std::string &name);

// A received message as +CMT: shows it, header CR LF text (or PDU).
std::string deliveredMessage(const std::string &number, const std::string &text, bool textMode);

// SMS-DELIVER and SMS-SUBMIT PDUs in hexadecimal, with the GSM alphabet
// packed seven bits to a character; the length is the PDU's without its
// service centre part, as +CMGL: and +CMT: give it.
struct Pdu {
    std::string hex;
    int length = 0;
};
Pdu deliverPdu(const std::string &number, const std::string &text);
Pdu submitPdu(const std::string &number, const std::string &text);

}  // namespace vexa::modemsim
