#include "server_test_support.h"

#include "server/standin/standin_server.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace servertest {

QString handmadeServer()
{
    return QStringLiteral(ARVELO_SERVER_TEST_DATA "/buero");
}

bool copyTree(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target))
                return false;
        } else if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(source, target)) {
            return false;
        }
    }
    return true;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

std::shared_ptr<Account> logOn(const QString& folder)
{
    const auto api = standin::createStandinApi(folder);
    api->PrepareLogon(1);
    return api->Logon({}, {}, {}, {}, {}, QStringLiteral("AUTH"));
}

QString logOnFailure(const QString& folder)
{
    try {
        if (!logOn(folder))
            return QStringLiteral("(no account)");
    } catch (const ServerError& e) {
        return e.reason();
    }
    return {};
}

ScopedEnv::ScopedEnv(const char* name, const std::optional<QByteArray>& value) : m_name(name)
{
    if (qEnvironmentVariableIsSet(name))
        m_old = qgetenv(name);
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (m_old)
        qputenv(m_name.constData(), *m_old);
    else
        qunsetenv(m_name.constData());
}

}  // namespace servertest
