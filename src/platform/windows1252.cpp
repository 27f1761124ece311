#include "platform/windows1252.h"

namespace platform {

namespace {

constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

char16_t unicodeOf(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char16_t(byte);
}

std::optional<char> byteOf(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return char(u);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u)
            return char(0x80 + i);
    return std::nullopt;
}

// Calls take(byte) per character and miss() per character without a byte; a surrogate pair is one character.
template <typename Take, typename Miss>
void encode(const QString& text, Take take, Miss miss)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (const std::optional<char> byte = byteOf(c.unicode())) {
            take(*byte);
        } else {
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            if (!miss())
                return;
        }
    }
}

}  // namespace

QString fromWindows1252(const char* data, qsizetype size)
{
    QString text(size, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < size; ++i)
        out[i] = QChar(unicodeOf(static_cast<unsigned char>(data[i])));
    return text;
}

QString fromWindows1252(const QByteArray& bytes)
{
    return fromWindows1252(bytes.constData(), bytes.size());
}

QByteArray toWindows1252(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    encode(text, [&](char b) { bytes.append(b); }, [&] { bytes.append('?'); return true; });
    return bytes;
}

std::optional<QByteArray> toWindows1252Exactly(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    bool whole = true;
    encode(text, [&](char b) { bytes.append(b); }, [&] { whole = false; return false; });
    if (!whole)
        return std::nullopt;
    return bytes;
}

}  // namespace platform
