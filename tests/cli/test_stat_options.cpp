#include "cli/stat_options.h"

#include <gtest/gtest.h>

namespace {

StatOptionsResult parse(std::initializer_list<const char*> args)
{
    QStringList list;
    for (const char* a : args)
        list.append(QString::fromUtf8(a));
    return parseStatOptions(list);
}

}  // namespace

TEST(StatOptions, DefaultsAndBothValueForms)
{
    const StatOptionsResult none = parse({});
    ASSERT_TRUE(none.ok());
    EXPECT_EQ(none.options.threads, 7);
    EXPECT_FALSE(none.options.sub);
    EXPECT_EQ(none.options.format, StatFormat::Csv);
    EXPECT_TRUE(none.options.server.isEmpty());
    EXPECT_FALSE(none.options.help);

    const StatOptionsResult spaced = parse({"--server", "/srv/a b", "--threads", "3", "--sub", "--format", "json"});
    ASSERT_TRUE(spaced.ok()) << spaced.error.toStdString();
    EXPECT_EQ(spaced.options.server, QStringLiteral("/srv/a b"));
    EXPECT_EQ(spaced.options.threads, 3);
    EXPECT_TRUE(spaced.options.sub);
    EXPECT_EQ(spaced.options.format, StatFormat::Json);

    const StatOptionsResult joined = parse({"--server=/x=y", "--threads=256", "--format=csv"});
    ASSERT_TRUE(joined.ok()) << joined.error.toStdString();
    EXPECT_EQ(joined.options.server, QStringLiteral("/x=y"));  // only the first "=" splits
    EXPECT_EQ(joined.options.threads, 256);

    // A later option of the same name wins; a folder may begin with "--" when given after "=" or as value.
    const StatOptionsResult twice = parse({"--threads", "2", "--threads", "9", "--server", "--odd"});
    ASSERT_TRUE(twice.ok()) << twice.error.toStdString();
    EXPECT_EQ(twice.options.threads, 9);
    EXPECT_EQ(twice.options.server, QStringLiteral("--odd"));
}

TEST(StatOptions, WritingAServerFolder)
{
    const StatOptionsResult r = parse({"--write-server-folder", "/tmp/out", "--with-messages", "--server", "s"});
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.options.writeServerFolder, QStringLiteral("/tmp/out"));
    EXPECT_TRUE(r.options.withMessages);
    EXPECT_FALSE(r.options.replace);
    EXPECT_TRUE(parse({"--replace", "--write-server-folder=o"}).options.replace);
}

TEST(StatOptions, BadUsageIsRefusedWithAReason)
{
    const std::vector<std::vector<const char*>> bad = {{"--threads"},
                                                       {"--threads", "0"},
                                                       {"--threads", "-1"},
                                                       {"--threads", "257"},
                                                       {"--threads", "abc"},
                                                       {"--threads", "7x"},
                                                       {"--threads", " 7"},
                                                       {"--threads="},
                                                       {"--format", "xml"},
                                                       {"--format", "JSON"},
                                                       {"--format"},
                                                       {"--sub=1"},
                                                       {"--server"},
                                                       {"--server="},
                                                       {"--server", ""},
                                                       {"extra"},
                                                       {"--unknown"},
                                                       {"-x"},
                                                       {"--sub", "-"},
                                                       {"--write-server-folder"},
                                                       {"--write-server-folder="},
                                                       {"--with-messages"},
                                                       {"--replace", "--sub"},
                                                       {"--write-server-folder", "d", "--sub"},
                                                       {"--write-server-folder", "d", "--types"},
                                                       {"--write-server-folder", "d", "--record"},
                                                       {"--write-server-folder", "d", "--growth"},
                                                       {"--write-server-folder", "d", "--with-messages=1"}};
    for (const auto& args : bad) {
        QStringList list;
        for (const char* a : args)
            list.append(QString::fromUtf8(a));
        const StatOptionsResult r = parseStatOptions(list);
        EXPECT_FALSE(r.ok()) << list.join(QLatin1Char(' ')).toStdString();
    }
    // A reason quotes what was typed only in part: a value of megabytes once came back whole.
    const QString huge(100000, QLatin1Char('x'));
    for (const QStringList& args : {QStringList{QStringLiteral("--types=") + huge},
                                    QStringList{QStringLiteral("--format"), huge}, QStringList{huge}}) {
        const StatOptionsResult r = parseStatOptions(args);
        EXPECT_FALSE(r.ok());
        EXPECT_LT(r.error.size(), 200) << r.error.left(300).toStdString();
    }
}

TEST(StatOptions, HelpWinsOverEverythingElse)
{
    EXPECT_TRUE(parse({"--help"}).options.help);
    const StatOptionsResult r = parse({"--bogus", "--threads", "0", "-h"});
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.options.help);

    // The help names every column and every exit code.
    const QString help = statHelpText();
    for (const char* word : {"level", "name", "userId", "path", "fullPath", "Size", "SizeRoot", "AnzahlNachrichten",
                             "AnzahlNachrichtenG", "Anhang", "AnhangG", "AnhangSize", "AnhangSizeG", "newest",
                             "oldest", "--server", "--threads", "--sub", "--format", " 0 ", " 2 ", " 64 "})
        EXPECT_TRUE(help.contains(QString::fromUtf8(word))) << word;
}
