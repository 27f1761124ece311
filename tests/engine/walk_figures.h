#pragma once

// A folder's figures as a walk of it alone gives them, the comparison of figures taken from another walk
// (shared, or of an inner folder) with those, and the folders a walk enters.

#include "engine/archive_walk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace walktest {

inline void expectSameFigures(const ScanFigures& got, const ScanFigures& alone, const std::string& folder)
{
    EXPECT_EQ(got.FSize, alone.FSize) << folder;
    EXPECT_EQ(got.FSizeRoot, alone.FSizeRoot) << folder;
    EXPECT_EQ(got.FAnzahlNachrichten, alone.FAnzahlNachrichten) << folder;
    EXPECT_EQ(got.FAnzahlNachrichtenG, alone.FAnzahlNachrichtenG) << folder;
    EXPECT_EQ(got.FIndexBytesG, alone.FIndexBytesG) << folder;
    EXPECT_EQ(got.FAnhang, alone.FAnhang) << folder;
    EXPECT_EQ(got.FAnhangG, alone.FAnhangG) << folder;
    EXPECT_EQ(got.FNew, alone.FNew) << folder;
    EXPECT_EQ(got.FOld, alone.FOld) << folder;
    EXPECT_EQ(got.FAnhangSize, alone.FAnhangSize) << folder;
    EXPECT_EQ(got.FAnhangSizeG, alone.FAnhangSizeG) << folder;
    EXPECT_EQ(got.FUnlesbar, alone.FUnlesbar) << folder;
    EXPECT_EQ(got.FZwischen, alone.FZwischen) << folder;
}

inline ScanFigures walkAlone(const std::string& folder)
{
    ArchiveWalk walk(100, {}, {});
    walk.figures().FSize = walk.MeasureFolder(folder, true);
    return walk.figures();
}

// The folders a walk enters below `top`, as paths relative to it, in no particular order: hidden folders are
// counted by the walk but never entered, links never followed, and unreadable folders not listed.
inline std::vector<std::string> enteredFolders(const std::filesystem::path& top)
{
    namespace fs = std::filesystem;
    std::vector<std::string> folders;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(top, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->path().filename().string().front() == '.') {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_directory() && !it->is_symlink())
            folders.push_back(fs::relative(it->path(), top).generic_string());
    }
    return folders;
}

}  // namespace walktest
