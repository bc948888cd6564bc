// Table one: rows, model and the widget that fills, edits, checks and saves them.
#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <cfloat>
#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "CAllocationUnderWriteData.h"
#include "CAllocationUnderWriteModel.h"
#include "CPanelBondAllocationUnderWriteTable.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/StandardHpfTable.h"
#include "KZ/UiResource.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace TC;
using namespace ttservice;

namespace {

const std::string kBond = "B1";

boost::shared_ptr<CIBondTenderAllocUnderWriterInfo> stored(const std::string& bond, const std::string& underWriter,
                                                          double price, double bid, double won)
{
    boost::shared_ptr<CIBondTenderAllocUnderWriterInfo> r(new CIBondTenderAllocUnderWriterInfo());
    r->bondCode = bond;
    r->bondName = "债一";
    r->tenderingType = TT_AMERICAN;
    r->underWriterName = underWriter;
    r->tenderPrice = price;
    r->bidAmount = bid;
    r->winAmount = won;
    return r;
}

boost::shared_ptr<CIBondTenderExecExternalReportInfo> report(const std::string& bond, const std::string& underWriter,
                                                             double price, double bid)
{
    boost::shared_ptr<CIBondTenderExecExternalReportInfo> r(new CIBondTenderExecExternalReportInfo());
    r->bondCode = bond;
    r->bondName = "债一";
    r->underWriterName = underWriter;
    r->tenderPrice = price;
    r->bidAmount = bid;
    return r;
}

QString keyOf(const std::string& underWriter, double price)
{
    return QString::fromStdString(CAllocationUnderWriteData::makeKey(underWriter, price));
}

// Opens the row's column-7 editor the way a user does; null when the cell takes no input.
QLineEdit* openWinAmountEditor(KZ::CStandardHpfTable* table, const QString& key)
{
    table->syncNow();
    QAbstractItemModel* qt = table->qtModel();
    for (int row = 0; row < qt->rowCount(); ++row) {
        const QModelIndex index = qt->index(row, CAllocationUnderWriteData::COL_WIN_BID_AMOUNT);
        if (index.data(KZ::kRowKeyRole).toString() != key) continue;
        table->view()->setCurrentIndex(index);
        table->view()->edit(index);
        return qobject_cast<QLineEdit*>(table->view()->indexWidget(index));
    }
    ADD_FAILURE() << "no row " << key.toStdString();
    return nullptr;
}

// Opens the real editor, types the text and commits with Return.
void typeWinAmount(KZ::CStandardHpfTable* table, const QString& key, const QString& text)
{
    QLineEdit* editor = openWinAmountEditor(table, key);
    ASSERT_NE(nullptr, editor) << "column 7 opened no line edit";
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();   // the view commits a Return on its next turn
}

// Collects what QAbstractItemModelTester reports, so a broken adapter fails the test.
class ModelTesterWarnings {
public:
    ModelTesterWarnings() { previous_ = qInstallMessageHandler(&ModelTesterWarnings::handle); instance_ = this; }
    ~ModelTesterWarnings() { qInstallMessageHandler(previous_); instance_ = nullptr; }
    const QStringList& messages() const { return messages_; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (instance_ && type != QtDebugMsg && context.category && QByteArray(context.category) == "qt.modeltest")
            instance_->messages_ << text;
    }
    static ModelTesterWarnings* instance_;
    QtMessageHandler previous_ = nullptr;
    QStringList messages_;
};
ModelTesterWarnings* ModelTesterWarnings::instance_ = nullptr;

class UnderWriteTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        widget.resize(900, 168);
        widget.show();
    }
    void TearDown() override { testsupport::resetHost(); }

    // A won price tender: marginal 99.5, weighted mean 100.5, unit as given.
    void loadStored(const std::vector<boost::shared_ptr<CIBondTenderAllocUnderWriterInfo>>& rows, double unit,
                    ETenderingType type = TT_AMERICAN)
    {
        widget.updateUnderWriterTableDatas(rows, 99.5, 100.5, TTG_PRICE, type, kBond, unit);
    }

    const CAllocationUnderWriteInfo* row(const QString& key) const
    {
        const auto data = boost::dynamic_pointer_cast<CAllocationUnderWriteData>(
            widget.getModel()->getDataByKey(key.toStdString()));
        return data ? data->info.get() : nullptr;
    }

    QString stat(int column) const { return widget.getModel()->getStatDispalyQString(column); }

    CPanelBondAllocationUnderWriteTable widget{0, nullptr};
};

} // namespace

TEST_F(UnderWriteTableTest, shouldShowOnlyTheWonPositionsOfTheBond)
{
    // Given stored rows: two won, one lost position, one of another bond, one null
    loadStored({stored(kBond, "国泰", 101.0, 2.0, 1.5), stored(kBond, "中信", 99.0, 3.0, 0.0),
                stored("B2", "国泰", 101.0, 4.0, 1.0), nullptr, stored(kBond, "华泰", 99.5, 1.0, 0.25)},
               0.1);

    // Then the won rows of B1 are shown in order with their totals
    const auto rows = widget.getUnderWriterData();
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("国泰", rows[0]->info->underWriter);
    EXPECT_EQ("华泰", rows[1]->info->underWriter);
    EXPECT_EQ("美国式", rows[0]->info->tenderingType);
    EXPECT_EQ(QStringLiteral("3.0000"), stat(CAllocationUnderWriteData::COL_BID_AMOUNT));
    EXPECT_EQ(QStringLiteral("1.7500"), stat(CAllocationUnderWriteData::COL_WIN_BID_AMOUNT));
    EXPECT_DOUBLE_EQ(1.75, widget.getTotalBidAmount());
    EXPECT_TRUE(widget.isUnderWriterTableHasData());
    EXPECT_EQ(QStringLiteral("1.5000"), widget.getWinAmountDelegate()->getItemText(keyOf("国泰", 101.0)));
}

TEST_F(UnderWriteTableTest, shouldSettleEachRowByTheTenderingType)
{
    struct SCase { ETenderingType type; double expectedHigh; double expectedAtMarginal; };
    const SCase cases[] = {
        {TT_DUTCH, 99.5, 99.5}, {TT_AMERICAN, 101.0, 99.5}, {TT_MIXED, 100.5, 99.5}, {TT_NONE, 0.0, 0.0}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.type);
        loadStored({stored(kBond, "国泰", 101.0, 2.0, 0.0), stored(kBond, "华泰", 99.5, 1.0, 0.0)}, 0.1, c.type);
        EXPECT_DOUBLE_EQ(c.expectedHigh, row(keyOf("国泰", 101.0))->winBidPrice);
        EXPECT_DOUBLE_EQ(c.expectedAtMarginal, row(keyOf("华泰", 99.5))->winBidPrice);
    }
}

TEST_F(UnderWriteTableTest, shouldCutTypedVolumeToWholeUnitsThroughTheEditor)
{
    // Given a row bidding 2.0 with basic tender unit 0.1
    loadStored({stored(kBond, "国泰", 101.0, 2.0, 0.0)}, 0.1);
    const QString key = keyOf("国泰", 101.0);

    // When the user types 0.35 into column 7 and presses Return
    typeWinAmount(widget.getTable(), key, QStringLiteral("0.35"));

    // Then 0.3 is stored, shown, and counted in the won total
    EXPECT_DOUBLE_EQ(0.3, row(key)->winBidAmount);
    EXPECT_EQ(QStringLiteral("0.3000"), widget.getWinAmountDelegate()->getItemText(key));
    EXPECT_EQ(QStringLiteral("0.3000"), stat(CAllocationUnderWriteData::COL_WIN_BID_AMOUNT));
    widget.getTable()->syncNow();
    EXPECT_EQ(QStringLiteral("0.3000"), widget.getTable()->qtModel()->index(0, 7).data().toString());
}

TEST_F(UnderWriteTableTest, shouldNeverGiveMoreThanTheBidThroughTheEditor)
{
    // Given a row bidding 2.0 with unit 1
    loadStored({stored(kBond, "国泰", 101.0, 2.0, 0.0)}, 1.0);
    const QString key = keyOf("国泰", 101.0);

    // When the user types 5
    typeWinAmount(widget.getTable(), key, QStringLiteral("5"));

    // Then the won volume is the bid
    EXPECT_DOUBLE_EQ(2.0, row(key)->winBidAmount);
    EXPECT_EQ(QStringLiteral("2.0000"), widget.getWinAmountDelegate()->getItemText(key));
}

TEST_F(UnderWriteTableTest, shouldApplyTheTypedVolumeRule)
{
    // The editor hands its text on as event 226; the rule's boundaries, one row each.
    struct SCase { const char* typed; double unit; double bid; double expected; const char* shown; };
    const SCase cases[] = {
        {"0.35", 0.1, 2.0, 0.3, "0.3000"},   {"0.05", 0.1, 2.0, 0.0, "0.0000"}, {"1.25", 0.1, 2.0, 1.2, "1.2000"},
        {"2.00001", 0.0001, 2.0, 2.0, "2.0000"}, {"2.0001", 0.0001, 2.0, 2.0, "2.0000"},
        {"5", 1.0, 2.0, 2.0, "2.0000"},      {"1 5", 1.0, 2.0, 0.0, "0.0000"},  {"abc", 1.0, 2.0, 0.0, "0.0000"},
        {"1.5", 0.0, 2.0, 0.0, "0.0000"},    {"", 0.1, 2.0, 0.0, "0.0000"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "typed \"" << c.typed << "\" unit " << c.unit);
        loadStored({stored(kBond, "国泰", 101.0, c.bid, 1.0)}, c.unit);
        const QString key = keyOf("国泰", 101.0);
        QString typed = QString::fromUtf8(c.typed);
        widget.getWinAmountDelegate()->deliverEvent(KZ::EVT_LINEEDIT_FINISHED, 7, 7, key, &typed);
        EXPECT_DOUBLE_EQ(c.expected, row(key)->winBidAmount);
        EXPECT_EQ(QString::fromUtf8(c.shown), widget.getWinAmountDelegate()->getItemText(key));
    }
}

TEST_F(UnderWriteTableTest, shouldIgnoreEditsOfOtherColumnsAndUnknownRows)
{
    loadStored({stored(kBond, "国泰", 101.0, 2.0, 1.0)}, 0.1);
    const QString key = keyOf("国泰", 101.0);
    QString typed = QStringLiteral("0.5");
    widget.getWinAmountDelegate()->deliverEvent(KZ::EVT_LINEEDIT_FINISHED, 5, 5, key, &typed);
    EXPECT_DOUBLE_EQ(1.0, row(key)->winBidAmount);
    widget.getWinAmountDelegate()->deliverEvent(KZ::EVT_LINEEDIT_FINISHED, 7, 7, QStringLiteral("无|1.000000"), &typed);
    EXPECT_DOUBLE_EQ(1.0, widget.getTotalBidAmount());
}

TEST_F(UnderWriteTableTest, shouldSeedWonPositionsFromReportsWithNothingWon)
{
    // Given the members of a loaded won tender (marginal 99.5, price target)
    loadStored({}, 0.1, TT_AMERICAN);

    // When seeded from reports, two won positions, one lost, one of another bond
    widget.refreshWinBidAllocationUnderWriteTable(
        {report(kBond, "国泰", 101.0, 2.0), report(kBond, "中信", 99.0, 3.0), report("B2", "国泰", 101.0, 1.0),
         nullptr, report(kBond, "华泰", 100.0, 1.5)},
        TT_MIXED, 100.5);

    // Then the won positions are rows with 0 won, ready for typing
    const auto rows = widget.getUnderWriterData();
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("混合式", rows[0]->info->tenderingType);
    EXPECT_DOUBLE_EQ(100.5, rows[0]->info->winBidPrice);
    EXPECT_DOUBLE_EQ(100.0, rows[1]->info->winBidPrice);
    EXPECT_DOUBLE_EQ(0.0, rows[0]->info->winBidAmount);
    EXPECT_EQ(QStringLiteral("3.5000"), stat(CAllocationUnderWriteData::COL_BID_AMOUNT));
    EXPECT_EQ(QStringLiteral("0.0000"), widget.getWinAmountDelegate()->getItemText(keyOf("华泰", 100.0)));
    EXPECT_NE(nullptr, openWinAmountEditor(widget.getTable(), keyOf("华泰", 100.0)));
}

TEST_F(UnderWriteTableTest, shouldShowEveryBidOfALostTenderReadOnly)
{
    // When a lost tender is shown
    widget.refreshLoseBidAllocationUnderWriteTable(
        {report(kBond, "国泰", 101.0, 2.0), report(kBond, "中信", 99.0, 3.0)}, TT_DUTCH);

    // Then every report is a row with nothing won, and no editor opens
    const auto rows = widget.getUnderWriterData();
    ASSERT_EQ(2u, rows.size());
    for (const auto& r : rows) {
        EXPECT_DOUBLE_EQ(0.0, r->info->winBidPrice);
        EXPECT_DOUBLE_EQ(0.0, r->info->winBidAmount);
    }
    EXPECT_EQ(nullptr, openWinAmountEditor(widget.getTable(), keyOf("中信", 99.0)));
    EXPECT_FALSE(widget.getWinAmountDelegate()->isLineEditable());
}

TEST_F(UnderWriteTableTest, shouldTakeNoInputOnceLocked)
{
    // Given a filled, editable table
    loadStored({stored(kBond, "国泰", 101.0, 2.0, 1.0)}, 0.1);
    const QString key = keyOf("国泰", 101.0);

    // When locked
    widget.disableUnderWriterTableDelegate();

    // Then the editor is hidden and no typing reaches the row
    EXPECT_FALSE(widget.getWinAmountDelegate()->isItemVisible(key));
    QLineEdit* editor = openWinAmountEditor(widget.getTable(), key);
    if (editor) {
        QTest::keyClicks(editor, QStringLiteral("0.5"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(nullptr, editor);
    EXPECT_DOUBLE_EQ(1.0, row(key)->winBidAmount);
}

TEST_F(UnderWriteTableTest, shouldRefuseAZeroWonTotal)
{
    struct SCase { double won; bool ok; };
    const SCase cases[] = {{0.0, false}, {0.00004, false}, {0.0001, true}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.won);
        loadStored({stored(kBond, "国泰", 101.0, 2.0, c.won), stored(kBond, "华泰", 100.0, 2.0, 0.0)}, 0.1);
        QString message = QStringLiteral("untouched");
        EXPECT_EQ(c.ok, widget.check(message));
        EXPECT_EQ(c.ok ? QStringLiteral("untouched") : QStringLiteral("表一中标量合计为0!"), message);
    }
}

TEST_F(UnderWriteTableTest, shouldWriteEveryRowToTheHost)
{
    // Given two rows, one edited
    loadStored({stored(kBond, "国泰", 101.0, 2.0, 1.0), stored(kBond, "华泰", 100.0, 1.5, 0.0)}, 0.1, TT_MIXED);

    // When saved
    widget.placeUnderWriteTableDatas();

    // Then the host holds both rows with their fields
    const auto saved = CHostStore::instance().typedRecords<CIBondTenderAllocUnderWriterInfo>(kBond, RT_ALLOC_UNDERWRITER);
    ASSERT_EQ(2u, saved.size());
    ASSERT_TRUE(saved[0]);
    EXPECT_EQ(kBond, saved[0]->bondCode);
    EXPECT_EQ("债一", saved[0]->bondName);
    EXPECT_EQ("国泰", saved[0]->underWriterName);
    EXPECT_EQ(TT_AMERICAN, saved[0]->tenderingType);   // the stored row's method
    EXPECT_DOUBLE_EQ(101.0, saved[0]->tenderPrice);
    EXPECT_DOUBLE_EQ(2.0, saved[0]->bidAmount);
    EXPECT_DOUBLE_EQ(100.5, saved[0]->winBidPrice);
    EXPECT_DOUBLE_EQ(1.0, saved[0]->winAmount);
    EXPECT_DOUBLE_EQ(100.0, saved[1]->winBidPrice);
}

TEST_F(UnderWriteTableTest, shouldSendAnEmptyListForAnEmptyTableAndOneClearingRecordToClear)
{
    // Given a stored allocation
    loadStored({stored(kBond, "国泰", 101.0, 2.0, 1.0)}, 0.1);
    widget.placeUnderWriteTableDatas();

    // When cleared, then one record without underwriter goes out and the host drops the rows
    widget.clearUnderWriterTableBackStageData();
    std::vector<SHostCall> calls = CHostStore::instance().calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(RT_ALLOC_UNDERWRITER, calls.back().typeId);
    ASSERT_EQ(1u, calls.back().records.size());
    const auto clearing = boost::dynamic_pointer_cast<CIBondTenderAllocUnderWriterInfo>(calls.back().records[0]);
    ASSERT_TRUE(clearing);
    EXPECT_EQ(kBond, clearing->bondCode);
    EXPECT_TRUE(clearing->underWriterName.empty());
    EXPECT_TRUE(CHostStore::instance().records(kBond, RT_ALLOC_UNDERWRITER).empty());

    // When an emptied table is saved, then an empty list goes out under 30109
    widget.refreshUnderWriterModel();
    EXPECT_FALSE(widget.isUnderWriterTableHasData());
    EXPECT_DOUBLE_EQ(0.0, widget.getTotalBidAmount());
    widget.placeUnderWriteTableDatas();
    calls = CHostStore::instance().calls();
    EXPECT_EQ(kBond, calls.back().bondCode);
    EXPECT_EQ(RT_ALLOC_UNDERWRITER, calls.back().typeId);
    EXPECT_TRUE(calls.back().records.empty());
}

TEST_F(UnderWriteTableTest, shouldKeepTheQtAdapterConsistentWhileFilledEditedAndCleared)
{
    ModelTesterWarnings warnings;
    KZ::CStandardHpfTable* table = widget.getTable();
    QAbstractItemModelTester tester(table->qtModel(), QAbstractItemModelTester::FailureReportingMode::Warning);

    loadStored({stored(kBond, "国泰", 101.0, 2.0, 1.0), stored(kBond, "华泰", 100.0, 1.5, 0.0)}, 0.1);
    table->syncNow();
    EXPECT_EQ(2, table->qtModel()->rowCount());
    typeWinAmount(table, keyOf("华泰", 100.0), QStringLiteral("0.7"));
    table->syncNow();
    widget.refreshLoseBidAllocationUnderWriteTable({report(kBond, "中信", 99.0, 3.0)}, TT_DUTCH);
    table->syncNow();
    EXPECT_EQ(1, table->qtModel()->rowCount());
    widget.refreshUnderWriterModel();
    table->syncNow();
    EXPECT_EQ(0, table->qtModel()->rowCount());

    EXPECT_TRUE(warnings.messages().isEmpty()) << warnings.messages().join('\n').toStdString();
}

TEST(UnderWriteModel, shouldTotalOnlyBidAndWonVolumesAndAlternateRowColours)
{
    CAllocationUnderWriteModel model;
    model.setTotalData(3.5, 1.25);
    for (int column = -1; column <= 8; ++column) {
        const QString expectedStat = column == 5 ? QStringLiteral("3.5000")
                                   : column == 7 ? QStringLiteral("1.2500") : QString();
        EXPECT_EQ(expectedStat, model.getStatDispalyQString(column)) << "column " << column;
    }
    EXPECT_EQ(KZ::CUiResource::getColor(QStringLiteral("clr_table_background")), model.getBackgroundColor(0));
    EXPECT_EQ(KZ::CUiResource::getColor(QStringLiteral("clr_table_background2")), model.getBackgroundColor(1));
}

TEST(UnderWriteRow, shouldKeyByUnderwriterAndPriceAndShowFourDecimals)
{
    CAllocationUnderWriteData empty;
    EXPECT_EQ("", empty.key());
    EXPECT_TRUE(empty.getDisplayQString(0).isEmpty());

    boost::shared_ptr<CAllocationUnderWriteInfo> info(new CAllocationUnderWriteInfo());
    info->underWriter = "A";
    info->bondCode = "B1";
    info->bidPrice = 3.25;
    info->bidAmount = 1234.5;
    CAllocationUnderWriteData row(info);
    EXPECT_EQ("A|3.250000", row.key());
    EXPECT_EQ(QStringLiteral("B1"), row.getDisplayQString(0));
    EXPECT_EQ(QStringLiteral("3.2500"), row.getDisplayQString(4));
    EXPECT_EQ(QStringLiteral("1234.5000"), row.getDisplayQString(5));
    EXPECT_TRUE(row.getDisplayQString(8).isEmpty());
    EXPECT_TRUE(row.getDisplayQString(-1).isEmpty());
    EXPECT_EQ(DBL_MAX, row.getDouble(3));
    EXPECT_EQ(INT_MAX, row.getInt(4));

    CAllocationUnderWriteData copy(row);
    copy.info->winBidAmount = 0.5;   // copies share the info
    EXPECT_DOUBLE_EQ(0.5, row.getDouble(7));
}
