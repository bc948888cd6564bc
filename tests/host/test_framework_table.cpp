// The high-performance table: keyed rows, the Qt adapter (sort, filter, statistics row),
// deferred syncs and the saved view configuration.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <boost/make_shared.hpp>
#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <cfloat>
#include <memory>

#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/HpfTableModel.h"
#include "KZ/StandardHpfTable.h"
#include "TC/TradeDockableWidget.h"

namespace {

class CTestRow : public KZ::IBaseHpfTableData {
public:
    CTestRow(std::string key, QString name, double amount) : key_(std::move(key)), name_(std::move(name)), amount_(amount) {}
    QString getDisplayQString(int column) const override
    {
        return column == 0 ? name_ : KZ::formatDoubleNumber(amount_, 4, utils::FNF_NONE, false, QStringLiteral("-"));
    }
    double getDouble(int column) const override { return column == 1 ? amount_ : DBL_MAX; }
    std::string key() const override { return key_; }

private:
    std::string key_;
    QString name_;
    double amount_;
};

class CTestModel : public KZ::IBaseHpfTableModel {
public:
    CTestModel() : KZ::IBaseHpfTableModel(true) {}
    int columnCount() const override { return 2; }
    QString columnHeader(int column) const override { return column == 0 ? QStringLiteral("产品") : QStringLiteral("中标量(亿)"); }
    QVariant::Type columnType(int column) const override { return column == 1 ? QVariant::Double : QVariant::String; }
    QString getStatDispalyQString(int column) const override { return column == 0 ? QStringLiteral("合计") : total; }
    QString total = QStringLiteral("0.0000");
};

KZ::IBaseHpfTableDataPtr row(const std::string& key, const QString& name, double amount)
{
    return KZ::IBaseHpfTableDataPtr(new CTestRow(key, name, amount));
}

// The row keys in the order the view shows them.
QStringList shownKeys(const KZ::CStandardHpfTable& table)
{
    QStringList keys;
    const QAbstractItemModel* model = table.qtModel();
    for (int r = 0; r < model->rowCount(); ++r)
        keys << model->index(r, 0).data(KZ::kRowKeyRole).toString();
    return keys;
}

struct TableFixture : ::testing::Test {
    void SetUp() override
    {
        owner = std::make_unique<QWidget>();
        table = new KZ::CStandardHpfTable(0, owner.get(), 255);
        table->setFlag(table->flag() | KZ::CStandardHpfTable::TF_EDITABLE | KZ::CStandardHpfTable::TF_HEADER_SORT
                       | KZ::CStandardHpfTable::TF_STAT_ROW);
        model = new CTestModel;
        table->setDataModel(model);
    }
    void fill()
    {
        model->addData(row("1", QStringLiteral("乙基金"), 3.0));
        model->addData(row("2", QStringLiteral("甲基金"), 1.0));
        model->addData(row("3", QStringLiteral("丙组合"), 2.0));
        model->addData(row("4", QStringLiteral("丁基金"), 1.0));
        table->updateTable();
        table->syncNow();
    }
    std::unique_ptr<QWidget> owner;
    KZ::CStandardHpfTable* table = nullptr;   // owned by owner
    CTestModel* model = nullptr;              // owned by table
};

} // namespace

TEST(FrameworkHpfModel, shouldKeepInsertionOrderAndFindReplaceRemoveByKey)
{
    // Given three rows
    CTestModel model;
    model.addData(row("a", QStringLiteral("A"), 1));
    model.addData(row("b", QStringLiteral("B"), 2));
    model.addData(row("c", QStringLiteral("C"), 3));
    const auto revisionBefore = model.revision();

    // When b is replaced and a is removed
    model.addData(row("b", QStringLiteral("B2"), 5));
    EXPECT_TRUE(model.removeDataByKey("a"));
    EXPECT_FALSE(model.removeDataByKey("a"));

    // Then b keeps its place, a is gone everywhere, and every change bumped the revision
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.dataAt(0)->getDisplayQString(0), QStringLiteral("B2"));
    EXPECT_EQ(model.dataAt(1)->key(), "c");
    EXPECT_FALSE(model.dataAt(2));
    EXPECT_FALSE(model.getDataByKey("a"));
    EXPECT_EQ(model.getDataByKey("c")->getDouble(1), 3.0);
    EXPECT_EQ(model.getDatas().size(), 2);
    EXPECT_EQ(model.revision(), revisionBefore + 2);

    // And a removed key can come back, at the end
    model.addData(row("a", QStringLiteral("A"), 1));
    EXPECT_EQ(model.dataAt(2)->key(), "a");
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.getDataByKey("b"));
}

TEST(FrameworkHpfModel, shouldGiveNoValueMarksByDefault)
{
    struct CBareRow : KZ::IBaseHpfTableData {
        std::string key() const override { return "k"; }
    } bare;
    EXPECT_EQ(bare.getInt(0), 2147483647);
    EXPECT_EQ(bare.getLongLong(0), 9223372036854775807LL);
    EXPECT_EQ(bare.getDouble(0), DBL_MAX);
    EXPECT_TRUE(bare.getDisplayQString(0).isEmpty());
    EXPECT_TRUE(bare.getColor(0).isValid());
}

TEST_F(TableFixture, shouldStayConsistentForItemViewsThroughInsertsRemovalsSortAndFilter)
{
    QAbstractItemModelTester tester(table->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    fill();
    table->updateTable();   // same rows: a value-only sync
    table->syncNow();
    model->removeDataByKey("2");
    model->addData(row("5", QStringLiteral("戊基金"), 0.5));
    table->updateTable();
    table->syncNow();
    table->sortByColumn(1, Qt::DescendingOrder);
    table->setColumnFilter(0, QStringLiteral("基金"));
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "4", "5"}));
    table->clearFilter();
    table->clearSort();
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "3", "4", "5"}));
    model->clear();
    table->clear();
    table->syncNow();
    EXPECT_EQ(table->qtModel()->rowCount(), 0);
}

TEST_F(TableFixture, shouldShowRowsHeadersColoursAndStatisticsRowOutsideTheRows)
{
    fill();
    const QAbstractItemModel* qt = table->qtModel();
    EXPECT_EQ(qt->rowCount(), 4);   // the totals are not a data row
    EXPECT_EQ(qt->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("中标量(亿)"));
    EXPECT_EQ(qt->index(2, 1).data().toString(), QStringLiteral("2.0000"));
    EXPECT_TRUE(qt->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color().isValid());

    model->total = QStringLiteral("7.0000");
    table->updateTable();
    table->syncNow();
    const QAbstractItemModel* stat = table->statView()->model();
    ASSERT_EQ(stat->rowCount(), 1);
    EXPECT_EQ(stat->index(0, 0).data().toString(), QStringLiteral("合计"));
    EXPECT_EQ(stat->index(0, 1).data().toString(), QStringLiteral("7.0000"));
    EXPECT_TRUE(stat->index(0, 1).data(Qt::FontRole).value<QFont>().bold());

    // Sorting and filtering leave the totals alone
    table->sortByColumn(1, Qt::AscendingOrder);
    table->setColumnFilter(0, QStringLiteral("丙"));
    EXPECT_EQ(stat->rowCount(), 1);
    EXPECT_EQ(stat->index(0, 1).data().toString(), QStringLiteral("7.0000"));
}

TEST_F(TableFixture, shouldSortStablyByNumberForDoubleColumnsAndByTextOtherwise)
{
    fill();
    table->sortByColumn(1, Qt::AscendingOrder);
    EXPECT_EQ(shownKeys(*table), (QStringList{"2", "4", "3", "1"}));   // equal amounts keep insertion order
    table->sortByColumn(1, Qt::DescendingOrder);
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "3", "2", "4"}));
    table->sortByColumn(0, Qt::AscendingOrder);
    EXPECT_EQ(shownKeys(*table), (QStringList{"4", "3", "1", "2"}));   // 丁 丙 乙 甲 by code point
    table->clearSort();
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "2", "3", "4"}));

    // And a sort survives later syncs
    table->sortByColumn(1, Qt::AscendingOrder);
    model->addData(row("5", QStringLiteral("戊基金"), 0.5));
    table->updateTable();
    table->syncNow();
    EXPECT_EQ(shownKeys(*table).first(), QStringLiteral("5"));
}

TEST_F(TableFixture, shouldSortOnHeaderClickOnlyForSortableColumns)
{
    fill();
    owner->resize(400, 300);
    owner->show();
    QHeaderView* header = table->view()->horizontalHeader();
    const auto clickHeader = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
    };

    clickHeader(1);   // not sortable yet
    EXPECT_EQ(table->sortColumn(), -1);
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "2", "3", "4"}));

    table->setColumnSortable(1, true);
    clickHeader(1);
    EXPECT_EQ(table->sortColumn(), 1);
    EXPECT_EQ(shownKeys(*table), (QStringList{"2", "4", "3", "1"}));
    clickHeader(1);
    EXPECT_EQ(table->sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "3", "2", "4"}));
}

TEST_F(TableFixture, shouldSyncOnceForManyUpdateRequests)
{
    fill();
    const int before = table->syncCount();
    for (int i = 0; i < 1000; ++i) {
        model->addData(row(std::to_string(100 + i), QStringLiteral("产品"), i));
        table->updateTable();
    }
    EXPECT_EQ(table->qtModel()->rowCount(), 4);   // nothing shown before control returns to the loop
    QCoreApplication::processEvents();
    EXPECT_EQ(table->syncCount(), before + 1);
    EXPECT_EQ(table->qtModel()->rowCount(), 1004);
    QCoreApplication::processEvents();
    EXPECT_EQ(table->syncCount(), before + 1);
}

TEST_F(TableFixture, shouldRestoreWidthsOrderAndSortFromItsConfiguration)
{
    // Given a table whose user changed widths, order and sort
    fill();
    table->setColumnWidth(0, 130);
    table->setColumnWidth(1, 95);
    table->view()->horizontalHeader()->moveSection(1, 0);
    table->sortByColumn(1, Qt::DescendingOrder);
    const QString config = table->saveConfigStr();

    // When a fresh table loads it
    KZ::CStandardHpfTable other(1, nullptr, 0);
    auto* otherModel = new CTestModel;
    other.setDataModel(otherModel);
    otherModel->addData(row("1", QStringLiteral("甲"), 1.0));
    otherModel->addData(row("2", QStringLiteral("乙"), 2.0));
    other.syncNow();
    ASSERT_TRUE(other.loadConfigStr(config));

    // Then it looks the same
    QHeaderView* header = other.view()->horizontalHeader();
    EXPECT_EQ(header->sectionSize(0), 130);
    EXPECT_EQ(header->sectionSize(1), 95);
    EXPECT_EQ(header->logicalIndex(0), 1);
    EXPECT_EQ(other.sortColumn(), 1);
    EXPECT_EQ(other.sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(shownKeys(other), (QStringList{"2", "1"}));
    EXPECT_EQ(other.saveConfigStr(), config);

    // And emptying the table for a new load keeps the columns as they are
    otherModel->clear();
    other.clear();
    other.syncNow();
    EXPECT_EQ(header->sectionSize(0), 130);
    EXPECT_EQ(header->logicalIndex(0), 1);
}

TEST_F(TableFixture, shouldRefuseEmptyOrGarbledConfigurationWithoutChangingTheView)
{
    fill();
    table->setColumnWidth(0, 111);
    const QString before = table->saveConfigStr();
    const QString bad[] = {QString(), QStringLiteral("garbage"), QStringLiteral("hpf1;w=1,x;o=0,1;s=-1,0"),
                           QStringLiteral("hpf1;w=80,80;o=0,0;s=-1,0"), QStringLiteral("hpf1;w=80,80;o=1,0;s=1,7"),
                           QStringLiteral("hpf1;w=-5;o=;s=-1,0"), QStringLiteral("hpf1;w=80|x;o=0,1;s=0,0")};
    for (const QString& config : bad) {
        EXPECT_FALSE(table->loadConfigStr(config)) << config.toStdString();
        EXPECT_EQ(table->saveConfigStr(), before);
    }
}

TEST(FrameworkDataTable, shouldApplyAConfigurationLoadedBeforeTheFirstRecordArrived)
{
    // Given a data table configured before it has any column
    TC::CHpfDataTable source(445, 30097, nullptr);
    struct CRecord : ttservice::IData {
        std::string key;
        double amount = 0;
        std::string getKey() const override { return key; }
        int dataType() const override { return 30097; }
        bool bsonValueFromObj(const ttservice::BSONObj&, bool, const ttservice::IData*) override { return false; }
        ttservice::BSONObj bsonValueToObj() const override
        {
            ttservice::BSONObjBuilder builder;
            builder.append("key", key).append("amount", amount);
            return builder.obj();
        }
    };
    auto record = boost::make_shared<CRecord>();
    record->key = "K1";
    record->amount = 2.5;
    source.updateDataFixColor(record, QStringLiteral("clr_global_flat"), false);
    source.syncNow();
    source.setColumnWidth(1, 150);
    const QString config = source.saveConfigStr();

    TC::CHpfDataTable table(445, 30097, nullptr);
    ASSERT_TRUE(table.loadConfigStr(config));
    EXPECT_EQ(table.saveConfigStr(), config);   // kept until the columns exist

    // When records arrive (one of them twice)
    table.updateDataFixColor(record, QStringLiteral("clr_global_flat"), false);
    record->amount = 3.0;
    table.updateDataFixColor(record, QStringLiteral("clr_global_flat"), false);
    QCoreApplication::processEvents();

    // Then the columns are the record's fields, one row per key, with the loaded widths
    const QAbstractItemModel* qt = table.qtModel();
    ASSERT_EQ(qt->columnCount(), 2);
    EXPECT_EQ(qt->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("key"));
    EXPECT_EQ(qt->rowCount(), 1);
    EXPECT_EQ(qt->index(0, 1).data().toString(), QStringLiteral("3.0000"));
    EXPECT_EQ(table.updateCount(), 2);
    EXPECT_EQ(table.view()->horizontalHeader()->sectionSize(1), 150);

    table.clear();
    table.syncNow();
    EXPECT_EQ(qt->rowCount(), 0);
}

TEST_F(TableFixture, shouldOfferEditingOnlyWhereTheColumnDelegateAllowsIt)
{
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    table->setColumnDelegate(1, delegate);
    fill();
    const QAbstractItemModel* qt = table->qtModel();
    EXPECT_TRUE(qt->flags(qt->index(0, 1)) & Qt::ItemIsEditable);
    EXPECT_FALSE(qt->flags(qt->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_EQ(delegate->parent(), table);

    // A hidden input box shows the model's text but can still be edited
    delegate->setItemText(QStringLiteral("1"), QStringLiteral("9.0000"));
    delegate->setItemVisible(QStringLiteral("2"), false);
    delegate->setItemText(QStringLiteral("2"), QStringLiteral("8.0000"));
    table->updateTable();
    table->syncNow();
    EXPECT_EQ(qt->index(0, 1).data().toString(), QStringLiteral("9.0000"));
    EXPECT_EQ(qt->index(1, 1).data().toString(), QStringLiteral("1.0000"));
    EXPECT_TRUE(qt->flags(qt->index(1, 1)) & Qt::ItemIsEditable);

    delegate->setLineEditable(false);
    EXPECT_FALSE(qt->flags(qt->index(0, 1)) & Qt::ItemIsEditable);
}
