#pragma once

#include "history/history_types.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

// What arvelo-stat writes from the history, in the conventions of its measured output.

// The columns of --growth, in their order.
const QStringList& growthColumns();
// The columns of --runs.
const QStringList& runColumns();

// A run's start as ISO 8601 local time without a zone, as the measured dates are written.
QString runTimeText(const QDateTime& started);

// --growth: one line (CSV) or object (JSON) per archive of the latest run. An archive the reference run does
// not hold has empty (CSV) or null (JSON) "Before" fields and growth.
QByteArray growthCsv(const history::Growth& growth);
QByteArray growthJson(const history::Growth& growth);

// --runs: one line or object per run, in the order given (newest first).
QByteArray runsCsv(const std::vector<history::RunInfo>& runs);
QByteArray runsJson(const std::vector<history::RunInfo>& runs);
