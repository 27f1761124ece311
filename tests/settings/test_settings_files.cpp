#include "file_bytes.h"
#include "../platform/special_files.h"
#include "../platform/tiny_file_system.h"

#include "platform/program_folder.h"
#include "settings/color_text.h"
#include "settings/display_prefs.h"
#include "settings/preference_file.h"
#include "settings/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace settings;

namespace {

class PreferenceFolder : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

struct NamedValue {
    const char* name;
    ColorValue value;
};

void PrintTo(const NamedValue& c, std::ostream* os) { *os << c.name; }

}  // namespace

class ColorNames : public ::testing::TestWithParam<NamedValue> {};

TEST_P(ColorNames, NameIsWrittenAndReadInAnyCase)
{
    const NamedValue c = GetParam();
    EXPECT_EQ(colorToText(c.value), QString::fromLatin1(c.name));
    EXPECT_EQ(colorFromText(QString::fromLatin1(c.name)), c.value);
    EXPECT_EQ(colorFromText(QString::fromLatin1(c.name).toUpper()), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ColorNames,
    ::testing::Values(NamedValue{"clBlack", 0x000000}, NamedValue{"clMaroon", 0x000080},
                      NamedValue{"clGreen", 0x008000}, NamedValue{"clOlive", 0x008080},
                      NamedValue{"clNavy", 0x800000}, NamedValue{"clPurple", 0x800080},
                      NamedValue{"clTeal", 0x808000}, NamedValue{"clGray", 0x808080},
                      NamedValue{"clSilver", 0xC0C0C0}, NamedValue{"clRed", 0x0000FF},
                      NamedValue{"clLime", 0x00FF00}, NamedValue{"clYellow", 0x00FFFF},
                      NamedValue{"clBlue", 0xFF0000}, NamedValue{"clFuchsia", 0xFF00FF},
                      NamedValue{"clAqua", 0xFFFF00}, NamedValue{"clWhite", 0xFFFFFF},
                      NamedValue{"clMoneyGreen", 0xC0DCC0}, NamedValue{"clSkyBlue", 0xF0CAA6},
                      NamedValue{"clCream", 0xF0FBFF}, NamedValue{"clMedGray", 0xA4A0A0},
                      NamedValue{"clScrollBar", 0xFF000000}, NamedValue{"clWindow", 0xFF000005},
                      NamedValue{"clBtnFace", 0xFF00000F}, NamedValue{"clInfoBk", 0xFF000018},
                      NamedValue{"clHotLight", 0xFF00001A}, NamedValue{"clMenuBar", 0xFF00001E},
                      NamedValue{"clNone", 0x1FFFFFFF}, NamedValue{"clDefault", 0x20000000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColorText, UnnamedColoursAreEightUpperCaseHexDigits)
{
    EXPECT_EQ(colorToText(colorValue(QColor(0x12, 0x34, 0x56))), QStringLiteral("$00563412"));
    EXPECT_EQ(colorToText(colorValue(QColor(0xFF, 0xE8, 0xFD))), QStringLiteral("$00FDE8FF"));
    EXPECT_EQ(colorToText(colorValue(QColor(0xCE, 0xE7, 0xFB))), QStringLiteral("$00FBE7CE"));
    EXPECT_EQ(colorToText(0x000001), QStringLiteral("$00000001"));
    // System colour numbers without a name have no name either.
    EXPECT_EQ(colorToText(0xFF000019), QStringLiteral("$FF000019"));
}

TEST(ColorText, NumbersInHexOrDecimalAreRead)
{
    EXPECT_EQ(colorFromText(u"$00563412"), 0x00563412u);
    EXPECT_EQ(colorFromText(u"$fde8ff"), 0x00FDE8FFu);
    EXPECT_EQ(colorFromText(u"16777215"), 0x00FFFFFFu);
    EXPECT_EQ(colorFromText(u"$FF000005"), 0xFF000005u);
    EXPECT_EQ(colorFromText(u"-16777211"), 0xFF000005u);
    EXPECT_EQ(colorFromText(u" clWhite "), 0x00FFFFFFu);

    for (const char16_t* bad : {u"", u"$", u"clWhitish", u"#FFFFFF", u"$1G", u"$100000000", u"0x10", u"12 34"})
        EXPECT_FALSE(colorFromText(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(ColorText, StoredValueHasRedInTheLowByte)
{
    EXPECT_EQ(colorValue(QColor(0x12, 0x34, 0x56)), 0x00563412u);
    EXPECT_EQ(paintColor(0x00563412), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(paintColor(0x00FFFFFF), QColor(Qt::white));
    // Alpha is not part of a stored colour.
    EXPECT_EQ(colorValue(QColor(0x12, 0x34, 0x56, 0x80)), 0x00563412u);
    // clWindow stands for the palette's base colour, like the special values.
    EXPECT_EQ(paintColor(0xFF000005), QPalette().color(QPalette::Base));
    EXPECT_EQ(paintColor(clNone), QPalette().color(QPalette::Base));
}

TEST(WholeNumber, SignDecimalAndDollarHex)
{
    EXPECT_EQ(parseWholeNumber(u"7"), 7);
    EXPECT_EQ(parseWholeNumber(u" 5 "), 5);
    EXPECT_EQ(parseWholeNumber(u"-1"), -1);
    EXPECT_EQ(parseWholeNumber(u"+3"), 3);
    EXPECT_EQ(parseWholeNumber(u"$1f"), 31);
    EXPECT_EQ(parseWholeNumber(u"$FFFFFFFF"), 0xFFFFFFFFLL);
    EXPECT_EQ(parseWholeNumber(u"-2147483648"), -2147483648LL);
    for (const char16_t* bad : {u"", u"-", u"$", u"1.5", u"5a", u"4294967296", u"-2147483649", u"\u0665"})
        EXPECT_FALSE(parseWholeNumber(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST_F(PreferenceFolder, LinesEndInAnyLineBreakAndAreWrittenWithCrLf)
{
    const QString file = path("x.dat");
    ASSERT_TRUE(writeBytes(file, "a\r\nb\nc\rd"));
    EXPECT_EQ(readPreferenceLines(file), QStringList({"a", "b", "c", "d"}));
    ASSERT_TRUE(writeBytes(file, "a\r\n\r\n"));
    EXPECT_EQ(readPreferenceLines(file), QStringList({"a", ""}));

    ASSERT_TRUE(writePreferenceLines(file, {"1", "zwei"}));
    EXPECT_EQ(readBytes(file), QByteArray("1\r\nzwei\r\n"));
    EXPECT_FALSE(readPreferenceLines(path("fehlt.dat")).has_value());

    QString reason;
    EXPECT_FALSE(writePreferenceLines(path("kein/Ordner.dat"), {"1"}, &reason));
    EXPECT_FALSE(reason.isEmpty());
}

TEST_F(PreferenceFolder, DisplayPrefsFromNumberAndBack)
{
    const QString file = path("Darstellung.dat");
    // No file: everything on, and closing writes "7".
    EXPECT_EQ(readDisplayPrefs(file), (DisplayPrefs{true, true, true}));
    ASSERT_TRUE(writeDisplayPrefs(file, readDisplayPrefs(file)));
    EXPECT_EQ(readBytes(file), QByteArray("7\r\n"));

    ASSERT_TRUE(writeBytes(file, "5\r\n"));
    EXPECT_EQ(readDisplayPrefs(file), (DisplayPrefs{true, false, true}));
    ASSERT_TRUE(writeBytes(file, "8\r\n"));
    EXPECT_EQ(readDisplayPrefs(file), (DisplayPrefs{false, false, false}));
    ASSERT_TRUE(writeBytes(file, "$2"));
    EXPECT_EQ(readDisplayPrefs(file), (DisplayPrefs{false, true, false}));
    // Only the first line counts.
    ASSERT_TRUE(writeBytes(file, "6\r\nunsinn\r\n"));
    EXPECT_EQ(readDisplayPrefs(file), (DisplayPrefs{false, true, true}));

    // Bars off from everything on writes "3".
    DisplayPrefs prefs;
    prefs.ShowBars = false;
    ASSERT_TRUE(writeDisplayPrefs(file, prefs));
    EXPECT_EQ(readBytes(file), QByteArray("3\r\n"));
    EXPECT_EQ(readDisplayPrefs(file), prefs);
}

TEST_F(PreferenceFolder, FaultyDisplayPrefsCountAsMissing)
{
    const QString file = path("Darstellung.dat");
    for (const QByteArray& content : {QByteArray(), QByteArray("\r\n5\r\n"), QByteArray("fünf"), QByteArray("5a"),
                                      QByteArray("99999999999")}) {
        ASSERT_TRUE(writeBytes(file, content));
        EXPECT_EQ(readDisplayPrefs(file), DisplayPrefs{}) << content.toStdString();
    }
    // A folder in the file's place cannot be read either.
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Darstellung.dat")));
    EXPECT_EQ(readDisplayPrefs(file), DisplayPrefs{});
    EXPECT_FALSE(writeDisplayPrefs(file, DisplayPrefs{false, false, false}));
}

TEST_F(PreferenceFolder, FilesLieInTheProgramFolder)
{
    platform::setProgramFolder(dir.path());
    EXPECT_EQ(QDir::cleanPath(settingsReadPath()), QDir::cleanPath(path("Einstellungen.dat")));
    EXPECT_TRUE(saveDisplayPrefs(DisplayPrefs{true, false, false}));
    EXPECT_EQ(readBytes(path("Darstellung.dat")), QByteArray("1\r\n"));
    EXPECT_EQ(loadDisplayPrefs(), (DisplayPrefs{true, false, false}));
    platform::setProgramFolder({});
}

TEST_F(PreferenceFolder, SettingsAreWrittenInTheirExactForm)
{
    const QString file = path("Einstellungen.dat");
    ASSERT_TRUE(writeSettings(file, SettingsValues{}));
    EXPECT_EQ(readBytes(file), QByteArray("-1\r\n$00FBE7CE\r\n$00F4F4F2\r\n"));

    const SettingsValues chosen{false, colorValue(Qt::white), colorValue(QColor(0x12, 0x34, 0x56))};
    ASSERT_TRUE(writeSettings(file, chosen));
    EXPECT_EQ(readBytes(file), QByteArray("0\r\nclWhite\r\n$00563412\r\n"));

    const SettingsRead read = readSettings(file, SettingsValues{});
    EXPECT_TRUE(read.ok) << read.reason.toStdString();
    EXPECT_EQ(read.values, chosen);
}

TEST_F(PreferenceFolder, SettingsReadAcceptsWhatTheFileMayHold)
{
    const QString file = path("Einstellungen.dat");
    // No file: the starting values, no fault.
    const SettingsValues start{false, 1, 2};
    SettingsRead read = readSettings(file, start);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.values, start);

    ASSERT_TRUE(writeBytes(file, "0\r\n$00FDE8FF\r\n$00F4F4F2\r\n"));
    read = readSettings(file, SettingsValues{});
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.values, (SettingsValues{false, SettingsValues::standard().Farbe1, SettingsValues::standard().Farbe2}));

    // Any number is a flag, lines may end in LF alone, and lines after the third are ignored.
    ASSERT_TRUE(writeBytes(file, "5\nclwindow\n255\nnoch etwas\n"));
    read = readSettings(file, start);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.values, (SettingsValues{true, 0xFF000005, 0x000000FF}));
    ASSERT_TRUE(writeBytes(file, "0.0\r\nclRed\r\nclRed"));
    read = readSettings(file, SettingsValues{});
    EXPECT_TRUE(read.ok);
    EXPECT_FALSE(read.values.ShowUhrzeit);
}

TEST_F(PreferenceFolder, SettingsReadStopsAtTheFirstFault)
{
    const QString file = path("Einstellungen.dat");
    const SettingsValues start;

    struct Case {
        QByteArray content;
        SettingsValues expected;  // what was applied before the fault
        const char* reasonPart;
    };
    const Case cases[] = {
        {"", start, "Zeile 1 fehlt"},
        {"ja\r\nclRed\r\nclRed\r\n", start, "Zeile 1"},
        {"0\r\nRot\r\nclRed\r\n", SettingsValues{false, start.Farbe1, start.Farbe2}, "Zeile 2"},
        {"0\r\nclRed\r\n", SettingsValues{false, 0x0000FF, start.Farbe2}, "Zeile 3 fehlt"},
        {"-1\r\nclRed\r\n\r\n", SettingsValues{true, 0x0000FF, start.Farbe2}, "Zeile 3"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(writeBytes(file, c.content));
        const SettingsRead read = readSettings(file, start);
        EXPECT_FALSE(read.ok) << c.content.toStdString();
        EXPECT_EQ(read.values, c.expected) << c.content.toStdString();
        EXPECT_TRUE(read.reason.contains(QLatin1String(c.reasonPart))) << read.reason.toStdString();
    }

    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Einstellungen.dat")));
    const SettingsRead unreadable = readSettings(file, start);
    EXPECT_FALSE(unreadable.ok);
    EXPECT_EQ(unreadable.values, start);
}

// A FIFO or a link to a device where a preference file belongs would keep the window from appearing, or fill
// the memory; they count as unreadable files, at once.
TEST_F(PreferenceFolder, SpecialFilesAreUnreadableWithoutWaiting)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has neither FIFOs nor /dev/zero";
#else
    for (const char* name : {"Darstellung.dat", "Einstellungen.dat"}) {
        const QString fifo = path(name);
        ASSERT_TRUE(specialfiles::makeFifo(fifo));
        SettingsRead settingsRead;
        DisplayPrefs prefs{false, false, false};
        EXPECT_TRUE(specialfiles::endsWithoutWaiting(
            [&] {
                prefs = readDisplayPrefs(fifo);
                settingsRead = readSettings(fifo, SettingsValues{});
            },
            fifo))
            << name;
        EXPECT_EQ(prefs, DisplayPrefs{});
        EXPECT_FALSE(settingsRead.ok);
        EXPECT_TRUE(settingsRead.reason.endsWith(QStringLiteral("keine gewöhnliche Datei, sondern eine benannte Pipe")))
            << settingsRead.reason.toStdString();
        ASSERT_TRUE(QFile::remove(fifo));
    }

    const QString zero = path("Einstellungen.dat");
    ASSERT_TRUE(specialfiles::linkToDevZero(zero));
    EXPECT_EQ(readDisplayPrefs(zero), DisplayPrefs{});
    const SettingsRead device = readSettings(zero, SettingsValues{});
    EXPECT_FALSE(device.ok);
    EXPECT_TRUE(device.reason.endsWith(QStringLiteral("sondern ein Gerät"))) << device.reason.toStdString();
#endif
}

// Saving writes a new file and renames it over the old one, through links: over a link to a device that would
// replace the device. A FIFO elsewhere stands in for it here.
TEST_F(PreferenceFolder, SavingLeavesSpecialFilesAlone)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has neither FIFOs nor /dev/zero";
#else
    QTemporaryDir elsewhere;
    const QString fifo = elsewhere.filePath(QStringLiteral("fifo"));
    ASSERT_TRUE(specialfiles::makeFifo(fifo));
    const QString file = path("Einstellungen.dat");
    ASSERT_TRUE(QFile::link(fifo, file));

    QString reason;
    EXPECT_FALSE(writeSettings(file, SettingsValues{}, &reason));
    EXPECT_EQ(reason, QStringLiteral("keine gewöhnliche Datei, sondern eine benannte Pipe"));
    EXPECT_FALSE(writeDisplayPrefs(file, DisplayPrefs{}));
    EXPECT_EQ(QFileInfo(fifo).isFile(), false) << "the FIFO was replaced";
    EXPECT_TRUE(QFileInfo(file).isSymLink());
#endif
}

// A 99 MB file without a line break: only its beginning is read, and the reason quotes 80 characters of it.
TEST_F(PreferenceFolder, AHugeLineIsQuotedShortly)
{
    const QString file = path("Einstellungen.dat");
    ASSERT_TRUE(writeBytes(file, QByteArray(64 * 1024, 'x')));
    ASSERT_TRUE(QFile::resize(file, 99 * 1000 * 1000));  // sparse: the rest reads as zero bytes
    const SettingsRead read = readSettings(file, SettingsValues{});
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.reason,
              QStringLiteral("Zeile 1 (\u201E%1\u2026\u201C) ist keine Zahl.").arg(QString(80, QLatin1Char('x'))));

    ASSERT_TRUE(writeBytes(file, "-1\r\n" + QByteArray(500, 'r') + "\r\nclRed\r\n"));
    EXPECT_EQ(readSettings(file, SettingsValues{}).reason,
              QStringLiteral("Zeile 2 (\u201E%1\u2026\u201C) ist keine Farbe.").arg(QString(80, QLatin1Char('r'))));
}

TEST(SettingsHandOver, ColoursAreReadyToPaint)
{
    const SettingsHandOver h = handOverOf(SettingsValues{false, 0x00FBE7CE, 0x00F4F4F2});
    EXPECT_FALSE(h.ShowUhrzeit);
    EXPECT_EQ(h.Farbe1, QColor(0xCE, 0xE7, 0xFB));
    EXPECT_EQ(h.Farbe2, QColor(0xF2, 0xF4, 0xF4));
}

// A full disk while saving: the save reports it, and the file holds what it held before, whole.
TEST(FullDisk, PreferenceFilesKeepTheirLastContent)
{
    const TinyFileSystem disk(64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot();
    const QString settingsFile = disk.filePath(QString::fromLatin1(SettingsFileName));
    const QString displayFile = disk.filePath(QString::fromLatin1(DisplayPrefsFileName));
    ASSERT_TRUE(writeSettings(settingsFile, SettingsValues::standard()));
    ASSERT_TRUE(writeDisplayPrefs(displayFile, DisplayPrefs{true, false, true}));
    const QByteArray settingsBefore = readBytes(settingsFile);
    const QByteArray displayBefore = readBytes(displayFile);
    const QStringList filesBefore = QDir(disk.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);

    disk.fill();
    QString why;
    EXPECT_FALSE(writeSettings(settingsFile, SettingsValues{false, 0x00563412, 0x00FFFFFF}, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(writeDisplayPrefs(displayFile, DisplayPrefs{false, false, false}));

    EXPECT_EQ(readBytes(settingsFile), settingsBefore);
    EXPECT_EQ(readBytes(displayFile), displayBefore);
    EXPECT_EQ(readSettings(settingsFile, {}).values, SettingsValues::standard());
    QStringList filesAfter = QDir(disk.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    filesAfter.removeAll(QStringLiteral(".filler"));
    filesAfter.removeAll(QStringLiteral(".filler.tail"));
    EXPECT_EQ(filesAfter, filesBefore);  // nothing temporary left behind
}
