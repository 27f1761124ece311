#include "fuzz_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace fuzz {

const QString& scratchFolder()
{
    // Deleted at exit by the static's destructor; libFuzzer ends a normal run through exit().
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        auto d = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/arvelo-fuzz-XXXXXX"));
        if (!d->isValid()) {
            std::fprintf(stderr, "no scratch folder: %s\n", qPrintable(d->errorString()));
            std::abort();
        }
        return d;
    }();
    static const QString path = dir->path();
    return path;
}

QString writeScratch(const QString& name, const std::uint8_t* data, std::size_t size)
{
    const QString path = scratchFolder() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        std::abort();
    }
    return path;
}

QString utf16Text(const std::uint8_t* data, std::size_t size)
{
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text[qsizetype(i / 2)] = QChar(char16_t(data[i] | (data[i + 1] << 8)));
    return text;
}

void fail(const char* file, int line, const char* condition, const QString& detail)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n  %s\n", file, line, condition,
                 detail.toUtf8().constData());
    std::abort();
}

}  // namespace fuzz
