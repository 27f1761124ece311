#pragma once

// A file system of a few KiB for tests that need a disk to run full: a tmpfs mounted on a temporary folder
// where the test may mount one (as root, with the right to mount), else nothing and the reason to skip.
// Shared by the tests of every layer that writes files.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>
#endif

class TinyFileSystem {
public:
    explicit TinyFileSystem(qint64 bytes)
    {
        if (!m_dir.isValid()) {
            m_whyNot = "no temporary folder to mount on";
            return;
        }
#ifdef _WIN32
        Q_UNUSED(bytes);
        m_whyNot = "Windows has no small file system a test could mount; this test needs a disk that runs full";
#else
        if (::geteuid() != 0) {
            m_whyNot = "a small file system can only be mounted as root; this test needs a disk that runs full";
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
        if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    options.constData())
            != 0) {
            m_whyNot = std::string("mounting a tmpfs failed: ") + std::strerror(errno);
            return;
        }
        m_mounted = true;
#endif
    }
    ~TinyFileSystem()
    {
#ifndef _WIN32
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
#endif
    }
    TinyFileSystem(const TinyFileSystem&) = delete;
    TinyFileSystem& operator=(const TinyFileSystem&) = delete;

    bool mounted() const { return m_mounted; }
    const std::string& whyNot() const { return m_whyNot; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Fills what is free with the file `name`, so the next write of any size fails with ENOSPC.
    void fill(const QString& name = QStringLiteral(".filler")) const
    {
        QFile filler(filePath(name));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
            return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.resize(filler.size());  // keeps only what reached the disk
        filler.close();
        QFile tail(filePath(name + QStringLiteral(".tail")));
        if (tail.open(QIODevice::WriteOnly)) {
            while (tail.write("t", 1) == 1 && tail.flush()) {
            }
        }
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    std::string m_whyNot;
};
