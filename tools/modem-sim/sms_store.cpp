#include "sms_store.h"

#include <algorithm>
#include <cstdio>

namespace vexa::modemsim {

namespace {

constexpr const char *kCentre = "+70000000000";
constexpr const char *kTimeText = "24/05/01,12:00:00+12";
constexpr const char *kTimePdu = "42501021000021";  // the same moment, in swapped BCD
constexpr const char *kStatusNames[] = {"REC UNREAD", "REC READ", "STO UNSENT", "STO SENT"};

std::string hexByte(int value)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

// "+79161234567" as <length><type><digits in swapped BCD>; `octets` counts
// the length as octets (service centre) instead of digits.
std::string address(const std::string &number, bool octets)
{
    const bool international = !number.empty() && number.front() == '+';
    std::string digits = number.substr(international ? 1 : 0);
    const auto count = static_cast<int>(digits.size());
    if (digits.size() % 2)
        digits += 'F';
    std::string swapped;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        swapped += std::string{digits[i + 1], digits[i]};
    const int length = octets ? 1 + static_cast<int>(digits.size()) / 2 : count;
    return hexByte(length) + (international ? "91" : "81") + swapped;
}

std::string packed(const std::string &text)
{
    std::string out;
    unsigned bits = 0;
    int held = 0;
    for (const char c : text) {
        bits |= (static_cast<unsigned>(c) & 0x7F) << held;
        held += 7;
        for (; held >= 8; held -= 8, bits >>= 8)
            out += hexByte(static_cast<int>(bits));
    }
    if (held > 0)
        out += hexByte(static_cast<int>(bits));
    return out;
}

Pdu pdu(const std::string &centre, const std::string &body)
{
    return Pdu{centre + body, static_cast<int>(body.size() / 2)};
}

}  // namespace

const char *statusName(int status) { return kStatusNames[std::clamp(status, 0, 3)]; }

int statusOf(const std::string &name)
{
    if (name == "ALL")
        return 4;
    for (int status = 0; status < 4; ++status)
        if (name == kStatusNames[status])
            return status;
    return -1;
}

Pdu deliverPdu(const std::string &number, const std::string &text)
{
    return pdu(address(kCentre, true), "04" + address(number, false) + "0000" + kTimePdu +
                                           hexByte(static_cast<int>(text.size())) + packed(text));
}

Pdu submitPdu(const std::string &number, const std::string &text)
{
    // No service centre of its own ("00"); validity period relative, four days ("AA").
    return pdu("00",
               "1100" + address(number, false) + "0000AA" + hexByte(static_cast<int>(text.size())) + packed(text));
}

std::string deliveredMessage(const std::string &number, const std::string &text, bool textMode)
{
    if (textMode)
        return "+CMT: \"" + number + "\",,\"" + kTimeText + "\"\r\n" + text;
    const Pdu message = deliverPdu(number, text);
    return "+CMT: ," + std::to_string(message.length) + "\r\n" + message.hex;
}

SmsStore::SmsStore()
{
    const char *texts[] = {"OK", "ERROR", "BUSY", "0", "> see you"};
    const int statuses[] = {0, 1, 1, 2, 3};
    for (int i = 0; i < 5; ++i)
        add(statuses[i], "+7000000000" + std::to_string(i + 1), texts[i]);
}

std::string SmsStore::entry(const char *header, const StoredMessage &message, bool textMode, bool withIndex) const
{
    const std::string index = withIndex ? std::to_string(message.index) + "," : "";
    const bool received = message.status < 2;
    if (textMode)
        return std::string(header) + index + "\"" + statusName(message.status) + "\",\"" + message.number + "\",," +
               (received ? std::string("\"") + kTimeText + "\"" : "") + "\r\n" + message.text;
    const Pdu encoded = received ? deliverPdu(message.number, message.text) : submitPdu(message.number, message.text);
    return std::string(header) + index + std::to_string(message.status) + ",," + std::to_string(encoded.length) +
           "\r\n" + encoded.hex;
}

std::vector<std::string> SmsStore::list(int status, bool textMode)
{
    std::vector<std::string> entries;
    for (StoredMessage &message : messages_) {
        if (status != 4 && message.status != status)
            continue;
        entries.push_back(entry("+CMGL: ", message, textMode, true));
        if (message.status == 0)
            message.status = 1;
    }
    return entries;
}

std::optional<std::string> SmsStore::read(int index, bool textMode)
{
    const auto it =
        std::find_if(messages_.begin(), messages_.end(), [&](const StoredMessage &m) { return m.index == index; });
    if (it == messages_.end())
        return std::nullopt;
    const std::string shown = entry("+CMGR: ", *it, textMode, false);
    if (it->status == 0)
        it->status = 1;
    return shown;
}

void SmsStore::remove(int index, int flag)
{
    // Each flag deletes what the flag before it does, and one kind more.
    messages_.erase(std::remove_if(messages_.begin(), messages_.end(),
                                   [&](const StoredMessage &m) {
                                       if (flag == 0)
                                           return m.index == index;
                                       return flag == 4 || m.status == 1 || (flag >= 2 && m.status == 3) ||
                                              (flag == 3 && m.status == 2);
                                   }),
                    messages_.end());
}

std::optional<int> SmsStore::add(int status, const std::string &number, const std::string &text)
{
    int index = 1;
    for (const StoredMessage &message : messages_) {
        if (message.index != index)
            break;
        ++index;
    }
    if (index > kCapacity)
        return std::nullopt;
    const auto at =
        std::find_if(messages_.begin(), messages_.end(), [&](const StoredMessage &m) { return m.index > index; });
    messages_.insert(at, StoredMessage{index, status, number, text});
    return index;
}

}  // namespace vexa::modemsim
