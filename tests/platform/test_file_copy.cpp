#include "platform/file_copy.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

#include <unistd.h>

namespace {

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

}  // namespace

// Larger than the chunk of the reading-and-writing path, so both paths go round more than once.
constexpr int kSize = 600 * 1024 + 17;

TEST(CopyRest, FromEachPositionOnIntoTheTargetWhereItStands)
{
    QTemporaryDir dir;
    const QByteArray data = pattern(kSize);
    const QString sourcePath = dir.filePath(QStringLiteral("source"));
    {
        QFile f(sourcePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(data), data.size());
    }

    for (const int skip : {0, 1, 4096, 300000, kSize}) {
        SCOPED_TRACE(skip);
        QFile source(sourcePath);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        // Read through QFile's buffer first: the copy must start where the reader stands, not where the
        // descriptor does.
        ASSERT_EQ(source.read(skip).size(), skip);
        QFile target(dir.filePath(QStringLiteral("target")));
        ASSERT_TRUE(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(target.write("head"), 4);  // still in QFile's buffer

        QString reason;
        ASSERT_TRUE(platform::copyRest(source, target, &reason)) << reason.toStdString();
        EXPECT_EQ(source.pos(), kSize);
        EXPECT_TRUE(source.atEnd());
        EXPECT_EQ(target.pos(), 4 + kSize - skip);
        ASSERT_EQ(target.write("tail"), 4);
        target.close();
        EXPECT_EQ(contents(target.fileName()), "head" + data.mid(skip) + "tail");
    }
}

TEST(CopyRest, FromAPipeTheBytesGoThroughTheProgram)
{
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: fills a pipe with pipe() and write()";
#else
    QTemporaryDir dir;
    const QByteArray data = pattern(kSize);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::thread writer([&] {
        for (qsizetype done = 0; done < data.size();) {
            const ssize_t put = ::write(fds[1], data.constData() + done, size_t(data.size() - done));
            if (put <= 0)
                break;
            done += put;
        }
        ::close(fds[1]);
    });
    QFile source;
    ASSERT_TRUE(source.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    QFile target(dir.filePath(QStringLiteral("target")));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    const bool copied = platform::copyRest(source, target);
    writer.join();
    ASSERT_TRUE(copied);
    target.close();
    EXPECT_EQ(contents(target.fileName()), data);
#endif
}
