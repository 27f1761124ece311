#pragma once

#include "archive_generator.h"
#include "engine/date_text.h"
#include "platform/unc_path.h"
#include "scan_harness.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// Archives live in <tmp>/SRV01/DAVID/<name>; the scanner is given "SRV01:DAVID\<name>", as the server
// would name them, and the UNC root points at <tmp>.
class ScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        harness::app();
        ASSERT_TRUE(m_tmp.isValid());
        platform::setUncRoot(m_tmp.path());
        m_share = std::filesystem::path(m_tmp.path().toStdString()) / "SRV01" / "DAVID";
        std::filesystem::create_directories(m_share);
    }

    std::filesystem::path archive(const std::string& name) const { return m_share / name; }
    static QString serverPath(const std::string& name)
    {
        return QStringLiteral("SRV01:DAVID\\") + QString::fromStdString(name);
    }

    harness::ScanResult scan(const std::string& name, const harness::ScanOptions& options = {})
    {
        return harness::scan(serverPath(name), options);
    }

    // The date text of a time, computed from the seconds by Qt alone (not through DOS stamps).
    static QString dateText(std::int64_t seconds)
    {
        return DateTextFormat().format(QDateTime::fromSecsSinceEpoch(seconds));
    }

    static void expectFigures(const TTobData& d, const gen::ArchiveFigures& f, bool unter)
    {
        constexpr long double mb = 1048576.0L;
        EXPECT_EQ(d.Size, (long double)f.size / mb) << "Size";
        EXPECT_EQ(d.SizeRoot, (long double)f.sizeRoot / mb) << "SizeRoot";
        EXPECT_DOUBLE_EQ(d.AnzahlNachrichten, f.anzahlNachrichten);
        EXPECT_NEAR(d.AnzahlNachrichtenG, f.anzahlNachrichtenG, 1e-9 * (1 + f.anzahlNachrichtenG));
        EXPECT_EQ(d.Anhang, f.anhang);
        EXPECT_EQ(d.AnhangG, f.anhangG);
        EXPECT_EQ(d.AnhangSize, double(f.anhangSize(unter)) / 1048576.0) << "AnhangSize";
        EXPECT_EQ(d.AnhangSizeG, double(f.anhangSizeG) / 1048576.0) << "AnhangSizeG";
        if (f.newest) {
            EXPECT_EQ(d.Neueste, dateText(*f.newest));
            EXPECT_EQ(d.Aelteste, dateText(*f.oldest));
        } else {
            EXPECT_TRUE(d.Neueste.isEmpty());
            EXPECT_TRUE(d.Aelteste.isEmpty());
        }
    }

    QTemporaryDir m_tmp;
    std::filesystem::path m_share;
};
