// arvelo-gen-tree: lays out archive trees for tests, benchmarks and demos, and writes the figures a
// scanner must find in them beside the tree.

#include "archive_generator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <exception>

namespace {

bool intOption(const QCommandLineParser& parser, const QString& name, int& target)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < 0) {
        std::fprintf(stderr, "arvelo-gen-tree: --%s wants a whole number >= 0\n", qPrintable(name));
        return false;
    }
    target = value;
    return true;
}

bool sizeOption(const QCommandLineParser& parser, const QString& name, std::uint64_t& target)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const qulonglong value = parser.value(name).toULongLong(&ok);
    if (!ok) {
        std::fprintf(stderr, "arvelo-gen-tree: --%s wants a byte count\n", qPrintable(name));
        return false;
    }
    target = value;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("arvelo-gen-tree"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lays out archive folders in the layout the Arvelo scanner reads, the same for the same seed, and "
        "writes the expected figures of each archive as JSON beside the tree (<root>.figures.json)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("root"), QStringLiteral("folder to create (must not hold the archives yet)"));
    const QList<QCommandLineOption> options = {
        {QStringLiteral("single"), QStringLiteral("write one archive at <root> instead of archives below it")},
        {QStringLiteral("archives"), QStringLiteral("number of archives below the root (60)"), QStringLiteral("n")},
        {QStringLiteral("seed"), QStringLiteral("seed (1)"), QStringLiteral("n")},
        {QStringLiteral("messages"), QStringLiteral(".001 files per folder, 430 bytes each in archive.dat (20)"), QStringLiteral("n")},
        {QStringLiteral("archive-dat-extra"), QStringLiteral("bytes added to every archive.dat (0)"), QStringLiteral("n")},
        {QStringLiteral("attachments"), QStringLiteral("attachment files per folder (10)"), QStringLiteral("n")},
        {QStringLiteral("root-attachments"), QStringLiteral("attachment files in the archive folder itself"), QStringLiteral("n")},
        {QStringLiteral("attachment-min"), QStringLiteral("smallest attachment, bytes (1024)"), QStringLiteral("bytes")},
        {QStringLiteral("attachment-max"), QStringLiteral("largest attachment, bytes (262144)"), QStringLiteral("bytes")},
        {QStringLiteral("other"), QStringLiteral("other files per folder (3)"), QStringLiteral("n")},
        {QStringLiteral("folders"), QStringLiteral("sub-folders per folder (2)"), QStringLiteral("n")},
        {QStringLiteral("depth"), QStringLiteral("levels of sub-folders (1)"), QStringLiteral("n")},
        {QStringLiteral("year-from"), QStringLiteral("first year of message times (1998)"), QStringLiteral("year")},
        {QStringLiteral("year-to"), QStringLiteral("last year of message times (2024)"), QStringLiteral("year")},
        {QStringLiteral("no-dot-folder"), QStringLiteral("leave out the .cache folder")},
        {QStringLiteral("no-index"), QStringLiteral("leave out the .$00 attachment index files")},
        {QStringLiteral("tricky"), QStringLiteral("add names at the edges of the rules (x.$A7, x.$01.001, y.$02 ...)")},
        {QStringLiteral("same"), QStringLiteral("every archive with the same counts (no variation)")},
        {QStringLiteral("real"), QStringLiteral("write real bytes instead of sparse files")},
        {QStringLiteral("figures"), QStringLiteral("where to write the expected figures (<root>.figures.json)"), QStringLiteral("file")},
    };
    parser.addOptions(options);
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        std::fprintf(stderr, "arvelo-gen-tree: give exactly one root folder (see --help)\n");
        return 2;
    }
    const std::filesystem::path root = positional.first().toStdString();

    gen::TreeOptions tree;
    gen::ArchiveOptions& a = tree.archive;
    int seed = 1;
    if (!intOption(parser, "archives", tree.archives) || !intOption(parser, "seed", seed) ||
        !intOption(parser, "messages", a.messages) || !intOption(parser, "archive-dat-extra", a.archiveDatExtra) ||
        !intOption(parser, "attachments", a.attachments) ||
        !intOption(parser, "root-attachments", a.rootAttachments) ||
        !sizeOption(parser, "attachment-min", a.attachmentMin) ||
        !sizeOption(parser, "attachment-max", a.attachmentMax) || !intOption(parser, "other", a.otherFiles) ||
        !intOption(parser, "folders", a.folders) || !intOption(parser, "depth", a.depth) ||
        !intOption(parser, "year-from", a.yearFrom) || !intOption(parser, "year-to", a.yearTo))
        return 2;
    a.dotFolder = !parser.isSet("no-dot-folder");
    a.attachmentIndex = !parser.isSet("no-index");
    a.trickyNames = parser.isSet("tricky");
    a.sparse = !parser.isSet("real");
    tree.vary = !parser.isSet("same");

    const std::filesystem::path figuresFile =
        parser.isSet("figures") ? std::filesystem::path(parser.value("figures").toStdString())
                                : gen::figuresPathFor(root);
    try {
        std::map<std::string, gen::ArchiveFigures> figures;
        if (parser.isSet("single"))
            figures[root.filename().string()] = gen::generateArchive(root, a, std::uint64_t(seed));
        else
            figures = gen::generateTree(root, tree, std::uint64_t(seed));
        if (!gen::writeFigures(figuresFile, figures)) {
            std::fprintf(stderr, "arvelo-gen-tree: cannot write %s\n", figuresFile.c_str());
            return 1;
        }
        std::uint64_t entries = 0;
        for (const auto& [name, f] : figures)
            entries += f.entries;
        std::printf("%zu archive(s), %llu entries, figures in %s\n", figures.size(),
                    static_cast<unsigned long long>(entries), figuresFile.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "arvelo-gen-tree: %s\n", e.what());
        return 1;
    }
    return 0;
}
