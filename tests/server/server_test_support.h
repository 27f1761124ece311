#pragma once

#include "server/udavid_api.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <ostream>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

// Helpers shared by the server tests: server folders in temporary places and log-on through the stand-in.
namespace servertest {

// The hand-written server folder under tests/server/data.
QString handmadeServer();

// Copies a folder tree (files and folders) to `to`, which must not exist yet.
bool copyTree(const QString& from, const QString& to);

// Writes bytes to a file, creating its folders.
void writeFile(const QString& path, const QByteArray& bytes);

// Logs on to the stand-in server in `folder` the way LogonAccount does, without going through the
// environment.
std::shared_ptr<Account> logOn(const QString& folder);

// The reason a log-on on `folder` fails with; empty when it succeeds.
QString logOnFailure(const QString& folder);

// Sets an environment variable for the lifetime of the object and restores the old state after it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_old;
};

}  // namespace servertest
