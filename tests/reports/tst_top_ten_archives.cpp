// "Top-Ten Archive": the figures built from the table and the history, and the report as a PDF read back.

#include "history/history_database.h"
#include "pdf_reader.h"
#include "reports/top_ten_archives.h"

#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

using namespace reports;

namespace {

const QString kServer = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER");
const QDateTime kNow(QDate(2026, 12, 10), QTime(3, 0), Qt::UTC);

QString pathOf(int i)
{
    return kServer + QStringLiteral("\\%1").arg(i, 8, 10, QLatin1Char('0'));
}

history::ArchiveFigures recorded(int i, double size)
{
    history::ArchiveFigures a;
    a.name = QStringLiteral("Benutzer %1").arg(i);
    a.userId = QStringLiteral("%1").arg(i, 8, 10, QLatin1Char('0'));
    a.path = pathOf(i);
    a.Size = size;
    a.AnzahlNachrichtenG = size * 2;
    return a;
}

// Archive i is 100 + i MB on the oldest run and grows by i MB a day; archive 3 arrives late.
history::Run runOn(int daysBack, int archives)
{
    history::Run run;
    run.info.server = kServer;
    run.info.started = kNow.addDays(-daysBack);
    run.info.ended = run.info.started.addSecs(60);
    run.info.program = QStringLiteral("test");
    run.info.complete = true;
    for (int i = 0; i < archives; ++i) {
        if (i == 3 && daysBack > 5)
            continue;
        run.archives.push_back(recorded(i, 100 + i + i * (60 - daysBack)));
    }
    return run;
}

QStringList names(const std::vector<TopTenLine>& lines)
{
    QStringList out;
    for (const TopTenLine& l : lines)
        out << l.userId.right(2);
    return out;
}

}  // namespace

class TopTenArchivesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }

    void historyGivesGrowthSinceThePreviousRunAndOver30Days()
    {
        history::HistoryDatabase db(m_tmp.filePath(QStringLiteral("h1.sqlite")));
        QVERIFY(db.open());
        for (int back : {60, 40, 2, 1})
            QVERIFY2(db.record(runOn(back, 14)), qPrintable(db.error()));

        // The table holds no figures: the latest run (one day back) stands in.
        const TopTenArchivesData data = buildTopTenArchives({}, &db, kServer, 0, kNow);
        QCOMPARE(data.largest.size(), std::size_t(10));
        QCOMPARE(names(data.largest), QStringList({"13", "12", "11", "10", "09", "08", "07", "06", "05", "04"}));
        const TopTenLine& top = data.largest.front();
        QCOMPARE(top.Size, 100 + 13 + 13 * 59.0);
        QCOMPARE(*top.sincePrevious, 13.0);      // against two days back
        QCOMPARE(*top.growth, 13.0 * 39);        // against 40 days back, the latest run 30 days old
        QCOMPARE(data.growthSpan, QStringLiteral("in 30 Tagen"));
        QCOMPARE(names(data.growing).mid(0, 3), QStringList({"13", "12", "11"}));
        for (const TopTenLine& l : data.growing)
            QVERIFY(l.userId.right(2) != QStringLiteral("03"));  // not in a run 30 days old
        QCOMPARE(data.sizes.size(), std::size_t(4));

        // The table's figures recorded as run 4: "since the previous run" is against run 3.
        std::vector<CurrentArchive> table;
        for (int i = 0; i < 14; ++i)
            table.push_back({QStringLiteral("Benutzer %1").arg(i), recorded(i, 0).userId, pathOf(i),
                             100 + i + i * 59.0, 0});
        const TopTenArchivesData fromTable = buildTopTenArchives(table, &db, kServer, 4, kNow);
        QCOMPARE(*fromTable.largest.front().sincePrevious, 13.0);
        QVERIFY(fromTable.figuresFrom.contains(QStringLiteral("Tabelle")));
    }

    void youngHistoryComparesWithTheOldestRun()
    {
        history::HistoryDatabase db(m_tmp.filePath(QStringLiteral("h2.sqlite")));
        QVERIFY(db.open());
        QVERIFY(db.record(runOn(4, 5)));
        QVERIFY(db.record(runOn(1, 5)));
        const TopTenArchivesData data = buildTopTenArchives({}, &db, kServer, 0, kNow);
        QVERIFY(data.growthSpan.startsWith(QStringLiteral("seit ")));
        QCOMPARE(*data.largest.front().growth, 4.0 * 3);
    }

    void withoutHistoryTheTableSpeaksAndThePdfSaysWhy()
    {
        PDF_TOOLS_OR_SKIP();
        std::vector<CurrentArchive> table;
        for (int i = 0; i < 3; ++i)
            table.push_back({QStringLiteral("Müller, Hans %1").arg(i), QStringLiteral("0000000%1").arg(i), pathOf(i),
                             10.0 * (i + 1), 5});
        const TopTenArchivesData data = buildTopTenArchives(table, nullptr, kServer, 0, kNow);
        QCOMPARE(names(data.largest), QStringList({"02", "01", "00"}));
        QVERIFY(!data.largest.front().sincePrevious);
        QVERIFY(data.growing.empty());

        const QString file = m_tmp.filePath(QStringLiteral("no-history.pdf"));
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(file);
        QVERIFY(paintTopTenArchives(data, pdf, nullptr, QLocale(QLocale::German)));
        const QString text = pdf::pages(file).join(QLatin1Char('\n'));
        QVERIFY2(text.contains(QStringLiteral("Keine Historie verfügbar")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Müller, Hans 2")));
        QVERIFY(text.contains(QStringLiteral("Noch keine Läufe aufgezeichnet.")));
    }

    void reportPrintsBothListsAndTheChart()
    {
        PDF_TOOLS_OR_SKIP();
        history::HistoryDatabase db(m_tmp.filePath(QStringLiteral("h3.sqlite")));
        QVERIFY(db.open());
        for (int back : {60, 40, 20, 1})
            QVERIFY2(db.record(runOn(back, 14)), qPrintable(db.error()));
        const TopTenArchivesData data = buildTopTenArchives({}, &db, kServer, 0, kNow);
        const QString file = m_tmp.filePath(QStringLiteral("top-ten.pdf"));
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(file);
        QVERIFY(paintTopTenArchives(data, pdf, nullptr, QLocale(QLocale::German), QDate(2026, 12, 10)));
        const QStringList lines = pdf::lines(pdf::pages(file).join(QLatin1Char('\n')));
        QVERIFY2(lines.contains(QStringLiteral("Die zehn größten Archive")), qPrintable(lines.join('\n')));
        QVERIFY(lines.contains(QStringLiteral("Die zehn Archive mit dem größten Zuwachs (in 30 Tagen)")));
        QVERIFY(lines.contains(QStringLiteral("Größe des Servers (letzte zwölf Monate)")));
        // Largest archive: 13 at 880 MB and 1760 messages, +247 MB since 20 days back, +507 MB since 40 days back.
        QVERIFY2(lines.contains(QStringLiteral("1 Benutzer 13 00000013 880 1760 +247 +507")),
                 qPrintable(lines.join('\n')));
        pdf::pageImage(file, 1);  // for a person to look at
    }

private:
    QTemporaryDir m_tmp;
};

QTEST_MAIN(TopTenArchivesTest)
#include "tst_top_ten_archives.moc"
