#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace clitest {

// An RFC 4180 reader written for the test: records of fields, quotes doubled inside quoted fields.
inline std::vector<QStringList> readCsv(const QByteArray& bytes)
{
    std::vector<QStringList> records;
    const QString text = QString::fromUtf8(bytes);
    QStringList record;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            EXPECT_TRUE(field.isEmpty()) << "quote inside an unquoted field";
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            record.append(field);
            field.clear();
        } else if (c == QLatin1Char('\r')) {
            EXPECT_TRUE(i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) << "lone CR outside quotes";
            record.append(field);
            field.clear();
            records.push_back(record);
            record.clear();
            ++i;
        } else {
            EXPECT_NE(c, QLatin1Char('\n')) << "LF without CR outside quotes";
            field += c;
        }
    }
    EXPECT_FALSE(quoted);
    EXPECT_TRUE(record.isEmpty() && field.isEmpty()) << "last line without CRLF";
    return records;
}

}  // namespace clitest
