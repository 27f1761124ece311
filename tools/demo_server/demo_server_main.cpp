// arvelo-demo-server: builds a demo server folder for Arvelo (see demo_server.h).

#include "demo_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <stdexcept>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ARVELO_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Builds a demo server folder for Arvelo."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption outOpt(QStringLiteral("out"), QStringLiteral("Folder to create."), QStringLiteral("DIR"));
    const QCommandLineOption seedOpt(QStringLiteral("seed"), QStringLiteral("Random seed."), QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption usersOpt(QStringLiteral("users"), QStringLiteral("Number of users."), QStringLiteral("N"), QStringLiteral("48"));
    const QCommandLineOption leanOpt(QStringLiteral("lean"), QStringLiteral("Tiny archives, no sub-archives."));
    const QCommandLineOption archivesOpt(QStringLiteral("archives"), QStringLiteral("Users with large archives only."), QStringLiteral("N"));
    const QCommandLineOption entriesOpt(QStringLiteral("entries"), QStringLiteral("At least this many entries per archive."), QStringLiteral("M"), QStringLiteral("40000"));
    parser.addOptions({outOpt, seedOpt, usersOpt, leanOpt, archivesOpt, entriesOpt});
    parser.process(app);
    if (!parser.isSet(outOpt)) {
        std::fprintf(stderr, "arvelo-demo-server: --out DIR is required\n");
        return 64;
    }

    demo::DemoOptions options;
    options.seed = parser.value(seedOpt).toUInt();
    options.users = parser.value(usersOpt).toInt();
    options.lean = parser.isSet(leanOpt);
    if (parser.isSet(archivesOpt)) {
        options.archives = parser.value(archivesOpt).toInt();
        options.entries = parser.value(entriesOpt).toInt();
    }
    const QString out = parser.value(outOpt);
    try {
        const int users = demo::buildDemoServer(out, options);
        std::printf("Demo server written to %s (%d users)\n", qPrintable(out), users);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "arvelo-demo-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
