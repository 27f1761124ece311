#pragma once

// A folder's figures as a walk of it alone gives them, and the comparison of figures taken from another walk
// (shared, or of an inner folder) with those.

#include "engine/archive_walk.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace walktest
