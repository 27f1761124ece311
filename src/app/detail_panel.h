#pragma once

#include <QLocale>
#include <QString>

struct TTobData;

// The texts and pie values of the "Info" group for one selected row.
struct DetailTexts {
    QString sizeGesamt;        // lblSizeGesamt
    QString spTobit;           // lblSpTobit: the archive folder itself
    QString spTobit2;          // lblSpTobit2: the attachment note after the total
    QString sizeUnterarchive;  // lblSizeUnterarchive
    QString archivId;          // lblArchivID: the server path
    QString pfad;              // lblPfad: the full path
    QString title;             // the pie chart's title: the row's name
    double rest = 0;           // slice "Rest"
    double anhaenge = 0;       // slice "Anhänge"
    bool slices = true;        // false: the chart has none
};

DetailTexts detailTexts(const TTobData& record, const QString& name, const QLocale& locale = QLocale());

// The panel with no row to show, as the window starts: "..." in every label, the chart titled "Archivname"
// without slices.
DetailTexts emptyDetailTexts();

// "<M> MByte (<M/1024> GB)" in the panel's number pattern.
QString megabytesAndGigabytes(double megabytes, const QLocale& locale = QLocale());
// "<M> MByte (<M/1024> GByte)" in the totals' number pattern, for the sums of "Zusammenfassung".
QString totalsText(double megabytes, const QLocale& locale = QLocale());
