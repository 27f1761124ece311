#include "app/detail_panel.h"

#include "app/number_format.h"
#include "engine/tob_data.h"

namespace {

// "<M> MByte (<M/1024> <unit>)", both numbers in one pattern.
QString megabytesThenGigabytes(double megabytes, QString (*format)(double, const QLocale&), const char* unit,
                               const QLocale& locale)
{
    return format(megabytes, locale) + QStringLiteral(" MByte (") + format(megabytes / 1024, locale)
        + QLatin1Char(' ') + QLatin1String(unit) + QLatin1Char(')');
}

}  // namespace

QString megabytesAndGigabytes(double megabytes, const QLocale& locale)
{
    return megabytesThenGigabytes(megabytes, formatDetail, "GB", locale);
}

QString totalsText(double megabytes, const QLocale& locale)
{
    return megabytesThenGigabytes(megabytes, formatTotal, "GByte", locale);
}

DetailTexts detailTexts(const TTobData& r, const QString& name, const QLocale& locale)
{
    DetailTexts t;
    const double size = double(r.Size);
    const double root = double(r.SizeRoot);
    t.sizeGesamt = megabytesAndGigabytes(size, locale);
    t.spTobit = megabytesAndGigabytes(root, locale);
    t.spTobit2 = QStringLiteral(" / davon ") + formatDetail(r.AnhangSizeG, locale)
        + QStringLiteral(" MB an Dateianhängen");
    t.sizeUnterarchive = megabytesAndGigabytes(size - root, locale);
    t.archivId = r.Pfad;
    t.pfad = r.FullPath;
    t.title = name;
    t.rest = size - r.AnhangSizeG;
    t.anhaenge = r.AnhangSizeG;
    return t;
}

DetailTexts emptyDetailTexts()
{
    const QString none = QStringLiteral("...");
    DetailTexts t{none, none, none, none, none, none, QStringLiteral("Archivname")};
    t.slices = false;
    return t;
}
