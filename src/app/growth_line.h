#pragma once

#include "history/history_types.h"

#include <QLocale>
#include <QObject>
#include <QString>

#include <optional>

class QLabel;
class QWidget;

// The "Zuwachs:" line of the "Info" group: ‹+12,34 MB seit 03.12.2026, +80,1 MB in 30 Tagen›, in the panel's
// number pattern; the second part only when a run 30 days old holds the archive.
QString growthLineText(const history::ArchiveGrowth& growth, const QLocale& locale = QLocale());

// The line's two labels below "Größe gesamt:", made in code so the window's form stays as it is. Owned by
// the group, like its labels.
class GrowthLine : public QObject {
    Q_OBJECT
public:
    // `group` is the "Info" group; `top` the line's top inside it.
    GrowthLine(QWidget* group, int top);
    // Shows the growth, or nothing at all.
    void show(const std::optional<history::ArchiveGrowth>& growth);

private:
    QLabel* m_caption;
    QLabel* m_value;
};
