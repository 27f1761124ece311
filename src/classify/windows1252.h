#pragma once

#include <QByteArray>
#include <QString>

namespace classify {

// Text in Windows-1252, the code page the server's index files are written in, whatever this machine uses.
// 0x80..0x9F are the code page's own characters ("€" is 0x80), not Latin-1's control codes; the five bytes
// the code page leaves unassigned map to the control codes of the same number, as Windows maps them.
QString fromWindows1252(const QByteArray& bytes);
QString fromWindows1252(const char* data, qsizetype size);
// Characters the code page cannot hold become "?".
QByteArray toWindows1252(const QString& text);

}  // namespace classify
