// The generator's figures file: what is written is read back, and nothing is written that is not read.

#include "archive_generator.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Every figure a value of its own, so that two figures mixed up show.
gen::ArchiveFigures distinctFigures()
{
    gen::ArchiveFigures f;
    f.size = 1000001;
    f.sizeRoot = 1000002;
    f.anzahlNachrichten = 3.25;
    f.anzahlNachrichtenG = 4.5;
    f.anhang = 5;
    f.anhangG = 6;
    f.anhangSizeRoot = 1000007;
    f.anhangSizeG = 1000008;
    f.newest = 1700000009;
    f.oldest = 900000010;
    f.entries = 11;
    f.folders = 12;
    f.interimPublications = 13;
    f.typesRoot = {{".PDF", 14}};
    f.typesTree = {{".PDF", 15}, {".DOC", 16}};
    return f;
}

class FiguresFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_tmp.isValid()); }
    std::filesystem::path file() const { return std::filesystem::path(m_tmp.path().toStdString()) / "f.json"; }

    QJsonObject writtenObject() const
    {
        QFile in(QString::fromStdString(file().string()));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(in.readAll()).object().value("A").toObject();
    }
    void writeObject(const QJsonObject& o) const
    {
        QFile out(QString::fromStdString(file().string()));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(QJsonDocument(QJsonObject {{"A", o}}).toJson());
    }

    QTemporaryDir m_tmp;
};

TEST_F(FiguresFile, EveryFigureComesBackAsWritten)
{
    gen::ArchiveFigures noDates = distinctFigures();
    noDates.newest.reset();
    noDates.oldest.reset();
    const std::map<std::string, gen::ArchiveFigures> written {{"A", distinctFigures()}, {"B", noDates}};
    ASSERT_TRUE(gen::writeFigures(file(), written));
    const auto read = gen::readFigures(file());
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(*read == written);
}

TEST_F(FiguresFile, EveryKeyWrittenIsOneTheReaderNeeds)
{
    ASSERT_TRUE(gen::writeFigures(file(), {{"A", distinctFigures()}}));
    const QJsonObject whole = writtenObject();
    ASSERT_FALSE(whole.isEmpty());
    for (const QString& key : whole.keys()) {
        SCOPED_TRACE(key.toStdString());
        QJsonObject without = whole;
        without.remove(key);
        writeObject(without);
        const auto read = gen::readFigures(file());
        // A key the reader does without was written for nothing, or is read under another name.
        EXPECT_TRUE(!read || read->at("A") != distinctFigures()) << "the figures read the same without it";
    }
}

}  // namespace
