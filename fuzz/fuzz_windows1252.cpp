// The Windows-1252 codec of attachment names, shortcut files and ZIP passwords: every byte decodes, and
// text the code page can hold comes back from encoding and decoding as it was.

#include "fuzz_support.h"

#include "platform/windows1252.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString decoded = platform::fromWindows1252(bytes);
    FUZZ_CHECK(decoded.size() == bytes.size(), decoded);
    FUZZ_CHECK(platform::toWindows1252(decoded) == bytes, QString::fromLatin1(bytes.toHex()));
    FUZZ_CHECK(platform::toWindows1252Exactly(decoded) == bytes, QString::fromLatin1(bytes.toHex()));

    const QString text = fuzz::utf16Text(data, size);
    const QByteArray encoded = platform::toWindows1252(text);
    const std::optional<QByteArray> exactly = platform::toWindows1252Exactly(text);
    if (exactly) {
        FUZZ_CHECK(*exactly == encoded, text);
        FUZZ_CHECK(platform::fromWindows1252(*exactly) == text, text);
    }
    bool surrogates = false;
    for (const QChar c : text)
        surrogates = surrogates || c.isSurrogate();
    if (surrogates) {
        FUZZ_CHECK(!exactly, text);
        FUZZ_CHECK(encoded.size() <= text.size(), text);
        return 0;
    }
    FUZZ_CHECK(encoded.size() == text.size(), text);
    const QString back = platform::fromWindows1252(encoded);
    for (qsizetype i = 0; i < text.size(); ++i) {
        // "?" stands for a character the code page has not got; every other character comes back.
        if (encoded.at(i) != '?' || text.at(i) == QLatin1Char('?'))
            FUZZ_CHECK(back.at(i) == text.at(i), QStringLiteral("U+%1").arg(text.at(i).unicode(), 4, 16));
        else
            FUZZ_CHECK(!exactly, QStringLiteral("U+%1 counted as held").arg(text.at(i).unicode(), 4, 16));
    }
    return 0;
}
