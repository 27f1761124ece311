#pragma once

// Running arvelo-stat as "nobody", whom a mode-000 folder keeps out when the tests run as root (root reads
// every folder). The build folder may lie where nobody cannot enter (root's home is mode 0700), so the
// program is started from a copy in a temporary folder anyone may enter. It links no library of the build
// folder (all of ours are static), so the copy alone runs.

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <optional>

#ifdef _WIN32

namespace clitest {

// Windows has no user "nobody" to become: a test that needs one skips with this problem.
class NobodyProgram {
public:
    explicit NobodyProgram(const QString&) {}
    QString path() const { return {}; }
    QString problem() const { return QStringLiteral("Windows has no user \"nobody\" a program could run as"); }
    bool reachable(const QString&) const { return false; }
};

}  // namespace clitest

#else

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace clitest {

constexpr uid_t kNobody = 65534;

// Gives up root for good; for a child process only.
inline bool becomeNobody()
{
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

// Whether nobody may reach `path` the way `mode` says (access(2)); asked in a child process.
inline bool nobodyMay(const QString& path, int mode)
{
    const QByteArray name = QFile::encodeName(path);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(becomeNobody() && ::access(name.constData(), mode) == 0 ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The program as nobody may start it: itself where nobody may, otherwise a copy. `problem` says why neither
// works; the folders the program is to read must be reachable too (see `reachable`).
class NobodyProgram {
public:
    explicit NobodyProgram(const QString& program) : m_path(program)
    {
        if (!nobodyMay(QStringLiteral("/"), X_OK)) {
            m_problem = QStringLiteral("running as root and cannot give up root: a mode-000 folder keeps nobody out");
            return;
        }
        if (nobodyMay(program, X_OK))
            return;
        m_copy.emplace();
        m_path = m_copy->filePath(QFileInfo(program).fileName());
        if (!m_copy->isValid() || !QFile::copy(program, m_path)
            || ::chmod(QFile::encodeName(m_copy->path()).constData(), 0755) != 0
            || ::chmod(QFile::encodeName(m_path).constData(), 0755) != 0 || !nobodyMay(m_path, X_OK))
            m_problem = QStringLiteral("nobody can start neither %1 nor a copy in %2").arg(program, m_copy->path());
    }

    const QString& path() const { return m_path; }
    const QString& problem() const { return m_problem; }

    // Gives the reason when nobody cannot enter `folder` (a temporary folder inside a private one).
    bool reachable(const QString& folder)
    {
        if (m_problem.isEmpty() && !nobodyMay(folder, R_OK | X_OK))
            m_problem = QStringLiteral("nobody cannot enter %1; set TMPDIR to a folder others may enter").arg(folder);
        return m_problem.isEmpty();
    }

private:
    QString m_path;
    std::optional<QTemporaryDir> m_copy;
    QString m_problem;
};

}  // namespace clitest

#endif  // _WIN32
