#pragma once

// Stand-in server folders for the export tests, described compactly and written into a temporary folder.

#include "server/udavid_api.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace exporttest {

struct Msg {
    int kind = 2;
    QString title;
    QByteArray body;  // the e-mail or fax file's bytes; for kind 2 and 3
    QString url;      // for kind 8
    bool missingFile = false;  // the message file named in server.json is not there
};

struct Arch {
    QString name;
    QString path;
    QString fullPath;
    QList<Msg> messages = {};
    QList<Arch> subs = {};
};

inline Msg mail(const QString& title, const QByteArray& body) { return Msg{2, title, body, {}, false}; }
inline Msg fax(const QString& title, const QByteArray& body) { return Msg{3, title, body, {}, false}; }
inline Msg link(const QString& title, const QString& url) { return Msg{8, title, {}, url, false}; }
inline Msg other(int kind, const QString& title) { return Msg{kind, title, {}, {}, false}; }

// Writes server.json and the message files into `folder`; the archive root holds `users`.
void writeServer(const QString& folder, const QList<Arch>& users);

// Logs on to the stand-in server in `folder`.
std::shared_ptr<Account> logOn(const QString& folder);

// Every file below `folder` as "relative/path" (folders end in "/"), sorted.
QStringList listTree(const QString& folder);

QByteArray readBytes(const QString& file);
void writeBytes(const QString& file, const QByteArray& bytes);

// Bytes that deflate does not shrink.
QByteArray noise(int size, quint32 seed);
// Text that deflates well.
QByteArray prose(int size, quint32 seed);

// The programs that read a ZIP back independently of libzip (python3's zipfile, unzip, 7z) that this machine
// lacks, by name; empty when all are there. A Windows machine has none of them.
QString missingZipReaders();

// Runs a program; its exit code, standard output into `out` when given.
int run(const QString& program, const QStringList& arguments, QByteArray* out = nullptr,
        const QByteArray& input = {}, const QStringList& extraEnvironment = {});

}  // namespace exporttest
