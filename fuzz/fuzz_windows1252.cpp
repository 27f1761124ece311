// The Windows-1252 codec of attachment names, shortcut files and ZIP passwords: every byte decodes, and
// text the code page can hold comes back from encoding and decoding as it was.

#include "fuzz_support.h"

#include "classify/windows1252.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString decoded = classify::fromWindows1252(bytes);
    FUZZ_CHECK(decoded.size() == bytes.size(), decoded);
    FUZZ_CHECK(classify::toWindows1252(decoded) == bytes, QString::fromLatin1(bytes.toHex()));

    const QString text = fuzz::utf16Text(data, size);
    const QByteArray encoded = classify::toWindows1252(text);
    FUZZ_CHECK(encoded.size() == text.size(), text);
    const QString back = classify::fromWindows1252(encoded);
    for (qsizetype i = 0; i < text.size(); ++i) {
        // "?" stands for a character the code page has not got; every other character comes back.
        if (encoded.at(i) != '?' || text.at(i) == QLatin1Char('?'))
            FUZZ_CHECK(back.at(i) == text.at(i), QStringLiteral("U+%1").arg(text.at(i).unicode(), 4, 16));
    }
    return 0;
}
