#include "platform/windows1252.h"

#include <gtest/gtest.h>

#include <set>

using platform::fromWindows1252;
using platform::toWindows1252;
using platform::toWindows1252Exactly;

TEST(Windows1252, EveryByteSurvivesTheRoundTrip)
{
    for (int b = 0; b < 256; ++b) {
        const QByteArray byte(1, char(b));
        const QString text = fromWindows1252(byte);
        ASSERT_EQ(text.size(), 1);
        EXPECT_EQ(toWindows1252(text), byte) << b;
        EXPECT_EQ(toWindows1252Exactly(text), byte) << b;
    }
}

TEST(Windows1252, OnlyTheCodePagesCharactersHaveBytes)
{
    // 256 characters, each with a byte of its own; everything else in the 16-bit range has none.
    std::set<char> bytes;
    int held = 0;
    for (char32_t u = 0; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        if (const auto b = toWindows1252Exactly(QString(QChar(char16_t(u))))) {
            ++held;
            bytes.insert(b->at(0));
        }
    }
    EXPECT_EQ(held, 256);
    EXPECT_EQ(bytes.size(), 256u);
}

TEST(Windows1252, TheCodePagesOwnCharactersNotLatin1s)
{
    EXPECT_EQ(fromWindows1252(QByteArray("\x80\x81\x84\x93\x9F\xA0\xE4\xFF")).toStdString(),
              "€\u0081„“Ÿ\u00A0äÿ");
    EXPECT_EQ(toWindows1252(QStringLiteral("€Üß„“")), QByteArray("\x80\xDC\xDF\x84\x93"));
    // Latin-1's control code 0x80 is not the code page's 0x80.
    EXPECT_EQ(toWindows1252(QString(QChar(0x80))), QByteArray("?"));
}

TEST(Windows1252, CharactersWithoutAByte)
{
    const struct {
        QString text;
        QByteArray replaced;
    } cases[] = {
        {QStringLiteral("zło"), "z?o"},
        {QStringLiteral("пароль"), "??????"},
        {QStringLiteral("a😀b"), "a?b"},                       // a surrogate pair is one character
        {QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"), "a?b"},  // a lone surrogate too
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toWindows1252(c.text), c.replaced) << c.text.toStdString();
        EXPECT_FALSE(toWindows1252Exactly(c.text)) << c.text.toStdString();
    }
    EXPECT_EQ(toWindows1252Exactly(QString()), QByteArray());
}
