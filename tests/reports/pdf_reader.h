#pragma once

// Reads a PDF back as a person would see it: its text with poppler's pdftotext, its pages as pictures with
// pdftoppm, its page count with pdfinfo.

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

namespace pdf {

inline bool toolsFound()
{
    for (const char* tool : {"pdftotext", "pdfinfo", "pdftoppm"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    return true;
}

// A test that reads a PDF back skips where poppler's tools are missing (a Windows machine).
#define PDF_TOOLS_OR_SKIP()                                                                                     \
    do {                                                                                                        \
        if (!pdf::toolsFound())                                                                                 \
            QSKIP("reading the PDF back needs poppler's pdftotext, pdfinfo and pdftoppm, which are not found"); \
    } while (false)

inline QString run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of every page, laid out as printed; pages separated by form feeds.
inline QStringList pages(const QString& file)
{
    QStringList out = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")})
                          .split(QLatin1Char('\f'));
    if (!out.isEmpty() && out.last().trimmed().isEmpty())
        out.removeLast();
    return out;
}

// The lines of a text with runs of blanks made one blank, empty lines dropped.
inline QStringList lines(const QString& text)
{
    QStringList out;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.simplified();
        if (!line.isEmpty())
            out << line;
    }
    return out;
}

inline int pageCount(const QString& file)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(run(QStringLiteral("pdfinfo"), {file}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Page `page` (from 1) at the given resolution; saved beside the PDF for a person to look at.
inline QImage pageImage(const QString& file, int page, int dpi = 96)
{
    const QString base = file + QStringLiteral("-p") + QString::number(page);
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
                                     QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                     QString::number(page), QStringLiteral("-singlefile"), file, base});
    return QImage(base + QStringLiteral(".png"));
}

}  // namespace pdf
