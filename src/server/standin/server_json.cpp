#include "server/standin/server_json.h"

#include "server/udavid_api.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace standin {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Where QJsonDocument takes what JSON does not have: an escape JSON lacks ("\A", taken as the bare letter) or a
// number whose point has no digit on one side ("2.", ".2", "1.e5"). The first such place within [0, end), the
// part of the text the parser read without fault, where a '"' outside a text always opens one.
struct Leniency {
    qsizetype offset = -1;
    QJsonParseError::ParseError error = QJsonParseError::NoError;
};

Leniency firstLeniency(const QByteArray& json, qsizetype end)
{
    const auto digit = [&](qsizetype i) { return i >= 0 && i < json.size() && json[i] >= '0' && json[i] <= '9'; };
    bool inString = false;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '"') {
                inString = false;
            } else if (c == '\\') {
                if (i + 1 < json.size() && std::string_view(R"("\/bfnrtu)").find(json[i + 1]) == std::string_view::npos)
                    return {i, QJsonParseError::IllegalEscapeSequence};
                ++i;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '.' && (!digit(i - 1) || !digit(i + 1))) {
            qsizetype start = i;
            while (start > 0 && (digit(start - 1) || json[start - 1] == '-'))
                --start;
            return {start, QJsonParseError::IllegalNumber};
        }
    }
    return {};
}

// The document reader: every check in the order of the format's description, each fault named by its place.
class DocumentReader {
public:
    DocumentReader(ServerJson& data, const QString& file) : m_data(data), m_file(file) {}

    [[noreturn]] void fail(const QString& where, const QString& what) const
    {
        throw ServerError(QStringLiteral("%1: %2: %3").arg(QDir::toNativeSeparators(m_file), where, what));
    }

    QString text(const QJsonObject& o, const char* key, const QString& where, bool required) const
    {
        const QJsonValue v = o.value(QLatin1String(key));
        const QString place = where + QLatin1Char('.') + QLatin1String(key);
        if (v.isUndefined()) {
            if (required)
                fail(place, QStringLiteral("Pflichtfeld fehlt"));
            return {};
        }
        if (!v.isString())
            fail(place, QStringLiteral("Text erwartet"));
        return v.toString();
    }

    int archive(const QJsonValue& value, const QString& where)
    {
        if (!value.isObject())
            fail(where, QStringLiteral("Objekt erwartet"));
        const QJsonObject o = value.toObject();
        const int index = int(m_data.archives.size());
        m_data.archives.emplace_back();
        {
            ServerJsonArchive& a = m_data.archives.back();
            a.name = text(o, "name", where, true);
            a.path = text(o, "path", where, true);
            a.fullPath = text(o, "fullPath", where, true);
        }
        // ArchiveFromPath and OpenArchive find an archive by its path: two archives with one path would
        // leave one of them unreachable and open the wrong folder for the other.
        const QString& path = m_data.archives[std::size_t(index)].path;
        if (const auto seen = m_places.constFind(path); seen != m_places.constEnd())
            fail(where + QStringLiteral(".path"), QStringLiteral("Pfad schon vergeben in %1").arg(seen.value()));
        m_places.insert(path, where);
        m_data.byPath.insert(path, index);

        const QJsonValue messages = o.value(QLatin1String("messages"));
        if (!messages.isUndefined()) {
            if (!messages.isArray())
                fail(where + QStringLiteral(".messages"), QStringLiteral("Liste erwartet"));
            const QJsonArray list = messages.toArray();
            std::vector<ServerJsonMessage> read;
            read.reserve(std::size_t(list.size()));
            for (qsizetype i = 0; i < list.size(); ++i)
                read.push_back(message(list.at(i), QStringLiteral("%1.messages[%2]").arg(where).arg(i)));
            m_data.archives[std::size_t(index)].messages = std::move(read);
        }

        const QJsonValue subs = o.value(QLatin1String("subArchives"));
        if (!subs.isUndefined()) {
            if (!subs.isArray())
                fail(where + QStringLiteral(".subArchives"), QStringLiteral("Liste erwartet"));
            const QJsonArray list = subs.toArray();
            for (qsizetype i = 0; i < list.size(); ++i) {
                const int sub = archive(list.at(i), QStringLiteral("%1.subArchives[%2]").arg(where).arg(i));
                m_data.archives[std::size_t(index)].subs.push_back(sub);
            }
        }
        return index;
    }

    ServerJsonMessage message(const QJsonValue& value, const QString& where) const
    {
        if (!value.isObject())
            fail(where, QStringLiteral("Objekt erwartet"));
        const QJsonObject o = value.toObject();
        ServerJsonMessage m;
        const QJsonValue kind = o.value(QLatin1String("kind"));
        if (kind.isUndefined())
            fail(where + QStringLiteral(".kind"), QStringLiteral("Pflichtfeld fehlt"));
        if (!kind.isDouble() || kind.toDouble() != double(kind.toInt()))
            fail(where + QStringLiteral(".kind"), QStringLiteral("ganze Zahl erwartet"));
        m.kind = kind.toInt();
        m.title = text(o, "title", where, true);
        m.eml = text(o, "eml", where, m.kind == 2);
        m.faxImage = text(o, "faxImage", where, m.kind == 3);
        m.url = text(o, "url", where, m.kind == 8);
        return m;
    }

private:
    ServerJson& m_data;
    QString m_file;
    QHash<QString, QString> m_places;  // path -> where in the file it was given
};

// The direct reader: one pass over the bytes, strings taken straight into the archives. It accepts a subset
// of what the document reader accepts, and for that subset gives the same result; at anything else it gives
// up and leaves the decision (and the naming of the fault) to the document reader.
class DirectReader {
public:
    struct GiveUp {};

    DirectReader(ServerJson& data, const QByteArray& json) : m_data(data), m_p(json.constData()), m_end(m_p + json.size())
    {
    }

    void read()
    {
        // Editors on Windows like to start the file with a byte-order mark; QJsonDocument allows it there.
        if (m_end - m_p >= 3 && std::memcmp(m_p, "\xEF\xBB\xBF", 3) == 0)
            m_p += 3;
        space();
        bool root = false;
        object(0, [&](std::string_view key) {
            if (key != "archiveRoot")
                return false;
            if (root)
                throw GiveUp {};
            root = true;
            archive(1);
            return true;
        });
        space();
        if (!root || m_p != m_end)
            throw GiveUp {};
    }

private:
    // Deeper files are rare and the document reader has its own limit.
    static constexpr int kMaxDepth = 200;

    void space()
    {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }

    void expect(char c)
    {
        space();
        if (m_p == m_end || *m_p != c)
            throw GiveUp {};
        ++m_p;
    }

    bool next(char c)
    {
        space();
        if (m_p != m_end && *m_p == c) {
            ++m_p;
            return true;
        }
        return false;
    }

    // Calls member(key) for every key of an object; member reads the value and returns true, or returns
    // false to have it skipped. Keys are taken only as plain ASCII without escapes.
    template <typename Member>
    void object(int depth, Member member)
    {
        if (depth > kMaxDepth)
            throw GiveUp {};
        expect('{');
        if (next('}'))
            return;
        do {
            expect('"');
            const char* start = m_p;
            while (m_p != m_end && *m_p != '"') {
                const auto c = static_cast<unsigned char>(*m_p);
                if (c == '\\' || c < 0x20 || c >= 0x80)
                    throw GiveUp {};
                ++m_p;
            }
            if (m_p == m_end)
                throw GiveUp {};
            const std::string_view key(start, std::size_t(m_p - start));
            ++m_p;
            expect(':');
            if (!member(key))
                skipValue(depth + 1);
        } while (next(','));
        expect('}');
    }

    template <typename Element>
    void array(int depth, Element element)
    {
        if (depth > kMaxDepth)
            throw GiveUp {};
        expect('[');
        if (next(']'))
            return;
        do
            element();
        while (next(','));
        expect(']');
    }

    void appendRun(QString& out, const char* from, const char* to)
    {
        if (from == to)
            return;
        const QByteArrayView run(from, to - from);
        bool ascii = true;
        for (const char c : run)
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii) {
            out += QLatin1StringView(run);
            return;
        }
        // U+FEFF written as it is: QJsonDocument drops it at the start of a text without escapes and keeps it
        // elsewhere, so it is left to the document reader. The decoder must not drop it unseen.
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString decoded = decoder.decode(run);
        if (decoder.hasError())
            throw GiveUp {};
        for (const QChar c : decoded)
            if (c.isSurrogate() || c.isNonCharacter() || c == QChar(0xFEFF))
                throw GiveUp {};
        out += decoded;
    }

    QString string()
    {
        expect('"');
        // Plain ASCII, the usual case, becomes its string at once; anything else is put together in a
        // buffer kept for the purpose and copied out at its exact size, so no string keeps spare room.
        // Control characters are taken as written, as QJsonDocument takes them (see docs/server-folder.md).
        const char* start = m_p;
        while (m_p != m_end && *m_p != '"' && *m_p != '\\' && static_cast<unsigned char>(*m_p) < 0x80)
            ++m_p;
        if (m_p != m_end && *m_p == '"')
            return QString::fromLatin1(start, qsizetype(m_p++ - start));
        QString& out = m_scratch;
        out.resize(0);
        const char* run = start;
        while (true) {
            if (m_p == m_end)
                throw GiveUp {};
            const auto c = static_cast<unsigned char>(*m_p);
            if (c == '"') {
                appendRun(out, run, m_p);
                ++m_p;
                return QString(out.constData(), out.size());
            }
            if (c != '\\') {
                ++m_p;
                continue;
            }
            appendRun(out, run, m_p);
            if (++m_p == m_end)
                throw GiveUp {};
            switch (*m_p++) {
            case '"': out += QLatin1Char('"'); break;
            case '\\': out += QLatin1Char('\\'); break;
            case '/': out += QLatin1Char('/'); break;
            case 'b': out += QLatin1Char('\b'); break;
            case 'f': out += QLatin1Char('\f'); break;
            case 'n': out += QLatin1Char('\n'); break;
            case 'r': out += QLatin1Char('\r'); break;
            case 't': out += QLatin1Char('\t'); break;
            case 'u': {
                if (m_end - m_p < 4)
                    throw GiveUp {};
                char16_t code = 0;
                for (int i = 0; i < 4; ++i) {
                    const int digit = hexDigit(*m_p++);
                    if (digit < 0)
                        throw GiveUp {};
                    code = char16_t(code * 16 + digit);
                }
                const QChar ch(code);
                // Surrogate pairs, NUL and non-characters are left to the document reader.
                if (code == 0 || ch.isSurrogate() || ch.isNonCharacter())
                    throw GiveUp {};
                out += ch;
                break;
            }
            default:
                throw GiveUp {};
            }
            run = m_p;
        }
    }

    // A number in plain notation: optional minus, integer part, optional fraction; no exponent, at most 15
    // digits, so it is exact as a double. Gives the text read.
    std::string_view number()
    {
        space();
        const char* start = m_p;
        int digits = 0;
        const auto digitRun = [&] {
            const char* from = m_p;
            while (m_p != m_end && *m_p >= '0' && *m_p <= '9')
                ++m_p;
            digits += int(m_p - from);
            return m_p - from;
        };
        if (m_p != m_end && *m_p == '-')
            ++m_p;
        const char* integer = m_p;
        const auto integerDigits = digitRun();
        if (integerDigits == 0 || (*integer == '0' && integerDigits > 1))
            throw GiveUp {};
        if (m_p != m_end && *m_p == '.') {
            ++m_p;
            if (digitRun() == 0)
                throw GiveUp {};
        }
        if (digits > 15 || (m_p != m_end && (*m_p == 'e' || *m_p == 'E')))
            throw GiveUp {};
        return {start, std::size_t(m_p - start)};
    }

    void literal(const char* word)
    {
        const std::size_t n = std::strlen(word);
        if (std::size_t(m_end - m_p) < n || std::memcmp(m_p, word, n) != 0)
            throw GiveUp {};
        m_p += n;
    }

    void skipValue(int depth)
    {
        space();
        if (m_p == m_end)
            throw GiveUp {};
        switch (*m_p) {
        case '{':
            object(depth, [](std::string_view) { return false; });
            break;
        case '[':
            array(depth, [&] { skipValue(depth + 1); });
            break;
        case '"':
            string();
            break;
        case 't':
            literal("true");
            break;
        case 'f':
            literal("false");
            break;
        case 'n':
            literal("null");
            break;
        default:
            number();
        }
    }

    // A text for a key given at most once (bit `flag` of `seen`).
    QString text(unsigned& seen, unsigned flag)
    {
        if (seen & flag)
            throw GiveUp {};
        seen |= flag;
        space();
        if (m_p == m_end || *m_p != '"')
            throw GiveUp {};
        return string();
    }

    int archive(int depth)
    {
        space();
        if (m_p == m_end || *m_p != '{')
            throw GiveUp {};
        const int index = int(m_data.archives.size());
        m_data.archives.emplace_back();
        enum : unsigned { Name = 1, Path = 2, FullPath = 4, Messages = 8, Subs = 16 };
        unsigned seen = 0;
        // The vector grows while sub-archives are read: the archive is reached by its index every time.
        const auto self = [&]() -> ServerJsonArchive& { return m_data.archives[std::size_t(index)]; };
        object(depth, [&](std::string_view key) {
            if (key == "name")
                self().name = text(seen, Name);
            else if (key == "path")
                self().path = text(seen, Path);
            else if (key == "fullPath")
                self().fullPath = text(seen, FullPath);
            else if (key == "messages") {
                if (seen & Messages)
                    throw GiveUp {};
                seen |= Messages;
                array(depth + 1, [&] { self().messages.push_back(message(depth + 2)); });
            } else if (key == "subArchives") {
                if (seen & Subs)
                    throw GiveUp {};
                seen |= Subs;
                array(depth + 1, [&] {
                    const int sub = archive(depth + 2);
                    self().subs.push_back(sub);
                });
            } else {
                return false;
            }
            return true;
        });
        if ((seen & (Name | Path | FullPath)) != (Name | Path | FullPath))
            throw GiveUp {};
        // A path given twice is a fault the document reader names.
        const qsizetype before = m_data.byPath.size();
        m_data.byPath.insert(self().path, index);
        if (m_data.byPath.size() == before)
            throw GiveUp {};
        return index;
    }

    ServerJsonMessage message(int depth)
    {
        ServerJsonMessage m;
        enum : unsigned { Kind = 1, Title = 2, Eml = 4, Fax = 8, Url = 16 };
        unsigned seen = 0;
        object(depth, [&](std::string_view key) {
            if (key == "kind") {
                if (seen & Kind)
                    throw GiveUp {};
                seen |= Kind;
                const std::string_view text = number();
                bool ok = false;
                m.kind = QByteArrayView(text.data(), qsizetype(text.size())).toInt(&ok);
                // A whole number within int, written as one.
                if (!ok || text.find('.') != std::string_view::npos || text.size() > 10)
                    throw GiveUp {};
            } else if (key == "title") {
                m.title = text(seen, Title);
            } else if (key == "eml") {
                m.eml = text(seen, Eml);
            } else if (key == "faxImage") {
                m.faxImage = text(seen, Fax);
            } else if (key == "url") {
                m.url = text(seen, Url);
            } else {
                return false;
            }
            return true;
        });
        const bool complete = (seen & Kind) && (seen & Title) && (m.kind != 2 || (seen & Eml))
                              && (m.kind != 3 || (seen & Fax)) && (m.kind != 8 || (seen & Url));
        if (!complete)
            throw GiveUp {};
        return m;
    }

    ServerJson& m_data;
    const char* m_p;
    const char* m_end;
    QString m_scratch;
};

}  // namespace

std::optional<ServerJson> readServerJsonDirect(const QByteArray& json)
{
    ServerJson data;
    try {
        DirectReader(data, json).read();
    } catch (const DirectReader::GiveUp&) {
        return std::nullopt;
    }
    return data;
}

ServerJson readServerJsonDocument(const QByteArray& json, const QString& file)
{
    ServerJson data;
    DocumentReader reader(data, file);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    // What QJsonDocument takes beyond JSON is refused like any other fault, unless the parser stopped at one
    // before it: a hand-written path such as "SRV0\ARCHIVE" would otherwise lose its backslash without a word.
    // (The parser's offset may lie past the end of a text cut short.)
    const qsizetype parsed =
        error.error == QJsonParseError::NoError ? json.size() : std::min<qsizetype>(error.offset, json.size());
    if (const Leniency lenient = firstLeniency(json, parsed); lenient.offset >= 0) {
        error.error = lenient.error;
        error.offset = int(lenient.offset);
    }
    if (error.error != QJsonParseError::NoError)
        reader.fail(QStringLiteral("Byte %1").arg(error.offset),
                    QStringLiteral("kein gültiges JSON (%1)").arg(error.errorString()));
    if (!doc.isObject())
        reader.fail(QStringLiteral("oberste Ebene"), QStringLiteral("Objekt erwartet"));
    const QJsonValue root = doc.object().value(QLatin1String("archiveRoot"));
    if (root.isUndefined())
        reader.fail(QStringLiteral("archiveRoot"), QStringLiteral("Pflichtfeld fehlt"));
    reader.archive(root, QStringLiteral("archiveRoot"));
    return data;
}

ServerJson readServerJson(const QByteArray& json, const QString& file)
{
    // A well-formed file, the usual case, is read directly: at 20,000 users the document with the copies
    // taken from it cost several times the file. Anything else goes the thorough way, which names the fault.
    if (std::optional<ServerJson> direct = readServerJsonDirect(json))
        return std::move(*direct);
    return readServerJsonDocument(json, file);
}

}  // namespace standin
