// The high-performance table: keyed rows, the Qt adapter (sort, filter, statistics row),
// deferred syncs and the saved view configuration.

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <boost/make_shared.hpp>

#include "TC/TradeDockableWidget.h"
#include "ttservice/BondTenderRecords.h"
#include "framework_support.h"

using namespace fwtest;

TEST_F(TableFixture, shouldStayConsistentAndSortStablyThroughInsertsRemovalsSortAndFilterBesideItsTotals)
{
    QAbstractItemModelTester tester(table->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    fill();
    sync();   // same rows: a value-only sync

    // Numbers sort by value, equal ones in insertion order; texts by code point (丁 丙 乙 甲)
    const std::pair<int, Qt::SortOrder> sorts[] = {{1, Qt::AscendingOrder}, {1, Qt::DescendingOrder}, {0, Qt::AscendingOrder}};
    const QStringList expected[] = {{"2", "4", "3", "1"}, {"1", "3", "2", "4"}, {"4", "3", "1", "2"}};
    for (int i = 0; i < 3; ++i) {
        table->sortByColumn(sorts[i].first, sorts[i].second);
        EXPECT_EQ(shownKeys(*table), expected[i]) << i;
    }

    // A sort and a filter survive later syncs; a replaced key keeps its place, a removed one comes back at the end
    table->sortByColumn(1, Qt::DescendingOrder);
    EXPECT_TRUE(model->removeDataByKey("2"));
    EXPECT_FALSE(model->removeDataByKey("2"));
    model->addData(row("3", QStringLiteral("丙组合"), 0.25));
    model->addData(row("5", QStringLiteral("戊基金"), 0.5));
    model->addData(row("2", QStringLiteral("甲基金"), 1.0));
    sync();
    table->setColumnFilter(0, QStringLiteral("基金"));
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "4", "2", "5"}));
    // And the statistics row stays out of the rows, untouched by sort and filter
    const QAbstractItemModel* stat = table->statView()->model();
    ASSERT_EQ(stat->rowCount(), 1);
    EXPECT_EQ(stat->index(0, 0).data().toString(), QStringLiteral("合计"));
    table->clearFilter();
    table->clearSort();
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "3", "4", "5", "2"}));
    model->clear();
    table->clear();
    table->syncNow();
    EXPECT_EQ(table->qtModel()->rowCount(), 0);
}

// A total must never be cut off: its column grows to it, and never shrinks under the user.
TEST_F(TableFixture, shouldWidenAColumnUntilItsTotalShowsWholeAndNeverNarrowIt)
{
    fill();
    QHeaderView* header = table->view()->horizontalHeader();
    QHeaderView* statHeader = table->statView()->horizontalHeader();
    table->setColumnWidth(1, 30);
    table->setColumnWidth(2, 300);
    header->hideSection(2);
    model->total = QStringLiteral("1234567890.0000");
    sync();
    QFont bold = table->statView()->model()->index(0, 1).data(Qt::FontRole).value<QFont>();
    const int textWidth = QFontMetrics(bold).horizontalAdvance(model->total);
    EXPECT_GT(header->sectionSize(1), textWidth);
    EXPECT_EQ(statHeader->sectionSize(1), header->sectionSize(1));
    EXPECT_TRUE(header->isSectionHidden(2));

    // A smaller total leaves the width alone
    const int widened = header->sectionSize(1);
    model->total = QStringLiteral("1.0000");
    sync();
    EXPECT_EQ(header->sectionSize(1), widened);
}

// A text in sight must not be cut off either: after the rows change, a column grows to the
// texts of the rows shown, up to a limit; values typed into the same rows leave it alone.
TEST_F(TableFixture, shouldWidenColumnsToTheShownTextsWhenTheRowsChange)
{
    // Column 2 shows the names and has no total
    model->total.clear();
    QHeaderView* header = table->view()->horizontalHeader();
    table->setColumnWidth(2, 20);
    show();
    fill();
    const int nameWidth = QFontMetrics(table->view()->font()).horizontalAdvance(QStringLiteral("乙基金"));
    EXPECT_GT(header->sectionSize(2), nameWidth);

    // A value-only sync after the user narrowed the column keeps the user's width
    header->resizeSection(2, 20);
    sync();
    EXPECT_EQ(header->sectionSize(2), 20);

    // New rows fit again, a very long text only up to the limit
    model->addData(row("9", QString(400, QLatin1Char('W')), 5.0));
    sync();
    EXPECT_EQ(header->sectionSize(2), 320);
}

TEST_F(TableFixture, shouldSortOnHeaderClickOnlyForSortableColumns)
{
    fill();
    show();
    QHeaderView* header = table->view()->horizontalHeader();
    const auto clickHeader = [header] {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(1) + 10, header->height() / 2));
    };
    clickHeader();   // not sortable yet
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "2", "3", "4"}));
    table->setColumnSortable(1, true);
    clickHeader();
    EXPECT_EQ(shownKeys(*table), (QStringList{"2", "4", "3", "1"}));
    clickHeader();
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "3", "2", "4"}));
}

TEST_F(TableFixture, shouldSyncOnceForManyUpdateRequests)
{
    fill();
    const int before = table->syncCount();
    for (int i = 0; i < 1000; ++i) {
        model->addData(row("k" + std::to_string(i), QStringLiteral("产品"), i));
        table->updateTable();
    }
    EXPECT_EQ(table->qtModel()->rowCount(), 4);   // nothing shown before control returns to the loop
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(table->syncCount(), before + 1);
    EXPECT_EQ(table->qtModel()->rowCount(), 1004);
}

TEST_F(TableFixture, shouldRestoreWidthsOrderAndSortFromItsConfigurationAndRefuseGarbledOnes)
{
    // Given a table whose user changed widths, order and sort
    fill();
    table->setColumnWidth(0, 130);
    table->view()->horizontalHeader()->moveSection(1, 0);
    table->sortByColumn(1, Qt::DescendingOrder);
    const QString config = table->saveConfigStr();

    // When a fresh table loads it, then it looks the same
    KZ::CStandardHpfTable other(1, nullptr, 0);
    auto* otherModel = new CTestModel;   // owned by other
    other.setDataModel(otherModel);
    otherModel->addData(row("1", QStringLiteral("甲"), 1.0));
    otherModel->addData(row("2", QStringLiteral("乙"), 2.0));
    other.syncNow();
    ASSERT_TRUE(other.loadConfigStr(config));
    QHeaderView* header = other.view()->horizontalHeader();
    EXPECT_EQ(header->sectionSize(0), 130);
    EXPECT_EQ(header->logicalIndex(0), 1);
    EXPECT_EQ(shownKeys(other), (QStringList{"2", "1"}));
    EXPECT_EQ(other.saveConfigStr(), config);

    // And emptying it for a new load keeps the columns as they are
    otherModel->clear();
    other.clear();
    other.syncNow();
    EXPECT_EQ(header->sectionSize(0), 130);

    // And a garbled configuration is refused without changing the view
    const QString bad[] = {QString(), QStringLiteral("garbage"), QStringLiteral("hpf1;w=1,x;o=0,1;s=-1,0"),
                           QStringLiteral("hpf1;w=80,80;o=0,0;s=-1,0"), QStringLiteral("hpf1;w=80,80;o=1,0;s=1,7"),
                           QStringLiteral("hpf1;w=-5;o=;s=-1,0"), QStringLiteral("hpf1;w=80|x;o=0,1;s=0,0")};
    for (const QString& garbled : bad) {
        EXPECT_FALSE(other.loadConfigStr(garbled)) << garbled.toStdString();
        EXPECT_EQ(other.saveConfigStr(), config);
    }
}

TEST(FrameworkDataTable, shouldApplyAConfigurationLoadedBeforeTheFirstRecordArrived)
{
    // Given a data table configured before it has any column
    auto record = boost::make_shared<ttservice::CWinBidInfoDetail>();
    record->bondCode = "B1";
    record->rowKey = "1";
    record->remark = "first";
    TC::CHpfDataTable source(445, ttservice::RT_WIN_BID_DETAIL, nullptr);
    source.updateDataFixColor(record, QStringLiteral("clr_global_flat"), false);
    source.syncNow();
    source.setColumnWidth(1, 150);
    TC::CHpfDataTable table(445, ttservice::RT_WIN_BID_DETAIL, nullptr);
    ASSERT_TRUE(table.loadConfigStr(source.saveConfigStr()));

    // When the record arrives twice
    table.updateDataFixColor(record, QStringLiteral("clr_global_flat"), false);
    record->remark = "second";
    table.updateDataFixColor(record, QStringLiteral("clr_global_flat"), false);
    QCoreApplication::processEvents();

    // Then the columns are the record's fields, one row per key, with the loaded widths
    const QAbstractItemModel* qt = table.qtModel();
    ASSERT_EQ(qt->columnCount(), static_cast<int>(record->bsonValueToObj().elements().size()));
    EXPECT_EQ(qt->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("remark"));
    EXPECT_EQ(qt->rowCount(), 1);
    EXPECT_EQ(qt->index(0, 1).data().toString(), QStringLiteral("second"));
    EXPECT_EQ(table.view()->horizontalHeader()->sectionSize(1), 150);
}

TEST_F(TableFixture, shouldOfferEditingOnlyWhereTheColumnDelegateAllowsIt)
{
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    table->setColumnDelegate(1, delegate);
    delegate->setItemText(QStringLiteral("1"), QStringLiteral("9.0000"));
    delegate->setItemVisible(QStringLiteral("2"), false);   // a hidden input box shows the model's text
    delegate->setItemText(QStringLiteral("2"), QStringLiteral("8.0000"));
    fill();
    const QAbstractItemModel* qt = table->qtModel();
    EXPECT_EQ(qt->index(0, 1).data().toString(), QStringLiteral("9.0000"));
    EXPECT_EQ(qt->index(1, 1).data().toString(), QStringLiteral("1.0000"));
    EXPECT_TRUE(qt->flags(qt->index(1, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(qt->flags(qt->index(0, 0)) & Qt::ItemIsEditable);
    delegate->setLineEditable(false);
    EXPECT_FALSE(qt->flags(qt->index(0, 1)) & Qt::ItemIsEditable);
}
