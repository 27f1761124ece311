#pragma once

#include "engine/date_text.h"

#include <QLocale>
#include <QString>

struct TTobData;

// Everything a cell text depends on besides the record and its level.
struct CellFormats {
    QLocale locale;
    DateTextFormat dates;
    bool showUhrzeit = true;

    explicit CellFormats(const QLocale& l = QLocale(), bool withTime = true)
        : locale(l), dates(l), showUhrzeit(withTime)
    {
    }
};

enum ArchiveColumn {
    ColUser = 0,
    ColSize,
    ColUserId,
    ColMessages,
    ColAttachments,
    ColAttachmentSize,
    ColNewest,
    ColOldest,
    ColumnCount
};

// The text of one cell: level 0 is a user row, 1 or more a sub-archive row.
QString cellText(const TTobData& data, int level, int column, const CellFormats& formats);

// A stored date text as the table shows it: unchanged with time, else as dd.MM.yyyy.
QString dateCellText(const QString& stored, const CellFormats& formats);
