#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The statistics of one archive as the table shows them: its identity from the server and the figures
// measured on disk. Sizes are megabytes of 1048576 bytes; message counts are real numbers (index size / 430).
struct TTobData {
    long double Size = 0;            // whole tree
    long double SizeRoot = 0;        // entries directly in the archive folder
    double AnzahlNachrichten = 0;    // archive folder only
    double AnzahlNachrichtenG = 0;   // whole tree
    std::int32_t Anhang = 0;         // attachment files directly in the archive folder
    std::int32_t AnhangG = 0;        // attachment files in the tree
    QString Neueste;                 // date text of the newest message, empty while none is known
    QString Aelteste;                // date text of the oldest message
    std::uint32_t NeuesteStamp = 0;  // the DOS stamps the two texts were made of; 0 where a text came from elsewhere
    std::uint32_t AeltesteStamp = 0;
    double AnhangSize = 0;           // tree for a user row, archive folder alone below the top level
    double AnhangSizeG = 0;          // whole tree, every row
    QStringList UnlesbareOrdner;     // local paths of folders that could not be listed: the figures miss their trees
    bool UnterGeladen = false;       // sub-archives have been asked for
    QString TobitUser;
    QString Pfad;                    // server notation, as the server gave it
    QString UserID;                  // last 8 characters of Pfad
    QString FullPath;
};

// The last 8 characters of a server path, or the whole path when it is shorter.
QString userIdFromPath(const QString& path);
