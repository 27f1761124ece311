#include "platform/excerpt.h"
#include "platform/regular_file.h"
#include "special_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::OverLimit;
using platform::readRegularFile;

namespace {

class RegularFile : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
        return path;
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(RegularFile, ReadsUpToTheLimitAndRefusesOrCutsBeyond)
{
    const QString path = write(QStringLiteral("a.txt"), "0123456789");
    EXPECT_EQ(readRegularFile(path, 10, OverLimit::Refuse), QByteArray("0123456789"));
    EXPECT_EQ(readRegularFile(path, 4, OverLimit::Cut), QByteArray("0123"));

    QString reason;
    EXPECT_FALSE(readRegularFile(path, 9, OverLimit::Refuse, &reason));
    EXPECT_EQ(reason, QStringLiteral("zu groß: 10 Bytes, erlaubt sind höchstens 9 Bytes"));

#ifndef _WIN32  // there QFile::link makes a shortcut, a file of its own
    // Through a link, a regular file is fine.
    ASSERT_TRUE(QFile::link(path, dir.filePath(QStringLiteral("link"))));
    EXPECT_EQ(readRegularFile(dir.filePath(QStringLiteral("link")), 100, OverLimit::Refuse), QByteArray("0123456789"));
#endif

    EXPECT_FALSE(readRegularFile(dir.filePath(QStringLiteral("fehlt")), 100, OverLimit::Cut, &reason));
    EXPECT_FALSE(reason.isEmpty());
}

TEST_F(RegularFile, SpecialFilesAreRefusedWithoutWaiting)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has neither FIFOs nor /dev/zero";
#else
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_TRUE(specialfiles::makeFifo(fifo));
    const QString zero = dir.filePath(QStringLiteral("zero"));
    ASSERT_TRUE(specialfiles::linkToDevZero(zero));

    const struct {
        QString path;
        const char* reason;
    } cases[] = {
        {fifo, "keine gewöhnliche Datei, sondern eine benannte Pipe"},
        {zero, "keine gewöhnliche Datei, sondern ein Gerät"},
        {dir.path(), "keine Datei, sondern ein Ordner"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QString reason;
        std::optional<QByteArray> read;
        EXPECT_TRUE(specialfiles::endsWithoutWaiting(
            [&] { read = readRegularFile(c.path, 1024, OverLimit::Cut, &reason); }, fifo));
        EXPECT_FALSE(read);
        EXPECT_EQ(reason, QString::fromUtf8(c.reason));

        QFile file;
        EXPECT_FALSE(platform::openRegularFile(file, c.path));
        EXPECT_FALSE(file.isOpen());
    }
#endif
}

TEST(Excerpt, CutsAfterEightyCharactersWithAnEllipsis)
{
    const QString eighty(80, QLatin1Char('x'));
    EXPECT_EQ(platform::excerpt(eighty), eighty);
    EXPECT_EQ(platform::excerpt(eighty + QLatin1Char('y')), eighty + QChar(0x2026));
    EXPECT_EQ(platform::excerpt(QString()), QString());

    // A character outside the Basic Multilingual Plane is kept whole or left out whole.
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
    const QString text = QString(79, QLatin1Char('x')) + clef + QStringLiteral("zz");
    EXPECT_EQ(platform::excerpt(text), QString(79, QLatin1Char('x')) + QChar(0x2026));
}
