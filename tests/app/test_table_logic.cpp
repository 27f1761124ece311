// The main window's table logic, called without a window: filter, sort order, row painting and the
// detail panel's texts.

#include "app/archive_node.h"
#include "app/archive_table_model.h"
#include "app/detail_panel.h"
#include "app/filter_matches.h"
#include "app/row_painting.h"
#include "app/table_sort.h"
#include "engine/date_text.h"
#include "engine/tob_data.h"

#include <QAbstractItemModelTester>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

const QLocale german(QLocale::German, QLocale::Germany);

TTobData named(const QString& name, long double size = 0)
{
    TTobData d;
    d.TobitUser = name;
    d.Size = size;
    return d;
}

// A root with user rows of the given names and sizes.
struct Table {
    ArchiveNode root;
    ArchiveNode* add(ArchiveNode& parent, const TTobData& data)
    {
        auto node = std::make_unique<ArchiveNode>();
        *node->data = data;
        node->parent = &parent;
        node->level = parent.level + 1;
        node->position = parent.childCount();
        parent.children.push_back(std::move(node));
        return parent.children.back().get();
    }
    QStringList names(const ArchiveNode& parent) const
    {
        QStringList out;
        for (const auto& row : parent.children)
            out << row->data->TobitUser;
        return out;
    }
};

const auto allExpanded = [](const ArchiveNode&) { return true; };
const auto noneExpanded = [](const ArchiveNode&) { return false; };

}  // namespace

TEST(FilterBox, LenientNumbersAfterAnOperator)
{
    EXPECT_EQ(lenientInt(u"100"), 100);
    EXPECT_EQ(lenientInt(u" 100"), 100);
    EXPECT_EQ(lenientInt(u"100MB"), 100);
    EXPECT_EQ(lenientInt(u"100 "), 100);
    EXPECT_EQ(lenientInt(u"1,5"), 1);
    EXPECT_EQ(lenientInt(u"abc"), 0);
    EXPECT_EQ(lenientInt(u"x"), 0);
    EXPECT_EQ(lenientInt(u""), 0);
    EXPECT_EQ(lenientInt(u"-5"), -5);
    EXPECT_EQ(lenientInt(u"-5a"), 5);  // a fault after the digits drops the sign
    EXPECT_EQ(lenientInt(u"+7"), 7);
    EXPECT_EQ(lenientInt(u"$1F"), 31);
    EXPECT_EQ(lenientInt(u"0x10"), 16);
    EXPECT_EQ(lenientInt(u"X10"), 16);
    EXPECT_EQ(lenientInt(u"-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(lenientInt(u"2147483647"), std::numeric_limits<std::int32_t>::max());
    // Beyond the range the reading stops before the digit that would overflow.
    EXPECT_EQ(lenientInt(u"99999999999"), 999999999);
}

TEST(FilterBox, OperatorsCompareTheTotalSize)
{
    const TTobData big = named(QStringLiteral("A"), 100.5L);
    const TTobData exact = named(QStringLiteral("B"), 100);
    const TTobData empty = named(QStringLiteral("C"), 0);
    EXPECT_TRUE(FilterMatches(big, QStringLiteral("> 100")));
    EXPECT_TRUE(FilterMatches(big, QStringLiteral(">100")));
    EXPECT_FALSE(FilterMatches(exact, QStringLiteral(">100")));
    EXPECT_TRUE(FilterMatches(exact, QStringLiteral("=100")));
    EXPECT_FALSE(FilterMatches(big, QStringLiteral("=100")));
    EXPECT_TRUE(FilterMatches(empty, QStringLiteral("=0")));
    EXPECT_TRUE(FilterMatches(empty, QStringLiteral("<5")));
    EXPECT_FALSE(FilterMatches(big, QStringLiteral("<5")));
    // ">abc" reads 0: every measured archive passes, an empty one does not.
    EXPECT_TRUE(FilterMatches(big, QStringLiteral(">abc")));
    EXPECT_FALSE(FilterMatches(empty, QStringLiteral(">abc")));
    EXPECT_TRUE(FilterMatches(empty, QStringLiteral(">-5")));
    EXPECT_FALSE(FilterMatches(empty, QStringLiteral(">-5a")));
}

TEST(FilterBox, NamesFoldOnlyAsciiLetters)
{
    EXPECT_TRUE(FilterMatches(named(QStringLiteral("Müller")), QStringLiteral("mül")));
    EXPECT_FALSE(FilterMatches(named(QStringLiteral("Müller")), QStringLiteral("MÜLLER")));
    EXPECT_TRUE(FilterMatches(named(QStringLiteral("Mueller")), QStringLiteral("MUELLER")));
    EXPECT_TRUE(FilterMatches(named(QStringLiteral("Hans Abel")), QStringLiteral("a")));
    EXPECT_FALSE(FilterMatches(named(QStringLiteral("Hans")), QStringLiteral("x")));
    EXPECT_EQ(asciiUpper(QStringLiteral("äbz")), QStringLiteral("äBZ"));
}

TEST(FilterBox, StepsOfATextChange)
{
    EXPECT_EQ(filterStep(QString()), FilterStep::ShowAll);
    EXPECT_EQ(filterStep(QStringLiteral(">")), FilterStep::Keep);
    EXPECT_EQ(filterStep(QStringLiteral("=")), FilterStep::Keep);
    EXPECT_EQ(filterStep(QStringLiteral(">1")), FilterStep::Apply);
    EXPECT_EQ(filterStep(QStringLiteral("a")), FilterStep::Apply);
}

TEST(SortOrder, NamesByCodeUnitAndTheSharedDirection)
{
    Table t;
    for (const char* name : {"Zoe", "bernd", "Ärger", "Anna"})
        t.add(t.root, named(QString::fromUtf8(name)));
    const CellFormats formats(german);
    sortSiblings(t.root, ColUser, true, formats, allExpanded);
    EXPECT_EQ(t.names(t.root), (QStringList {"Anna", "Zoe", "bernd", "Ärger"}));
    sortSiblings(t.root, ColUser, false, formats, allExpanded);
    EXPECT_EQ(t.names(t.root), (QStringList {"Ärger", "bernd", "Zoe", "Anna"}));
    for (int i = 0; i < t.root.childCount(); ++i)
        EXPECT_EQ(t.root.child(i)->position, i);
    EXPECT_LT(compareOrdinal(QString(), QStringLiteral("a")), 0);
    EXPECT_LT(compareOrdinal(QStringLiteral("ab"), QStringLiteral("abc")), 0);
    EXPECT_EQ(compareOrdinal(QStringLiteral("ab"), QStringLiteral("ab")), 0);
}

TEST(SortOrder, FiguresLargestFirstStableAndUnmeasuredLast)
{
    Table t;
    t.add(t.root, named(QStringLiteral("nothing yet"), 0));
    t.add(t.root, named(QStringLiteral("first 50"), 50));
    t.add(t.root, named(QStringLiteral("big"), 500));
    t.add(t.root, named(QStringLiteral("second 50"), 50));
    const CellFormats formats(german);
    sortSiblings(t.root, ColSize, true, formats, allExpanded);
    EXPECT_EQ(t.names(t.root), (QStringList {"big", "first 50", "second 50", "nothing yet"}));
    // Descending keeps equal rows in their previous order too.
    sortSiblings(t.root, ColSize, false, formats, allExpanded);
    EXPECT_EQ(t.names(t.root), (QStringList {"nothing yet", "first 50", "second 50", "big"}));
}

TEST(SortOrder, LevelChoosesTheFigureAndCollapsedRowsKeepTheirChildren)
{
    Table t;
    TTobData user = named(QStringLiteral("user"));
    ArchiveNode* open = t.add(t.root, user);
    ArchiveNode* closed = t.add(t.root, user);
    TTobData a = named(QStringLiteral("a"));
    a.Anhang = 1;
    a.AnhangG = 90;
    TTobData b = named(QStringLiteral("b"));
    b.Anhang = 5;
    b.AnhangG = 5;
    for (ArchiveNode* parent : {open, closed}) {
        t.add(*parent, a);
        t.add(*parent, b);
    }
    const CellFormats formats(german);
    sortSiblings(t.root, ColAttachments, true, formats,
                 [&](const ArchiveNode& node) { return &node == open; });
    // Sub-archive rows go by their own folder's count; the collapsed row's children stay.
    EXPECT_EQ(t.names(*open), (QStringList {"b", "a"}));
    EXPECT_EQ(t.names(*closed), (QStringList {"a", "b"}));

    // User rows go by the count that includes their sub-folders.
    TTobData few = named(QStringLiteral("few"));
    few.Anhang = 9;
    few.AnhangG = 9;
    TTobData many = named(QStringLiteral("many"));
    many.Anhang = 0;
    many.AnhangG = 40;
    Table u;
    u.add(u.root, few);
    u.add(u.root, many);
    sortSiblings(u.root, ColAttachments, true, formats, noneExpanded);
    EXPECT_EQ(u.names(u.root), (QStringList {"many", "few"}));
}

TEST(SortOrder, DatesLatestFirstAndEmptyTextsLast)
{
    const DateTextFormat dates(german);
    TTobData older = named(QStringLiteral("older"));
    older.Neueste = dates.format(QDateTime(QDate(2015, 3, 1), QTime(8, 0)));
    TTobData newer = named(QStringLiteral("newer"));
    newer.Neueste = dates.format(QDateTime(QDate(2015, 3, 1), QTime(9, 0)));
    TTobData none = named(QStringLiteral("none"));
    Table t;
    t.add(t.root, none);
    t.add(t.root, older);
    t.add(t.root, newer);
    const CellFormats formats(german);
    sortSiblings(t.root, ColNewest, true, formats, allExpanded);
    EXPECT_EQ(t.names(t.root), (QStringList {"newer", "older", "none"}));
    sortSiblings(t.root, ColNewest, false, formats, allExpanded);
    EXPECT_EQ(t.names(t.root), (QStringList {"none", "older", "newer"}));
}

TEST(SortOrder, ModelKeepsPersistentIndexesOnTheirRows)
{
    ArchiveTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    ArchiveNode* small = model.appendTopLevel();
    small->data->TobitUser = QStringLiteral("small");
    small->data->Size = 1;
    model.appendChild(small);
    ArchiveNode* large = model.appendTopLevel();
    large->data->TobitUser = QStringLiteral("large");
    large->data->Size = 9;
    const QPersistentModelIndex smallIndex = model.indexOfNode(small, ColSize);
    const QPersistentModelIndex childIndex = model.index(0, 0, model.indexOfNode(small));
    model.sortTable(ColSize, true, allExpanded);
    EXPECT_EQ(model.index(0, 0).data().toString(), QStringLiteral("large"));
    EXPECT_EQ(smallIndex.row(), 1);
    EXPECT_EQ(smallIndex.column(), int(ColSize));
    EXPECT_EQ(model.nodeFromIndex(smallIndex), small);
    EXPECT_EQ(childIndex.parent().row(), 1);
    EXPECT_EQ(model.index(1, 0).data(ArchiveTableModel::PositionRole).toInt(), 1);
}

// What the rest of the program reads from the model: records, levels, the user rows in the current order,
// the numbers the delegate paints from, and rows that go when a placeholder has nothing to show.
TEST(TableModel, OffersRecordsAndPaintingNumbersThroughRoles)
{
    ArchiveTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    ArchiveNode* a = model.appendTopLevel();
    a->data->TobitUser = QStringLiteral("a");
    a->data->Size = 2.5L;
    ArchiveNode* sub = model.appendChild(a);
    model.appendChild(sub);
    ArchiveNode* b = model.appendTopLevel();
    b->data->TobitUser = QStringLiteral("b");
    b->data->Size = 7;

    EXPECT_EQ(model.record(model.indexOfNode(a)).get(), a->data.get());
    EXPECT_EQ(model.level(model.indexOfNode(sub)), 1);
    EXPECT_EQ(model.level(QModelIndex()), -1);
    EXPECT_FALSE(model.record(QModelIndex()));
    EXPECT_DOUBLE_EQ(model.indexOfNode(a, ColSize).data(ArchiveTableModel::SizeRole).toDouble(), 2.5);
    model.setMaxSize(7);
    EXPECT_DOUBLE_EQ(model.indexOfNode(a, ColSize).data(ArchiveTableModel::MaxSizeRole).toDouble(), 7);

    model.setRowColours(Qt::yellow, Qt::cyan);
    EXPECT_EQ(model.indexOfNode(a).data(ArchiveTableModel::RowColourRole).value<QColor>(), QColor(Qt::yellow));
    EXPECT_EQ(model.indexOfNode(sub).data(ArchiveTableModel::RowColourRole).value<QColor>(), QColor(Qt::cyan));
    EXPECT_FALSE(model.indexOfNode(b).data(ArchiveTableModel::RowColourRole).isValid());  // odd place

    // Folders that could not be read are named on the row's name only.
    EXPECT_FALSE(model.indexOfNode(a).data(Qt::ToolTipRole).isValid());
    a->data->UnlesbareOrdner = {QStringLiteral("/x/1"), QStringLiteral("/x/2")};
    EXPECT_EQ(model.indexOfNode(a).data(Qt::ToolTipRole).toString(), QStringLiteral("2 Ordner konnten nicht gelesen werden"));
    EXPECT_FALSE(model.indexOfNode(a, ColSize).data(Qt::ToolTipRole).isValid());

    model.sortTable(ColSize, true, allExpanded);  // largest first
    const auto order = model.topLevelRecords();
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0]->TobitUser, QStringLiteral("b"));
    EXPECT_EQ(order[1]->TobitUser, QStringLiteral("a"));

    model.removeChildren(a);
    EXPECT_FALSE(model.hasChildren(model.indexOfNode(a)));
    EXPECT_EQ(model.nodeOfRecord(a->data.get()), a);
}

// A new maximum changes every bar: the next flush repaints the size cell of every row, not only the rows
// that published.
TEST(TableModel, NewMaximumRepaintsEveryBar)
{
    ArchiveTableModel model;
    model.setFlushInterval(60000);
    ArchiveNode* rows[3];
    for (ArchiveNode*& row : rows)
        row = model.appendTopLevel();
    ArchiveNode* sub = model.appendChild(rows[0]);
    model.setMaxSize(100);
    model.flushChanges();

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.markChanged(rows[2]->data.get());
    model.setMaxSize(400);
    model.flushChanges();
    const auto covered = [&](const ArchiveNode* node) {
        const QModelIndex cell = model.indexOfNode(node, ColSize);
        for (const QList<QVariant>& signal : changed) {
            const QModelIndex from = signal.at(0).value<QModelIndex>();
            const QModelIndex to = signal.at(1).value<QModelIndex>();
            if (from.parent() == cell.parent() && from.row() <= cell.row() && cell.row() <= to.row()
                && from.column() <= ColSize && ColSize <= to.column())
                return true;
        }
        return false;
    };
    for (const ArchiveNode* node : {rows[0], rows[1], rows[2], sub})
        EXPECT_TRUE(covered(node)) << node->position << " level " << node->level;

    // The same maximum again repaints nothing more.
    changed.clear();
    model.setMaxSize(400);
    model.flushChanges();
    EXPECT_TRUE(changed.isEmpty());
}

TEST(RowPainting, StripesFollowPlacesAmongSiblings)
{
    const QColor one(Qt::yellow), two(Qt::cyan);
    EXPECT_EQ(rowBackground(0, 2, one, two), one);
    EXPECT_EQ(rowBackground(1, 0, one, two), two);
    EXPECT_FALSE(rowBackground(0, 1, one, two).has_value());
}

TEST(RowPainting, BarLengthAndRectangles)
{
    EXPECT_EQ(barLength(50, 100, 181), 90);  // 90.5 rounds to even
    EXPECT_EQ(barLength(100, 100, 181), 181);
    EXPECT_EQ(barLength(0, 100, 181), 0);
    EXPECT_EQ(barLength(5, 0, 181), 0);      // no maximum yet
    const Edges cell {10, 20, 191, 38};
    const DisplayFlags all;
    SizeBarLayout half = sizeBarLayout(cell, 50, 100, all);
    ASSERT_TRUE(half.frame && half.bar);
    EXPECT_EQ(*half.frame, (Edges {12, 22, 191, 36}));
    EXPECT_EQ(*half.bar, (Edges {13, 23, 99, 35}));  // x from L+3 to L+88 inclusive
    EXPECT_TRUE(half.gradient);

    // A length of 3 gives no bar, 5 a bar one pixel wide.
    const Edges narrow {0, 0, 100, 18};
    EXPECT_FALSE(sizeBarLayout(narrow, 3, 100, all).bar);
    ASSERT_TRUE(sizeBarLayout(narrow, 5, 100, all).bar);
    const Edges five = *sizeBarLayout(narrow, 5, 100, all).bar;
    EXPECT_EQ(five.right - five.left, 1);

    const SizeBarLayout unmeasured = sizeBarLayout(cell, 0, 0, all);
    EXPECT_TRUE(unmeasured.frame);
    EXPECT_FALSE(unmeasured.bar);
    EXPECT_FALSE(sizeBarLayout(cell, 50, 100, {true, true, false}).frame);
    EXPECT_FALSE(sizeBarLayout(cell, 50, 100, {true, true, false}).bar);
    const SizeBarLayout plain = sizeBarLayout(cell, 50, 100, {false, false, true});
    EXPECT_FALSE(plain.frame);
    EXPECT_TRUE(plain.bar);
    EXPECT_FALSE(plain.gradient);
}

TEST(RowPainting, PaintedCellShowsFrameGradientAndPlainBar)
{
    QImage image(200, 18, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        const QPen pen(Qt::red);
        p.setPen(pen);
        paintSizeBar(p, QRect(0, 0, 181, 18), 50, 100, DisplayFlags {});
        EXPECT_EQ(p.pen(), pen);  // FillGradient leaves the pen as it was
    }
    EXPECT_EQ(image.pixelColor(2, 9), kFrameOutline);     // left outline at L+2
    EXPECT_EQ(image.pixelColor(180, 9), kFrameOutline);   // right outline at R-1
    EXPECT_EQ(image.pixelColor(120, 9), kFrameFill);
    EXPECT_EQ(image.pixelColor(3, 3), kGradientTop);      // first bar line, exact start colour
    EXPECT_EQ(image.pixelColor(3, 15), kGradientBottom);  // line B-3, exact end colour, over the frame
    EXPECT_EQ(image.pixelColor(88, 9).rgb(), image.pixelColor(3, 9).rgb());
    EXPECT_EQ(image.pixelColor(89, 9), kFrameFill);       // the bar ends at L+88
    EXPECT_EQ(image.pixelColor(190, 9), QColor(Qt::white));

    image.fill(Qt::white);
    {
        QPainter p(&image);
        paintSizeBar(p, QRect(0, 0, 181, 18), 50, 100, {false, true, true});
    }
    EXPECT_EQ(image.pixelColor(3, 3), kPlainBar);
    EXPECT_EQ(image.pixelColor(40, 9), kPlainBar);
    EXPECT_EQ(image.pixelColor(40, 14), kPlainBar);       // B-4
    EXPECT_EQ(image.pixelColor(40, 15), kFrameOutline);   // the plain bar leaves the frame's bottom line
}

TEST(RowPainting, GradientLinesRoundHalvesToEven)
{
    QImage image(4, 3, QImage::Format_RGB32);
    {
        QPainter p(&image);
        FillGradient(p, QColor(0, 0, 0), QColor(1, 3, 5), Edges {0, 0, 4, 2});
    }
    // Middle line: 0.5, 1.5, 2.5 round to 0, 2, 2.
    EXPECT_EQ(image.pixelColor(0, 1), QColor(0, 2, 2));
    EXPECT_EQ(image.pixelColor(3, 2), QColor(1, 3, 5));
}

TEST(DetailPanel, TextsAndSlicesOfARow)
{
    TTobData r;
    r.Size = 1536;
    r.SizeRoot = 1024;
    r.AnhangSizeG = 512;
    r.Pfad = QStringLiteral("SRV01:DAVID\\ARCHIVE\\USER\\0000ABCD");
    r.FullPath = QStringLiteral("\\\\SRV01\\DAVID\\ARCHIVE\\USER\\0000ABCD");
    const DetailTexts t = detailTexts(r, QStringLiteral("Anna"), german);
    EXPECT_EQ(t.sizeGesamt, QStringLiteral("1536,0 MByte (1,5 GB)"));
    EXPECT_EQ(t.spTobit, QStringLiteral("1024,0 MByte (1,0 GB)"));
    EXPECT_EQ(t.sizeUnterarchive, QStringLiteral("512,0 MByte (0,5 GB)"));
    EXPECT_EQ(t.spTobit2, QStringLiteral(" / davon 512,0 MB an Dateianhängen"));
    EXPECT_EQ(t.archivId, r.Pfad);  // "ArchiveID:" shows the server path, "Pfad:" the full path
    EXPECT_EQ(t.pfad, r.FullPath);
    EXPECT_EQ(t.title, QStringLiteral("Anna"));
    EXPECT_EQ(t.rest, 1024);
    EXPECT_EQ(t.anhaenge, 512);

    const DetailTexts empty = detailTexts(TTobData {}, QString(), german);
    EXPECT_EQ(empty.sizeGesamt, QStringLiteral("0,0 MByte (0,0 GB)"));
    EXPECT_EQ(empty.rest, 0);
    EXPECT_EQ(empty.anhaenge, 0);
}

int main(int argc, char** argv)
{
    // Painting wants a GUI application; test discovery runs without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
