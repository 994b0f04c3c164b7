#include <gtest/gtest.h>
#include <iconv.h>

#include "platform/Cp1251.h"

using namespace vexa;

namespace {

// glibc's own table, the reference; nothing when glibc has no character.
std::optional<char32_t> Iconv_Decode(unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-32LE", "CP1251");
    char in[1] = {static_cast<char>(byte)};
    char32_t out[2] = {};
    char *inp = in, *outp = reinterpret_cast<char *>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1))
        return std::nullopt;
    return out[0];
}

}  // namespace

TEST(Cp1251, EveryByteDecodesAsGlibcDoesAndEncodesBack)
{
    int unassigned = 0;
    for (int b = 0; b < 256; ++b) {
        const QChar mine = Cp1251_To_Unicode(static_cast<unsigned char>(b));
        if (const auto theirs = Iconv_Decode(static_cast<unsigned char>(b)))
            EXPECT_EQ(char32_t(mine.unicode()), *theirs) << "byte " << b;
        else
            ++unassigned;
        const QByteArray back = Cp1251_Encode(QString(mine));
        ASSERT_EQ(back.size(), 1);
        EXPECT_EQ(static_cast<unsigned char>(back[0]), b) << "byte " << b;
    }
    EXPECT_EQ(unassigned, 1);  // 0x98 has no character
}

TEST(Cp1251, TextRoundTripsAndUnmappableBecomesQuestionMark)
{
    const QString text = QString::fromUtf8("Oшибка записи в порт №1 «ёЁ»");
    EXPECT_EQ(Cp1251_Decode(Cp1251_Encode(text)), text);
    EXPECT_EQ(Cp1251_Encode(QString::fromUtf8("a€b")), QByteArray("a\x88"
                                                                  "b"));
    EXPECT_EQ(Cp1251_Encode(QString::fromUtf8("中ä")), QByteArray("??"));
    EXPECT_EQ(Cp1251_Encode(QString::fromUtf8("Я")), QByteArray("\xDF"));
}
