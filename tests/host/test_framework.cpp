// The host framework's tables and widgets: keyed rows (also under long random sequences of
// changes against a plain list), the Qt adapter (sort, filter, statistics row), deferred
// syncs, the saved view configuration, and editing and events through real widgets: cell
// editors, clickable cells, parameter cells, radio groups, buttons and the delivery of
// their events up the widget chain.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <boost/make_shared.hpp>
#include <cfloat>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "KZ/BaseWidget.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/HpfTableModel.h"
#include "KZ/StandardHpfTable.h"
#include "KZ/Widgets.h"
#include "TC/AutoLineEditDelegate.h"
#include "TC/OpButton.h"
#include "TC/TradeDockableWidget.h"
#include "ttservice/BondTenderRecords.h"

namespace {

struct SEvent {
    int id;
    int sender;
    int intParam;
    QString text;
    QString typed;   // the QString behind the pointer of 226
};

// A widget owning children, as a panel does: records what reaches it.
class CRecordingWidget : public KZ::CBaseWidget {
public:
    explicit CRecordingWidget(QWidget* parent = nullptr, bool consume = true)
        : KZ::CBaseWidget(QStringLiteral("test"), false, parent), consume_(consume) {}
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override
    {
        SEvent event{nEventID, nSenderID, nIntParam, qsParam, QString()};
        if (nEventID == KZ::EVT_LINEEDIT_FINISHED && pParam != nullptr)
            event.typed = *static_cast<QString*>(pParam);
        events.push_back(event);
        if (onEvent)
            onEvent(event);
        return consume_;
    }
    std::vector<SEvent> eventsWithId(int id) const
    {
        std::vector<SEvent> result;
        std::copy_if(events.begin(), events.end(), std::back_inserter(result), [id](const SEvent& e) { return e.id == id; });
        return result;
    }
    std::vector<SEvent> events;
    std::function<void(const SEvent&)> onEvent;

private:
    bool consume_;
};

// A row of a name (columns 0 and 2) and an amount (column 1).
class CTestRow : public KZ::IBaseHpfTableData {
public:
    CTestRow(std::string key, QString name, double amount) : key_(std::move(key)), name_(std::move(name)), amount_(amount) {}
    QString getDisplayQString(int column) const override
    {
        return column == 1 ? KZ::formatDoubleNumber(amount_, 4, utils::FNF_NONE, false, QStringLiteral("-")) : name_;
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
    int columnCount() const override { return 3; }
    QString columnHeader(int column) const override { return QStringList{"产品", "中标量(亿)", "备注"}.value(column); }
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
    for (int r = 0; r < table.qtModel()->rowCount(); ++r)
        keys << table.qtModel()->index(r, 0).data(KZ::kRowKeyRole).toString();
    return keys;
}

// An editable, sortable table with a statistics row, filling its recording owner.
struct TableFixture : ::testing::Test {
    void SetUp() override
    {
        owner = std::make_unique<CRecordingWidget>();
        table = new KZ::CStandardHpfTable(0, owner.get(), 255);
        table->setFlag(table->flag() | KZ::CStandardHpfTable::TF_EDITABLE | KZ::CStandardHpfTable::TF_HEADER_SORT
                       | KZ::CStandardHpfTable::TF_STAT_ROW);
        owner->setInnerStretchWidget(table);
        model = new CTestModel;
        table->setDataModel(model);
    }
    // Rows "1" to "4"; "2" and "4" have the same amount.
    void fill()
    {
        model->addData(row("1", QStringLiteral("乙基金"), 3.0));
        model->addData(row("2", QStringLiteral("甲基金"), 1.0));
        model->addData(row("3", QStringLiteral("丙组合"), 2.0));
        model->addData(row("4", QStringLiteral("丁基金"), 1.0));
        sync();
    }
    void sync()
    {
        table->updateTable();
        table->syncNow();
    }
    void show()
    {
        owner->resize(400, 300);
        owner->show();
        QApplication::setActiveWindow(owner.get());
    }
    QModelIndex cell(int row, int column) const { return table->qtModel()->index(row, column); }

    std::unique_ptr<CRecordingWidget> owner;
    KZ::CStandardHpfTable* table = nullptr;   // owned by owner
    CTestModel* model = nullptr;              // owned by table
};

// ------------------------------------------------------------------ editing

void pressReturn(QWidget* widget)
{
    QTest::keyClick(widget, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();   // editors close late
}

// A shown table with rows "1" to "4".
struct EditingFixture : TableFixture {
    void SetUp() override
    {
        TableFixture::SetUp();
        fill();
        show();
    }
    QLineEdit* openLineEditor(const QModelIndex& index)
    {
        table->view()->edit(index);
        return qobject_cast<QLineEdit*>(table->view()->indexWidget(index));
    }
    QWidget* editorAt(int row, int column) const { return table->view()->indexWidget(cell(row, column)); }
    void clickCell(int row, int column)
    {
        QTest::mouseClick(table->view()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          table->view()->visualRect(cell(row, column)).center());
    }
};

} // namespace

// ------------------------------------------------------------------ the table

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

namespace {

// A row keyed by a number that its table may change, as tables renumber their rows.
class CNumberedRow : public KZ::IBaseHpfTableData {
public:
    CNumberedRow(int number, QString name) : number(number), name_(std::move(name)) {}
    QString getDisplayQString(int) const override { return name_; }
    std::string key() const override { return std::to_string(number); }
    int number;

private:
    QString name_;
};

} // namespace

TEST_F(TableFixture, shouldShowAnInsertedOrRemovedRowAsSuchAndKeepCellsWithTheirRowsThroughRenumbering)
{
    // Given rows 1 to 4, each told a text in column 1, and the user on row 3
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    table->setColumnDelegate(1, delegate);
    std::vector<boost::shared_ptr<CNumberedRow>> rows;
    for (int number = 1; number <= 4; ++number) {
        rows.push_back(boost::make_shared<CNumberedRow>(number, QStringLiteral("row %1").arg(number)));
        model->addData(rows.back());
        delegate->setItemText(QString::number(number), QStringLiteral("told %1").arg(number));
    }
    sync();
    QAbstractItemModelTester tester(table->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    table->view()->setCurrentIndex(cell(2, 0));
    QSignalSpy inserted(table->qtModel(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(table->qtModel(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(table->qtModel(), &QAbstractItemModel::modelReset);
    const auto renumber = [&] {
        model->clear();
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i]->number = static_cast<int>(i) + 1;
            model->addData(rows[i]);
        }
        sync();
    };

    // When a row is put in after row 1 and all are numbered anew
    rows.insert(rows.begin() + 1, boost::make_shared<CNumberedRow>(0, QStringLiteral("new")));
    renumber();
    delegate->setItemText(QStringLiteral("2"), QStringLiteral("told new"));
    sync();

    // Then the view saw one row come, no reset, and the user is still on the same row
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);
    EXPECT_EQ(inserted[0][2].toInt(), 1);
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(table->view()->currentIndex().row(), 3);
    // And every row kept what it was told, under its new number
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(delegate->getItemText(QStringLiteral("4")), QStringLiteral("told 3"));
    EXPECT_EQ(cell(4, 1).data().toString(), QStringLiteral("told 4"));
    EXPECT_EQ(cell(1, 1).data().toString(), QStringLiteral("told new"));

    // When the first row goes, then the view saw one row go and the rest keep their cells
    rows.erase(rows.begin());
    renumber();
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 0);
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(delegate->getItemText(QStringLiteral("1")), QStringLiteral("told new"));
    EXPECT_EQ(cell(3, 1).data().toString(), QStringLiteral("told 4"));

    // When a row is put in after row 1 and only the rows after it are numbered anew, each put
    // in place of the row that had its new number (the model replaces a row of the same key)
    rows.insert(rows.begin() + 1, boost::make_shared<CNumberedRow>(0, QStringLiteral("newer")));
    for (size_t i = 1; i < rows.size(); ++i) {
        rows[i]->number = static_cast<int>(i) + 1;
        model->addData(rows[i]);
    }
    sync();
    // Then the view saw one row come in the middle and the rows kept their cells
    ASSERT_EQ(inserted.size(), 2);
    EXPECT_EQ(inserted[1][1].toInt(), 1);
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(cell(0, 1).data().toString(), QStringLiteral("told new"));
    EXPECT_EQ(cell(1, 1).data().toString(), QStringLiteral("newer"));
    EXPECT_EQ(cell(4, 1).data().toString(), QStringLiteral("told 4"));

    // When the last row leaves, and a row told something comes and goes before the next sync
    const auto last = rows.back();
    ASSERT_TRUE(model->removeDataByKey("5"));
    const auto passing = boost::make_shared<CNumberedRow>(9, QStringLiteral("passing"));
    model->addData(passing);
    delegate->setItemText(QStringLiteral("9"), QStringLiteral("told passing"));
    ASSERT_TRUE(model->removeDataByKey("9"));
    sync();
    // Then neither keeps its cells: back in the table, each shows its own text
    model->addData(last);
    model->addData(passing);
    sync();
    EXPECT_EQ(cell(4, 1).data().toString(), QStringLiteral("row 4"));
    EXPECT_EQ(cell(5, 1).data().toString(), QStringLiteral("passing"));

    // When one row is told something and no row comes or goes, then the view hears of that
    // row alone, and of nothing at a sync after which nothing was told
    QSignalSpy changed(table->qtModel(), &QAbstractItemModel::dataChanged);
    const int rowChanges = inserted.size() + removed.size() + reset.size();
    delegate->setItemText(QStringLiteral("3"), QStringLiteral("told again"));
    sync();
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 2);
    EXPECT_EQ(changed[0][1].toModelIndex().row(), 2);
    EXPECT_EQ(cell(2, 1).data().toString(), QStringLiteral("told again"));
    table->updateTable();
    sync();
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(inserted.size() + removed.size() + reset.size(), rowChanges);
}

TEST_F(TableFixture, shouldKeepThroughAClearTheCellsOfTheRowsStillInTheModelAndOnlyThose)
{
    // Given rows 1 to 3 shown, each told a text and a visibility in column 1
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    table->setColumnDelegate(1, delegate);
    std::vector<KZ::IBaseHpfTableDataPtr> rows;
    for (int number = 1; number <= 3; ++number) {
        const QString key = QString::number(number);
        rows.push_back(row(key.toStdString(), QStringLiteral("row %1").arg(number), number));
        model->addData(rows.back());
        delegate->setItemText(key, QStringLiteral("told %1").arg(number));
        delegate->setItemVisible(key, true);
    }
    sync();
    QAbstractItemModelTester tester(table->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);

    // When row 2 leaves the model, the table is cleared and row 2 comes back; row 3 is told
    // anew, and a new row 4 is told between two tells of row 3 and then put under key 3
    ASSERT_TRUE(model->removeDataByKey("2"));
    table->clear();
    model->addData(rows[1]);
    delegate->setItemText(QStringLiteral("3"), QStringLiteral("told 3 again"));
    const auto fourth = row("4", QStringLiteral("row 4"), 4.0);
    model->addData(fourth);
    delegate->setItemText(QStringLiteral("4"), QStringLiteral("told 4"));
    delegate->setItemVisible(QStringLiteral("3"), false);
    sync();

    // Then the rows the model kept keep their cells, the row that left lost them
    EXPECT_EQ(shownKeys(*table), (QStringList{"1", "3", "2", "4"}));
    EXPECT_EQ(cell(0, 1).data().toString(), QStringLiteral("told 1"));
    EXPECT_EQ(delegate->getItemText(QStringLiteral("3")), QStringLiteral("told 3 again"));
    EXPECT_FALSE(delegate->isItemVisible(QStringLiteral("3")));
    EXPECT_EQ(cell(2, 1).data().toString(), QStringLiteral("2.0000"));
    EXPECT_EQ(cell(3, 1).data().toString(), QStringLiteral("told 4"));

    // When the model is emptied and the table cleared, then no row comes back with its cells
    model->clear();
    table->clear();
    model->addData(rows[0]);
    model->addData(fourth);
    sync();
    EXPECT_EQ(cell(0, 1).data().toString(), QStringLiteral("1.0000"));
    EXPECT_EQ(cell(1, 1).data().toString(), QStringLiteral("4.0000"));
}

// ------------------------------------------------------------------ keyed rows

TEST(KeyedModel, shouldKeepRowsInOrderAndFindEachByKeyThroughAnySequenceOfChanges)
{
    CTestModel model;
    std::vector<std::pair<std::string, KZ::IBaseHpfTableDataPtr>> expected;   // rows in order
    // A list handed out earlier keeps the rows it had, whatever the model did since.
    QList<KZ::IBaseHpfTableDataPtr> handedOut;
    std::vector<KZ::IBaseHpfTableDataPtr> handedOutRows;
    std::mt19937 random(20261206);
    // Few keys, so that most changes meet a key already there; long ones hash apart less.
    const auto keyOf = [](int n) { return n % 3 == 0 ? "long key of row " + std::to_string(n) : std::to_string(n); };
    for (int step = 0; step < 40000; ++step) {
        const std::string key = keyOf(static_cast<int>(random() % 700));
        const auto present = std::find_if(expected.begin(), expected.end(), [&key](const auto& e) { return e.first == key; });
        switch (random() % 10) {
        case 0: case 1: case 2: case 3: {   // add, or replace in place
            const KZ::IBaseHpfTableDataPtr added = row(key, QString::number(step), step);
            model.addData(added);
            if (present != expected.end())
                present->second = added;
            else
                expected.emplace_back(key, added);
            break;
        }
        case 4: case 5: case 6:
            ASSERT_EQ(model.removeDataByKey(key), present != expected.end()) << key;
            if (present != expected.end())
                expected.erase(present);
            break;
        case 7: {   // the rows in order, each under the key it was added with
            if (expected.empty())
                break;
            ASSERT_EQ(model.keyedRows(), expected) << step;
            ASSERT_EQ(std::vector<KZ::IBaseHpfTableDataPtr>(handedOut.cbegin(), handedOut.cend()), handedOutRows) << step;
            handedOut = model.getDatas();
            handedOutRows.clear();
            for (const auto& entry : expected)
                handedOutRows.push_back(entry.second);
            ASSERT_EQ(std::vector<KZ::IBaseHpfTableDataPtr>(handedOut.cbegin(), handedOut.cend()), handedOutRows) << step;
            break;
        }
        case 8:
            ASSERT_EQ(model.getDataByKey(key), present != expected.end() ? present->second : nullptr) << key;
            break;
        default:
            if (random() % 200 == 0) {
                model.clear();
                expected.clear();
            }
        }
        ASSERT_EQ(model.rowCount(), static_cast<int>(expected.size())) << step;
    }
    const QList<KZ::IBaseHpfTableDataPtr> rows = model.getDatas();
    ASSERT_EQ(rows.size(), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rows[static_cast<int>(i)], expected[i].second);
        EXPECT_EQ(model.getDataByKey(expected[i].first), expected[i].second);
    }
}

// ------------------------------------------------------------------ editing and events

TEST(FrameworkEvents, shouldReachTheNearestHandlingAncestorThroughListsAndScrollAreasAndStopThere)
{
    // Given root > handler > passer > scroll area > widget list > button
    CRecordingWidget root;
    auto* handler = new CRecordingWidget(&root, true);
    auto* passer = new CRecordingWidget(handler, false);
    auto* scroll = new KZ::CScrollArea(passer);
    auto* list = new KZ::CWidgetList(Qt::Vertical, passer);
    auto* button = new TC::COpButton(32, 1, passer);
    list->addFixedWidget(button, 3, false);
    scroll->setWidget(list);
    passer->setInnerStretchWidget(scroll);
    root.show();

    // When the button is clicked
    QTest::mouseClick(button, Qt::LeftButton);

    // Then the passer saw it, the handler consumed it and the root never heard of it
    EXPECT_EQ(passer->events.size(), 1u);
    ASSERT_EQ(handler->events.size(), 1u);
    EXPECT_EQ(handler->events[0].id, KZ::EVT_BUTTON_CLICKED);
    EXPECT_EQ(handler->events[0].sender, 32);
    EXPECT_TRUE(root.events.empty());
}

TEST_F(EditingFixture, shouldDeliverTypedNumberWithoutSeparatorsToTheTableOwner)
{
    // Given an editable line-edit column
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    delegate->setDoubleRange(0.0, DBL_MAX, 4);
    delegate->setItemText(QStringLiteral("2"), QStringLiteral("0.0000"));
    table->setColumnDelegate(1, delegate);

    const struct { const char* typed; const char* handedOn; } cases[] = {
        {"1,234.5", "1234.5"}, {"12000.25", "12000.25"}, {"0.12345", "0.1234"},   // a fifth decimal is refused
    };
    for (const auto& c : cases) {
        owner->events.clear();
        // When the user types into row 2's cell and presses Enter
        QLineEdit* editor = openLineEditor(cell(1, 1));
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), delegate->getItemText(QStringLiteral("2")));
        editor->clear();
        QTest::keyClicks(editor, QString::fromLatin1(c.typed));
        pressReturn(editor);

        // Then the owner gets 226 once with the row key and the typed text, and the editor closes
        const auto finished = owner->eventsWithId(KZ::EVT_LINEEDIT_FINISHED);
        ASSERT_EQ(finished.size(), 1u) << c.typed;
        EXPECT_EQ(finished[0].intParam, 1);
        EXPECT_EQ(finished[0].text, QStringLiteral("2"));
        EXPECT_EQ(finished[0].typed, QString::fromLatin1(c.handedOn));
        EXPECT_EQ(delegate->getItemText(QStringLiteral("2")), QString::fromLatin1(c.handedOn));
        EXPECT_EQ(editorAt(1, 1), nullptr);
    }
    EXPECT_EQ(model->getDataByKey("2")->getDouble(1), 1.0);   // the model itself was never written
}

TEST_F(EditingFixture, shouldKeepAnOpenEditorWhileSyncsOnlyChangeValues)
{
    // Given an open editor in row 2 (as after Tab moved on from a committed cell)
    auto* delegate = new KZ::CBaseTableColumnLineeditDelegate(1, table);
    table->setColumnDelegate(1, delegate);
    QLineEdit* editor = openLineEditor(cell(1, 1));
    ASSERT_NE(editor, nullptr);

    // When the owner redraws after changing a value of the same rows, the editor stays
    delegate->setItemText(QStringLiteral("1"), QStringLiteral("5.0000"));
    table->updateTable();
    QCoreApplication::processEvents();
    EXPECT_EQ(editorAt(1, 1), editor);
    EXPECT_EQ(cell(0, 1).data().toString(), QStringLiteral("5.0000"));

    // And a row added reaches the view as one inserted row: the editor stays too
    model->addData(row("5", QStringLiteral("戊"), 0));
    table->updateTable();
    QCoreApplication::processEvents();
    EXPECT_EQ(table->qtModel()->rowCount(), 5);
    EXPECT_EQ(editorAt(1, 1), editor);

    // But a sort rebuilds the view
    table->sortByColumn(0, Qt::AscendingOrder);
    QCoreApplication::processEvents();
    EXPECT_EQ(editorAt(1, 1), nullptr);
}

TEST_F(EditingFixture, shouldRaiseAutoLineEditOnceWithTheRowAsLastKeyWhetherTypedOrChosen)
{
    // Given an auto line edit whose handler takes the text and closes the editor
    auto* delegate = new TC::CBaseTableColumnAutoLineEditDelegate(8, table);
    table->setColumnDelegate(2, delegate);
    QString keySeenByHandler;
    owner->onEvent = [&](const SEvent& event) {
        keySeenByHandler = delegate->getLastKey();
        delegate->hideAutoLineEdit();
        delegate->setCurrentText(event.text);
    };
    const auto typed = [](QLineEdit* editor) {   // Chinese as key presses carrying the characters
        for (const QChar ch : QStringLiteral("深交所"))
            QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        pressReturn(editor);
    };
    const auto chosen = [](QLineEdit* editor) {
        QCompleter* completer = editor->completer();
        ASSERT_NE(completer, nullptr);
        QTest::keyClicks(editor, QStringLiteral("A"));
        EXPECT_EQ(completer->completionCount(), 1);   // contains, case-sensitively
        editor->clear();
        QTest::keyClicks(editor, QStringLiteral("00"));
        EXPECT_EQ(completer->completionCount(), 3);
        ASSERT_TRUE(completer->popup()->isVisible());
        completer->popup()->setCurrentIndex(completer->completionModel()->index(1, 0));
        pressReturn(completer->popup());
    };
    const struct { int row; QString key; std::function<void(QLineEdit*)> commit; QString expected; } cases[] = {
        {0, QStringLiteral("1"), typed, QStringLiteral("深交所")}, {1, QStringLiteral("2"), chosen, QStringLiteral("B001")},
    };
    delegate->setCurItem(QStringLiteral("1"), QStringLiteral("上交所"), -1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        delegate->setItems(c.key, {QStringLiteral("上交所"), QStringLiteral("深交所"), QStringLiteral("A001"),
                                   QStringLiteral("B001"), QStringLiteral("a002")}, {});
        owner->events.clear();

        // When the user opens the cell's editor and commits a text
        QLineEdit* editor = openLineEditor(cell(c.row, 2));
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), delegate->getCurText(c.key));
        editor->setFocus();
        editor->clear();
        c.commit(editor);

        // Then 244 came once with the text, the row is the last key and the editor is gone
        const auto changed = owner->eventsWithId(KZ::EVT_AUTO_LINEEDIT_CHANGED);
        ASSERT_EQ(changed.size(), 1u);
        EXPECT_EQ(changed[0].sender, 8);
        EXPECT_EQ(changed[0].text, c.expected);
        EXPECT_EQ(keySeenByHandler, c.key);
        EXPECT_EQ(editorAt(c.row, 2), nullptr);
        EXPECT_EQ(cell(c.row, 2).data().toString(), c.expected);
    }
}

TEST_F(EditingFixture, shouldRaiseClickOnlyForEnabledClickableTextCells)
{
    auto* delegate = new KZ::CBaseTableColumnSimpleTextDelegate(9, table);
    delegate->setItemText(QStringLiteral("1"), QStringLiteral("+添加"));
    delegate->setItemEnabled(QStringLiteral("1"), true, true);
    delegate->setItemText(QStringLiteral("2"), QStringLiteral("删除"));
    delegate->setItemEnabled(QStringLiteral("2"), false, false);
    table->setColumnDelegate(0, delegate);
    sync();
    EXPECT_EQ(cell(0, 0).data().toString(), QStringLiteral("+添加"));

    clickCell(1, 0);
    EXPECT_TRUE(owner->events.empty());
    clickCell(0, 0);
    const auto clicked = owner->eventsWithId(KZ::EVT_SIMPLE_TEXT_CLICKED);
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0].sender, 9);
    EXPECT_EQ(clicked[0].text, QStringLiteral("1"));
}

TEST(FrameworkWidgets, shouldRaiseParameterEditAndRadioChoiceOnlyForWhatTheUserDid)
{
    // Given a segmented price cell and a radio group, both set by code
    CRecordingWidget owner;
    auto* cell = new KZ::CParameterCell(12, QStringLiteral("  边际价格/利率:"), QString(), &owner);
    cell->setDoubleValidator(QString(), 0.0, 1000000.0, 0.0001, true);
    cell->getEditor()->setNumberFormatFlag(utils::FNF_SEGMENTED);
    cell->getEditor()->setValue(1234.5);
    auto* group = new KZ::CRadioButtonGroup(0, 0, Qt::Horizontal, &owner);
    group->addButton(QStringLiteral("已中标"), 10, true);
    group->addButton(QStringLiteral("未中标"), 11, false);
    group->setButtonCheckedByID(11);
    owner.show();
    EXPECT_EQ(cell->getEditor()->text(), QStringLiteral("1,234.5000"));
    QTest::keyClick(cell->getEditor(), Qt::Key_Return);   // finished without a change
    EXPECT_TRUE(owner.events.empty());

    // When the user types a new value and presses Enter, then clicks a radio button
    cell->getEditor()->clear();
    QTest::keyClicks(cell->getEditor(), QStringLiteral("99.5"));
    QTest::keyClick(cell->getEditor(), Qt::Key_Return);
    QTest::mouseClick(group->button(10), Qt::LeftButton);

    // Then 114 arrives once from the cell and 96 from the button
    ASSERT_EQ(owner.events.size(), 2u);
    EXPECT_EQ(owner.events[0].id, KZ::EVT_PARAM_CELL_EDITED);
    EXPECT_EQ(owner.events[0].sender, 12);
    EXPECT_DOUBLE_EQ(cell->toDouble(), 99.5);
    EXPECT_EQ(owner.events[1].id, KZ::EVT_RADIO_CHOSEN);
    EXPECT_EQ(owner.events[1].sender, 10);
    EXPECT_EQ(group->checkedId(), 10);
}
