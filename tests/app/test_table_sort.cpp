// Sort order of the archive table's rows: the ordinal name order, the shared direction across columns, every
// column's key, ties in place, and deeper trees. The model's persistent indexes: test_table_logic.cpp.

#include "app/archive_node.h"
#include "app/archive_table_model.h"
#include "app/table_sort.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const QLocale german(QLocale::German, QLocale::Germany);

struct Tree {
    ArchiveNode root;
    CellFormats formats {german};
    std::set<const ArchiveNode*> expanded;

    ArchiveNode& add(ArchiveNode& parent, const char* name, long double size = 0)
    {
        auto node = std::make_unique<ArchiveNode>();
        node->parent = &parent;
        node->level = parent.level + 1;
        node->position = parent.childCount();
        node->data->TobitUser = QString::fromUtf8(name);
        node->data->Size = size;
        parent.children.push_back(std::move(node));
        return *parent.children.back();
    }
    ArchiveNode& user(const char* name, long double size = 0) { return add(root, name, size); }
    void sort(int column, bool ascending)
    {
        sortSiblings(root, column, ascending, formats,
                     [this](const ArchiveNode& n) { return expanded.count(&n) > 0; });
    }
};

QStringList names(const ArchiveNode& parent)
{
    QStringList out;
    for (const auto& row : parent.children)
        out << row->data->TobitUser;
    return out;
}

QStringList list(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* n : items)
        out << QString::fromUtf8(n);
    return out;
}

void expectRenumbered(const ArchiveNode& parent)
{
    for (int i = 0; i < parent.childCount(); ++i) {
        EXPECT_EQ(parent.child(i)->position, i);
        EXPECT_EQ(parent.child(i)->parent, &parent);
        expectRenumbered(*parent.child(i));
    }
}

}  // namespace

TEST(CompareOrdinal, DifferenceOfTheFirstDifferingCodeUnits)
{
    EXPECT_EQ(compareOrdinal(QStringLiteral("Ab"), QStringLiteral("Ad")), 'b' - 'd');
    EXPECT_LT(compareOrdinal(QStringLiteral("Z"), QStringLiteral("a")), 0);
    EXPECT_GT(compareOrdinal(QStringLiteral("Ärger"), QStringLiteral("zoe")), 0);
    // Code units, not code points: the high surrogate of U+1F600 (0xD83D) comes before U+FF21.
    EXPECT_LT(compareOrdinal(QStringLiteral("\U0001F600"), QStringLiteral("\uFF21")), 0);
    EXPECT_LT(compareOrdinal(QString(), QStringLiteral("a")), 0);
    EXPECT_LT(compareOrdinal(QStringLiteral("ab"), QStringLiteral("abc")), 0);
    EXPECT_EQ(compareOrdinal(QStringLiteral("ab"), QStringLiteral("ab")), 0);
}

TEST(TableSort, TheSecondClickOnAnotherColumnRunsDescending)
{
    Tree t;
    t.user("Zoe", 0);
    t.user("Anna", 20);
    t.user("bernd", 0.5L);
    t.user("Carl", 0);
    t.user("Dora", 300);
    // Names ascending, then size with the flipped direction: the smallest archives first, the unmeasured
    // ones in the order the names gave them.
    t.sort(ColUser, true);
    t.sort(ColSize, false);
    EXPECT_EQ(names(t.root), list({"Carl", "Zoe", "bernd", "Anna", "Dora"}));
    t.sort(ColMessages, true);  // all equal: nothing moves
    EXPECT_EQ(names(t.root), list({"Carl", "Zoe", "bernd", "Anna", "Dora"}));
}

TEST(TableSort, FiguresLargestFirstWithTiesInPlaceAndUnmeasuredLast)
{
    Tree t;
    t.user("nothing yet", 0);
    t.user("first 50", 50);
    t.user("big", 500);
    t.user("second 50", 50);
    t.sort(ColSize, true);
    EXPECT_EQ(names(t.root), list({"big", "first 50", "second 50", "nothing yet"}));
    // Descending keeps equal rows in their previous order too.
    t.sort(ColSize, false);
    EXPECT_EQ(names(t.root), list({"nothing yet", "first 50", "second 50", "big"}));
}

// Names sort by UTF-16 code unit in both directions; equal names keep their order, with the size as witness.
TEST(TableSort, NamesInCodeUnitOrderWithTiesInPlace)
{
    Tree t;
    const char* const given[] = {"Ab", "Abc", "", "Ärger", "zoe", "Ab", "\xF0\x9F\x98\x80", "\xEF\xBC\xA1", "Z", "a"};
    for (std::size_t i = 0; i < std::size(given); ++i)
        t.user(given[i], i);
    t.sort(ColUser, true);
    EXPECT_EQ(names(t.root), list({"", "Ab", "Ab", "Abc", "Z", "a", "zoe", "Ärger", "\xF0\x9F\x98\x80", "\xEF\xBC\xA1"}));
    EXPECT_EQ(t.root.child(1)->data->Size, 0);
    EXPECT_EQ(t.root.child(2)->data->Size, 5);
    expectRenumbered(t.root);
    t.sort(ColUser, false);
    EXPECT_EQ(names(t.root), list({"\xEF\xBC\xA1", "\xF0\x9F\x98\x80", "Ärger", "zoe", "a", "Z", "Abc", "Ab", "Ab", ""}));
    EXPECT_EQ(t.root.child(7)->data->Size, 0);
    EXPECT_EQ(t.root.child(8)->data->Size, 5);
}

TEST(TableSort, EachColumnReadsItsOwnKey)
{
    Tree t;
    ArchiveNode& anna = t.user("Anna");
    ArchiveNode& bernd = t.user("bernd");
    anna.data->UserID = QStringLiteral("0000a0");
    bernd.data->UserID = QStringLiteral("0000B2");
    anna.data->AnhangSize = 1.5;
    bernd.data->AnhangSize = 2.25;
    anna.data->AnzahlNachrichten = anna.data->AnzahlNachrichtenG = 5;
    bernd.data->AnzahlNachrichten = 1;
    bernd.data->AnzahlNachrichtenG = 9.5;
    // Sub-archives: the tree figures say inbox, the folder figures say sent.
    ArchiveNode& inbox = t.add(bernd, "Eingang");
    ArchiveNode& sent = t.add(bernd, "Gesendet");
    inbox.data->AnzahlNachrichten = 1;
    inbox.data->AnzahlNachrichtenG = 8;
    sent.data->AnzahlNachrichten = sent.data->AnzahlNachrichtenG = 3;
    inbox.data->UserID = QStringLiteral("0000FFFF");  // not shown below the top level, so not sorted by
    // Attachments: user rows by the count with their sub-folders, sub-archive rows by their folder's own.
    anna.data->Anhang = 0;
    anna.data->AnhangG = 40;
    bernd.data->Anhang = 9;
    bernd.data->AnhangG = 9;
    inbox.data->Anhang = 6;
    inbox.data->AnhangG = 6;
    sent.data->Anhang = 2;
    sent.data->AnhangG = 90;
    t.expanded.insert(&bernd);

    t.sort(ColUserId, true);
    EXPECT_EQ(names(t.root), list({"bernd", "Anna"}));
    EXPECT_EQ(names(bernd), list({"Eingang", "Gesendet"}));
    t.sort(ColAttachmentSize, false);
    EXPECT_EQ(names(t.root), list({"Anna", "bernd"}));
    t.sort(ColMessages, true);
    EXPECT_EQ(names(t.root), list({"bernd", "Anna"}));
    EXPECT_EQ(names(bernd), list({"Gesendet", "Eingang"}));
    t.sort(ColAttachments, true);
    EXPECT_EQ(names(t.root), list({"Anna", "bernd"}));
    EXPECT_EQ(names(bernd), list({"Eingang", "Gesendet"}));
}

TEST(TableSort, DatesCompareAsDatesInBothDateColumns)
{
    Tree t;
    const auto at = [](int y, int m, int d, int h = 0) { return QDateTime(QDate(y, m, d), QTime(h, 0)); };
    const DateTextFormat& dates = t.formats.dates;
    // As text "31.12.2019" would come after "01.02.2020".
    t.user("old").data->Neueste = dates.format(at(2019, 12, 31, 23));
    t.user("none");
    t.user("mid").data->Neueste = dates.format(at(2020, 2, 1));
    t.user("new").data->Neueste = dates.format(at(2021, 1, 2));
    t.sort(ColNewest, true);
    EXPECT_EQ(names(t.root), list({"new", "mid", "old", "none"}));

    // "Älteste Nachricht" reads its own field.
    t.root.child(2)->data->Aelteste = dates.format(at(2000, 1, 1));
    t.sort(ColOldest, true);
    EXPECT_EQ(names(t.root), list({"old", "new", "mid", "none"}));
    t.sort(ColOldest, false);
    EXPECT_EQ(names(t.root), list({"new", "mid", "none", "old"}));
}

TEST(TableSort, GoesDownThroughExpandedRowsOnly)
{
    Tree t;
    ArchiveNode& open = t.user("open", 10);
    ArchiveNode& closed = t.user("closed", 20);
    for (ArchiveNode* parent : {&open, &closed}) {
        t.add(*parent, "a", 1);
        t.add(*parent, "b", 3);
        t.add(*parent, "c", 2);
    }
    ArchiveNode& openChild = *open.child(0);
    ArchiveNode& shutChild = *open.child(2);
    for (ArchiveNode* parent : {&openChild, &shutChild}) {
        t.add(*parent, "y", 1);
        t.add(*parent, "z", 5);
    }
    t.expanded = {&open, &openChild};

    t.sort(ColSize, true);
    EXPECT_EQ(names(t.root), list({"closed", "open"}));
    EXPECT_EQ(names(open), list({"b", "c", "a"}));
    EXPECT_EQ(names(openChild), list({"z", "y"}));
    EXPECT_EQ(names(shutChild), list({"y", "z"}));
    EXPECT_EQ(names(closed), list({"a", "b", "c"}));
    expectRenumbered(t.root);

    // A single user row stays, its open sub-archives are still sorted.
    Tree single;
    ArchiveNode& only = single.user("only", 5);
    single.add(only, "small", 1);
    single.add(only, "large", 4);
    single.expanded.insert(&only);
    single.sort(ColSize, true);
    EXPECT_EQ(names(only), list({"large", "small"}));
}
