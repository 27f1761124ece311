#include "app/detail_panel.h"

#include "app/number_format.h"
#include "engine/tob_data.h"

QString megabytesAndGigabytes(double megabytes, const QLocale& locale)
{
    return formatDetail(megabytes, locale) + QStringLiteral(" MByte (") + formatDetail(megabytes / 1024, locale)
        + QStringLiteral(" GB)");
}

QString totalsText(double megabytes, const QLocale& locale)
{
    return formatTotal(megabytes, locale) + QStringLiteral(" MByte (") + formatTotal(megabytes / 1024, locale)
        + QStringLiteral(" GByte)");
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
