#include "cli/stat_output.h"
#include "csv_reader.h"
#include "engine/date_text.h"
#include "platform/dos_stamp.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

StatRow row(int level, const QString& name, const QString& path)
{
    auto d = std::make_shared<TTobData>();
    d->TobitUser = name;
    d->Pfad = path;
    d->UserID = userIdFromPath(path);
    d->FullPath = QStringLiteral("\\\\SRV\\") + name;
    return {level, d};
}

const QStringList kNames = {QStringLiteral("Müller, Hans"), QStringLiteral("Der \"Chef\""),
                            QStringLiteral("Zeile 1\nZeile 2"), QStringLiteral("Wagen\rRücklauf"),
                            QStringLiteral("\"\""), QStringLiteral("Tab\tund \\ Steuer\x01zeichen"),
                            QStringLiteral("Schlicht")};

}  // namespace

TEST(StatOutput, NumbersReadBackExactlyWithoutExponent)
{
    const std::vector<long double> longs = {0.0L, 1.0L / 1048576.0L, 123456789.0L / 1048576.0L, 1.0L / 3.0L,
                                            (long double)(1ULL << 50) / 1048576.0L, 1e-30L};
    for (const long double v : longs) {
        const QByteArray text = numberText(v);
        EXPECT_FALSE(text.contains('e') || text.contains('E') || text.contains(',')) << text.constData();
        EXPECT_EQ(std::strtold(text.constData(), nullptr), v) << text.constData();
    }
    // 1/3 as an 80-bit value needs more digits than a double would: the record's precision is kept.
    EXPECT_NE((long double)std::strtod(numberText(1.0L / 3.0L).constData(), nullptr), 1.0L / 3.0L);

    const std::vector<double> doubles = {0.0, 1000.0 / 430.0, 43000.0 / 430.0, 0.1, 5e-324, 1e21};
    for (const double v : doubles) {
        const QByteArray text = numberText(v);
        EXPECT_FALSE(text.contains('e') || text.contains('E')) << text.constData();
        EXPECT_EQ(std::strtod(text.constData(), nullptr), v) << text.constData();
    }
    EXPECT_EQ(numberText(43000.0 / 430.0), QByteArray("100"));
    EXPECT_EQ(numberText(0.5), QByteArray("0.5"));
}

TEST(StatOutput, DateTextsBecomeIsoLocalTimeInEveryLocale)
{
    const QDateTime afternoon(QDate(2016, 3, 5), QTime(14, 22, 10));
    const QDateTime midnight(QDate(1999, 12, 31), QTime(0, 0));
    for (const QLocale& locale : {QLocale(QLocale::German, QLocale::Germany), QLocale::c(),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        const DateTextFormat format(locale);
        EXPECT_EQ(isoDateTime(format.format(afternoon), format), QStringLiteral("2016-03-05T14:22:10"))
            << locale.name().toStdString();
        EXPECT_EQ(isoDateTime(format.format(midnight), format), QStringLiteral("1999-12-31T00:00:00"));
        EXPECT_TRUE(isoDateTime(QString(), format).isEmpty());
        EXPECT_TRUE(isoDateTime(QStringLiteral("kein Datum"), format).isEmpty());
    }
}

TEST(StatOutput, DatesFromTheRecordsStampsAreTheDatesItsTextsGive)
{
    // A record as the scanner leaves it holds each text with the stamp it was made of; the output takes the
    // stamp and must give what reading the text back gives, in CSV and in JSON, whatever the locale.
    const std::vector<platform::DosStamp> stamps = {
        platform::packDosStamp(2016, 3, 5, 14, 22, 10), platform::packDosStamp(1999, 12, 31, 0, 0, 0),
        platform::packDosStamp(1980, 1, 1, 23, 59, 58), platform::packDosStamp(2107, 12, 31, 9, 5, 2)};
    for (const QLocale& locale :
         {QLocale(QLocale::German, QLocale::Germany), QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        SCOPED_TRACE(locale.name().toStdString());
        const DateTextFormat format(locale);
        std::vector<StatRow> withStamps, textsOnly;
        for (std::size_t i = 0; i + 1 < stamps.size(); ++i) {
            for (std::vector<StatRow>* rows : {&withStamps, &textsOnly}) {
                rows->push_back(row(0, kNames[qsizetype(i)], QStringLiteral("SRV:DAVID\\%1").arg(i)));
                TTobData& d = *rows->back().data;
                d.Neueste = format.format(platform::dosStampToDateTime(stamps[i]));
                d.Aelteste = format.format(platform::dosStampToDateTime(stamps[i + 1]));
                if (rows == &withStamps) {
                    d.NeuesteStamp = stamps[i];
                    d.AeltesteStamp = stamps[i + 1];
                }
            }
        }
        withStamps.push_back(row(1, QStringLiteral("Ohne Datum"), QStringLiteral("SRV:DAVID\\9")));
        textsOnly.push_back(withStamps.back());
        EXPECT_EQ(statCsv(withStamps, format), statCsv(textsOnly, format));
        EXPECT_EQ(statJson(withStamps, format), statJson(textsOnly, format));
        EXPECT_TRUE(statCsv(withStamps, format).contains(",2107-12-31T09:05:02\r\n"));
    }
}

TEST(StatOutput, CsvQuotesAwkwardNamesAndReadsBackAsWritten)
{
    const DateTextFormat format(QLocale(QLocale::German, QLocale::Germany));
    std::vector<StatRow> rows;
    for (qsizetype i = 0; i < kNames.size(); ++i)
        rows.push_back(row(int(i % 3), kNames[i], QStringLiteral("SRV:DAVID\\A,%1\"B").arg(i)));
    rows[0].data->Size = 1536.0L;
    rows[0].data->AnzahlNachrichtenG = 1000.0 / 430.0;
    rows[0].data->Anhang = 3;
    rows[0].data->AnhangG = -1;
    rows[0].data->Neueste = format.format(QDateTime(QDate(2016, 3, 5), QTime(14, 22, 10)));
    rows[0].data->Aelteste = format.format(QDateTime(QDate(2001, 1, 2), QTime(0, 0)));

    const std::vector<QStringList> records = clitest::readCsv(statCsv(rows, format));
    ASSERT_EQ(records.size(), rows.size() + 1);
    EXPECT_EQ(records[0], statColumns());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const QStringList& rec = records[r + 1];
        ASSERT_EQ(rec.size(), statColumns().size()) << r;
        const TTobData& d = *rows[r].data;
        EXPECT_EQ(rec[0], QString::number(rows[r].level));
        EXPECT_EQ(rec[1], d.TobitUser);
        EXPECT_EQ(rec[2], d.UserID);
        EXPECT_EQ(rec[3], d.Pfad);
        EXPECT_EQ(rec[4], d.FullPath);
    }
    const QStringList& first = records[1];
    EXPECT_EQ(first[5], QStringLiteral("1536"));
    EXPECT_EQ(std::strtod(first[8].toUtf8().constData(), nullptr), 1000.0 / 430.0);
    EXPECT_EQ(first[9], QStringLiteral("3"));
    EXPECT_EQ(first[10], QStringLiteral("-1"));
    EXPECT_EQ(first[13], QStringLiteral("2016-03-05T14:22:10"));
    EXPECT_EQ(first[14], QStringLiteral("2001-01-02T00:00:00"));
    // No message file: both dates empty.
    EXPECT_TRUE(records[2][13].isEmpty());
    EXPECT_TRUE(records[2][14].isEmpty());

    // Nothing listed: the header alone.
    EXPECT_EQ(statCsv({}, format), statColumns().join(QLatin1Char(',')).toUtf8() + "\r\n");
}

TEST(StatOutput, JsonIsValidWithKeysInColumnOrder)
{
    const DateTextFormat format{QLocale::c()};
    std::vector<StatRow> rows;
    for (qsizetype i = 0; i < kNames.size(); ++i)
        rows.push_back(row(int(i), kNames[i], QStringLiteral("P%1\\\"x\"").arg(i)));
    rows[1].data->SizeRoot = 1.0L / 3.0L;
    rows[1].data->AnhangSizeG = 0.1;
    rows[1].data->Neueste = format.format(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58)));

    const QByteArray text = statJson(rows, format);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text.constData();
    ASSERT_TRUE(doc.isArray());
    const QJsonArray array = doc.array();
    ASSERT_EQ(array.size(), qsizetype(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const QJsonObject o = array.at(qsizetype(r)).toObject();
        EXPECT_EQ(o.size(), statColumns().size());
        EXPECT_EQ(o.value(QStringLiteral("level")).toInt(), rows[r].level);
        EXPECT_EQ(o.value(QStringLiteral("name")).toString(), rows[r].data->TobitUser);
        EXPECT_EQ(o.value(QStringLiteral("path")).toString(), rows[r].data->Pfad);
        EXPECT_EQ(o.value(QStringLiteral("userId")).toString(), rows[r].data->UserID);
        EXPECT_EQ(o.value(QStringLiteral("fullPath")).toString(), rows[r].data->FullPath);
        EXPECT_TRUE(o.value(QStringLiteral("oldest")).isNull());
    }
    const QJsonObject second = array.at(1).toObject();
    EXPECT_EQ(second.value(QStringLiteral("newest")).toString(), QStringLiteral("2024-02-29T23:59:58"));
    EXPECT_EQ(second.value(QStringLiteral("AnhangSizeG")).toDouble(), 0.1);
    EXPECT_TRUE(array.at(0).toObject().value(QStringLiteral("newest")).isNull());

    // Key order: QJsonObject sorts its keys, so read them off the text, object by object.
    static const QRegularExpression key(QStringLiteral("\"([A-Za-z]+)\": "));
    const QList<QByteArray> lines = text.split('\n');
    int objects = 0;
    for (const QByteArray& line : lines) {
        if (!line.startsWith("  {"))
            continue;
        ++objects;
        QStringList keys;
        // The names above hold nothing that looks like a key.
        for (const auto& m : key.globalMatch(QString::fromUtf8(line)))
            keys.append(m.captured(1));
        EXPECT_EQ(keys, statColumns()) << line.constData();
    }
    EXPECT_EQ(objects, int(rows.size()));

    const QJsonDocument empty = QJsonDocument::fromJson(statJson({}, format), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_TRUE(empty.isArray() && empty.array().isEmpty());
}

// A long listing goes out in pieces, whole rows each, that add up to the text; a sink that refuses a piece
// gets no further piece.
TEST(StatOutput, LongOutputGoesOutInPiecesAndStopsAtARefusal)
{
    const DateTextFormat format{QLocale::c()};
    std::vector<StatRow> rows;
    for (int i = 0; i < 3000; ++i)
        rows.push_back(row(i % 3, kNames[i % kNames.size()], QStringLiteral("SRV:D\\U\\%1").arg(i, 8, 10, QLatin1Char('0'))));
    using Writer = bool (*)(const std::vector<StatRow>&, const DateTextFormat&, const StatTypes*, const StatSink&);
    const struct {
        Writer write;
        QByteArray whole;
    } formats[] = {{writeStatCsv, statCsv(rows, format)}, {writeStatJson, statJson(rows, format)}};
    for (const auto& f : formats) {
        QList<QByteArray> pieces;
        EXPECT_TRUE(f.write(rows, format, nullptr, [&](const QByteArray& piece) {
            pieces.append(piece);
            return true;
        }));
        EXPECT_GT(pieces.size(), 2);
        EXPECT_EQ(pieces.join(), f.whole);
        for (const QByteArray& piece : pieces)
            EXPECT_TRUE(piece.endsWith('\n'));

        int offered = 0;
        EXPECT_FALSE(f.write(rows, format, nullptr, [&](const QByteArray&) { return ++offered < 2; }));
        EXPECT_EQ(offered, 2);
    }
}
