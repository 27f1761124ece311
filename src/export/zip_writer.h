#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

// One ZIP file written from files on disk. Each added file is deflated once, at the normal level, on a worker
// thread while the caller goes on; an entry whose deflated form would not be smaller is stored. With a
// password every entry is encrypted with the traditional PKWARE method. Nothing appears at the ZIP's path
// until close() has written the whole file under a temporary name beside it; a ZIP that is never closed
// leaves an existing file of that name as it was.
class ZipWriter {
public:
    struct Failure {
        QString file;
        QString reason;
    };

    // `password`: the bytes of the password (empty: no encryption). `workers`: deflating threads, 0 for one
    // per processor core (at most four).
    ZipWriter(const QString& path, const QByteArray& password, int workers = 0);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    QString path() const;

    // Adds a file by its full path; its entry name is that path without drive letter and root. A file that
    // does not exist adds nothing. A name added again replaces the earlier entry (the file was replaced too).
    void addFile(const QString& file);

    // Waits for the deflating, then writes the archive. Progress (0 to 100) is reported on the calling thread;
    // when that is the application's thread, its event loop keeps running meanwhile. False with a reason when
    // the ZIP could not be written.
    bool close(const std::function<void(int percent)>& progress, QString* reason = nullptr);

    // Files that existed but could not be read for the ZIP; they are not in it.
    QList<Failure> failures() const;
    // Entries written by close().
    int entryCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
