#include "serial/CounterText.h"

#include <limits>

namespace {

std::optional<std::int64_t> Counter_Value(const QString &text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

bool Fits(std::int64_t value, std::uint32_t count)
{
    return value <= std::numeric_limits<std::int64_t>::max() - std::int64_t(count);
}

}  // namespace

std::optional<QString> Counter_Add(const QString &text, std::uint32_t count)
{
    const auto value = Counter_Value(text);
    if (!value || !Fits(*value, count))
        return std::nullopt;
    return QString::number(*value + count);
}

void SharedCounter::Set_Text(const QString &text) { value_ = Counter_Value(text).value_or(kNoNumber); }

bool SharedCounter::Add(std::uint32_t count)
{
    std::int64_t value = value_.load();
    do {
        if (value == kNoNumber || !Fits(value, count))
            return false;
    } while (!value_.compare_exchange_weak(value, value + count));
    return true;
}

QString SharedCounter::Text() const { return QString::number(value_.load()); }
