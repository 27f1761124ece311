// The archive table's model without a view, always under QAbstractItemModelTester: what the rest of the
// program reads from it (records, levels, the rows in the current order, the numbers the delegate paints
// from), the coalesced repaints, and persistent indexes that follow their rows through a sort. The sort
// order itself: test_table_sort.cpp.

#include "app/archive_node.h"
#include "app/archive_table_model.h"

#include <QAbstractItemModelTester>
#include <QGuiApplication>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QLocale german(QLocale::German, QLocale::Germany);

const auto allExpanded = [](const ArchiveNode&) { return true; };

// The model tester reports its findings as warnings in its own category; each one fails the test.
class TableModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        s_findings.clear();
        m_previous = qInstallMessageHandler(collect);
        m_tester =
            std::make_unique<QAbstractItemModelTester>(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    void TearDown() override
    {
        m_tester.reset();
        qInstallMessageHandler(m_previous);
        EXPECT_TRUE(s_findings.isEmpty()) << s_findings.join(QLatin1Char('\n')).toStdString();
    }

    ArchiveTableModel model;

private:
    static void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type != QtDebugMsg && type != QtInfoMsg && context.category
            && QByteArray(context.category) == "qt.modeltest")
            s_findings << message;
    }

    static inline QStringList s_findings;
    QtMessageHandler m_previous = nullptr;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

}  // namespace

TEST_F(TableModel, OffersRecordsAndPaintingNumbersThroughRoles)
{
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
    EXPECT_EQ(model.index(1, 0).data(ArchiveTableModel::PositionRole).toInt(), 1);

    model.removeChildren(a);
    EXPECT_FALSE(model.hasChildren(model.indexOfNode(a)));
    EXPECT_EQ(model.nodeOfRecord(a->data.get()), a);
}

// A new maximum changes every bar: the next flush repaints the size cell of every row, not only the rows
// that published.
TEST_F(TableModel, NewMaximumRepaintsEveryBar)
{
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

TEST_F(TableModel, PersistentIndexesFollowTheirRowsThroughASort)
{
    model.setFormats(CellFormats(german));

    const auto add = [&](ArchiveNode* parent, const char* name, long double size) {
        ArchiveNode* node = parent ? model.appendChild(parent) : model.appendTopLevel();
        node->data->TobitUser = QString::fromLatin1(name);
        node->data->Size = size;
        model.refreshNode(node);
        return node;
    };
    ArchiveNode* small = add(nullptr, "small", 1);
    ArchiveNode* big = add(nullptr, "big", 9);
    ArchiveNode* middle = add(nullptr, "middle", 5);
    ArchiveNode* x = add(big, "x", 1);
    add(big, "y", 2);
    ArchiveNode* z = add(big, "z", 3);
    ArchiveNode* p = add(middle, "p", 1);
    add(middle, "q", 2);

    // Indexes into several columns and levels, as a view and its selection hold them.
    std::vector<std::pair<QPersistentModelIndex, const ArchiveNode*>> held;
    for (ArchiveNode* node : {small, big, middle, x, big->child(1), z, p, middle->child(1)})
        for (int column : {int(ColUser), int(ColSize), int(ColOldest)})
            held.emplace_back(model.indexOfNode(node, column), node);
    const auto expectHeldFollow = [&] {
        for (const auto& [index, node] : held) {
            ASSERT_TRUE(index.isValid());
            EXPECT_EQ(model.nodeFromIndex(index), node);
            EXPECT_EQ(index.row(), node->position);
            EXPECT_EQ(index.parent(), node->level == 0 ? QModelIndex() : model.indexOfNode(node->parent));
            EXPECT_EQ(index.data().toString(), model.data(model.indexOfNode(node, index.column())).toString());
        }
    };

    const auto isOpen = [&](const ArchiveNode& node) { return &node == big; };
    model.sortTable(ColSize, true, isOpen);
    EXPECT_EQ(model.index(0, ColUser).data().toString(), QStringLiteral("big"));
    EXPECT_EQ(model.index(2, ColUser).data().toString(), QStringLiteral("small"));
    EXPECT_EQ(model.index(0, ColUser, model.index(0, 0)).data().toString(), QStringLiteral("z"));
    EXPECT_EQ(middle->child(0), p);  // collapsed: unchanged
    expectHeldFollow();

    model.sortTable(ColSize, false, isOpen);
    EXPECT_EQ(model.root()->child(0), small);
    EXPECT_EQ(big->child(0), x);
    expectHeldFollow();
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
