#pragma once

// What the program tests share: the one application object of the test program (QProcess needs it) and
// what a run of arvelo-stat gives back.

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

namespace clitest {

// Made on first use and kept for the whole test program.
inline QCoreApplication& app()
{
    static int argc = 1;
    static char name[] = "test_cli";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    return *QCoreApplication::instance();
}

struct StatResult {
    int exitCode = -1;  // -1 when the program crashed
    QByteArray out;
    QByteArray err;
};

// Waits for the started program to end and takes what it wrote.
inline StatResult finished(QProcess& p, int ms = 120000)
{
    EXPECT_TRUE(p.waitForFinished(ms)) << "arvelo-stat did not end: " << p.errorString().toStdString();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

}  // namespace clitest
