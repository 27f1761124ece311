#include "history/history_types.h"

#include "engine/date_text.h"
#include "engine/tob_data.h"

namespace history {

ArchiveFigures figuresOf(const TTobData& record, int level, const DateTextFormat& dates)
{
    ArchiveFigures f;
    f.level = level;
    f.name = record.TobitUser;
    f.userId = record.UserID;
    f.path = record.Pfad;
    f.fullPath = record.FullPath;
    f.Size = double(record.Size);
    f.SizeRoot = double(record.SizeRoot);
    f.AnzahlNachrichten = record.AnzahlNachrichten;
    f.AnzahlNachrichtenG = record.AnzahlNachrichtenG;
    f.Anhang = record.Anhang;
    f.AnhangG = record.AnhangG;
    f.AnhangSize = record.AnhangSize;
    f.AnhangSizeG = record.AnhangSizeG;
    f.newest = dates.isoText(record.Neueste);
    f.oldest = dates.isoText(record.Aelteste);
    return f;
}

}  // namespace history
