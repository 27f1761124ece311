#pragma once

// The names of a folder in the order the system's own listing gives them ("." and ".." included): readdir,
// or on Windows the C runtime's wide listing over FindFirstFile. The reference for "as the file system lists
// them". Names on Windows come back in UTF-8, as the program's readers give them.

#include <QString>

#include <dirent.h>

#include <filesystem>
#include <string>
#include <vector>

inline std::vector<std::string> systemListing(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
#ifdef _WIN32
    _WDIR* dir = ::_wopendir(folder.c_str());
    if (!dir)
        return names;
    while (const _wdirent* e = ::_wreaddir(dir))
        names.push_back(QString::fromWCharArray(e->d_name).toStdString());
    ::_wclosedir(dir);
#else
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir))
        names.emplace_back(e->d_name);
    ::closedir(dir);
#endif
    return names;
}
