#pragma once

// What the window tests share: a private program folder, archives generated on disk behind an in-memory
// server, message boxes closed and recorded, and the shell launcher replaced.

#include "app/tform1.h"
#include "fake_server.h"
#include "gen/archive_generator.h"
#include "platform/program_folder.h"
#include "platform/shell_actions.h"
#include "platform/unc_path.h"
#include "ui_tform1.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <map>

// Closes every message box that opens and keeps what it said.
class BoxCloser : public QObject {
public:
    struct Box {
        QString text;
        QString detailedText;
    };
    QList<Box> boxes;

    BoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes.append({box->text(), box->detailedText()});
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(20);
    }

private:
    QTimer m_timer;
};

// An in-memory server whose users' archives are generated folders below shares/SRV01/DAVID.
class ServerOnDisk {
public:
    ServerOnDisk() : state(std::make_shared<FakeServerState>())
    {
        platform::setProgramFolder(programDir.path());
        platform::setUncRoot(dir.filePath(QStringLiteral("shares")));
        state->root->name = QStringLiteral("Archiv");
        state->root->path = QStringLiteral("SRV01:DAVID\\ARCHIVE");
        installFakeServer(state);
        // The window's history goes with the test's folder, never into the user's data folder.
        qputenv("ARVELO_HISTORY", dir.filePath(QStringLiteral("history.sqlite")).toUtf8());
        platform::setShellLauncher([this](const platform::ShellCommand& c) { launched.append(c); });
    }
    ~ServerOnDisk()
    {
        setApiFactory(nullptr);
        platform::setShellLauncher(nullptr);
    }

    static QString idOf(int i) { return QStringLiteral("%1").arg(0xA000 + i, 8, 16, QLatin1Char('0')).toUpper(); }

    // A user with a generated archive of `messages` messages per folder; returns its archive.
    std::shared_ptr<FakeArchive> addUser(const QString& name, int messages = 5, std::uint64_t seed = 1)
    {
        const int i = int(state->root->subs.size());
        auto user = std::make_shared<FakeArchive>();
        user->name = name;
        user->path = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\") + idOf(i);
        user->fullPath = QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\") + idOf(i);
        figures[user->path] = generate(user->path, messages, seed + std::uint64_t(i));
        state->root->subs.append(user);
        return user;
    }

    std::shared_ptr<FakeArchive> addSub(const std::shared_ptr<FakeArchive>& parent, const QString& name,
                                        int messages = 3)
    {
        auto sub = std::make_shared<FakeArchive>();
        sub->name = name;
        // Kept beside the users' folders, so the user's own figures stay as generated.
        const QString id = parent->path.right(8) + QStringLiteral("_") + QString::number(parent->subs.size());
        sub->path = QStringLiteral("SRV01:DAVID\\ARCHIVE\\SUB\\") + id;
        sub->fullPath = QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\SUB\\") + id;
        figures[sub->path] = generate(sub->path, messages, 99 + std::uint64_t(parent->subs.size()));
        parent->subs.append(sub);
        return sub;
    }

    // Megabytes as the record holds them.
    static double mb(std::uint64_t bytes) { return double(bytes) / 1048576.0; }

    QTemporaryDir dir;
    QTemporaryDir programDir;
    std::shared_ptr<FakeServerState> state;
    std::map<QString, gen::ArchiveFigures> figures;
    QList<platform::ShellCommand> launched;

private:
    gen::ArchiveFigures generate(const QString& serverPath, int messages, std::uint64_t seed)
    {
        QString local = serverPath;
        local.replace(QLatin1Char(':'), QLatin1Char('/')).replace(QLatin1Char('\\'), QLatin1Char('/'));
        gen::ArchiveOptions o;
        o.messages = messages;
        o.attachments = messages;
        o.depth = 1;
        o.folders = 1;
        o.attachmentMax = 64 * 1024;
        return gen::generateArchive(dir.filePath(QStringLiteral("shares/") + local).toStdString(), o, seed);
    }
};

// Handles events until the condition holds or the time is up.
inline bool waitFor(const std::function<bool()>& done, int ms)
{
    return QTest::qWaitFor(done, ms);
}
