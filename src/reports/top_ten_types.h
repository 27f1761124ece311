#pragma once

#include "history/history_types.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

class QPrinter;
class QWidget;

namespace reports {

// What "Top-Ten Dateitypen (Anhang)" shows.
struct TopTenTypesData {
    std::vector<history::TypeTotal> top;  // the ten most frequent types, most attachments first
    qint64 restCount = 0;                 // attachments of every other type
    int restTypes = 0;                    // how many other types
    qint64 total = 0;                     // attachments of all types
    int archives = 0;                     // archives scanned
    int failed = 0;                       // archives whose index files could not be read
    bool withSubArchives = true;
};

// Adds up the archives' counts (nothing for an archive whose scan failed). Equal counts: the key first met.
TopTenTypesData buildTopTenTypes(const std::vector<std::optional<std::vector<history::TypeTally>>>& archives,
                                 bool withSubArchives);

// The share of all attachments as "12,3 %".
QString shareText(qint64 count, qint64 total, const QLocale& locale);

bool paintTopTenTypes(const TopTenTypesData& data, QPrinter& printer, QString* error,
                      const QLocale& locale = QLocale(), const QDate& date = QDate::currentDate());

void showTopTenTypes(const TopTenTypesData& data, QWidget* parent);

}  // namespace reports
