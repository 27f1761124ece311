#include "app/cell_text.h"

#include "app/number_format.h"
#include "engine/tob_data.h"

QString dateCellText(const QString& stored, const CellFormats& formats)
{
    if (stored.isEmpty() || formats.showUhrzeit)
        return stored;
    const QDateTime parsed = formats.dates.parse(stored);
    if (!parsed.isValid())
        return stored;
    return parsed.date().toString(QStringLiteral("dd.MM.yyyy"));
}

QString cellText(const TTobData& data, int level, int column, const CellFormats& formats)
{
    const QLocale& l = formats.locale;
    const bool user = level == 0;
    switch (column) {
    case ColUser:
        return data.TobitUser;
    case ColSize:
        return formatTable(double(data.Size), l) + QStringLiteral(" (") + formatTable(double(data.SizeRoot), l) +
               QStringLiteral(") MB");
    case ColUserId:
        return user ? data.UserID : QString();
    case ColMessages:
        return formatTable(user ? data.AnzahlNachrichtenG : data.AnzahlNachrichten, l);
    case ColAttachments:
        return formatTable(user ? data.AnhangG : data.Anhang, l);
    case ColAttachmentSize:
        return formatTable(data.AnhangSize, l) + QStringLiteral(" MB");
    case ColNewest:
        return dateCellText(data.Neueste, formats);
    case ColOldest:
        return dateCellText(data.Aelteste, formats);
    default:
        return {};
    }
}
