#pragma once

// What the programs that time a generated tree against a command-line tool share: their command line (the
// folder holding BENCH/ and the number of rounds), running the tool, and the median of the rounds. Messages
// begin with the application's name.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace bench {

struct TreeArgs {
    std::filesystem::path data;  // holds BENCH/
    int rounds = 0;
};

// --data DIR and --rounds N (`defaultRounds` when not given); nothing, with the reason on stderr, when the
// command line is wrong.
inline std::optional<TreeArgs> treeArgs(QCoreApplication& app, const QString& description, const QString& roundsHelp,
                                        int defaultRounds)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    parser.addOption({QStringLiteral("data"), QStringLiteral("folder holding BENCH/"), QStringLiteral("dir")});
    parser.addOption({QStringLiteral("rounds"), roundsHelp, QStringLiteral("n")});
    parser.process(app);
    const QByteArray program = QCoreApplication::applicationName().toLocal8Bit();
    if (!parser.isSet("data")) {
        std::fprintf(stderr, "%s: --data is needed (see --help)\n", program.constData());
        return std::nullopt;
    }
    bool ok = true;
    const int rounds = parser.isSet("rounds") ? parser.value("rounds").toInt(&ok) : defaultRounds;
    if (!ok || rounds < 1) {
        std::fprintf(stderr, "%s: --rounds wants a whole number >= 1\n", program.constData());
        return std::nullopt;
    }
    return TreeArgs {parser.value("data").toStdString(), rounds};
}

// Runs a command found on PATH with its output discarded; the wall time in seconds, negative when it could not
// start or failed (`what` names it then).
inline double timeCommand(std::vector<std::string> args, const std::string& what)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray program = QCoreApplication::applicationName().toLocal8Bit();
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "%s: cannot start %s\n", program.constData(), argv[0]);
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: %s failed\n", program.constData(), what.c_str());
        return -1;
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace bench
