// Table one: the widget that fills, edits, checks and saves the underwriters' won volumes.
#include <QAbstractItemModelTester>

#include "CAllocationUnderWriteModel.h"
#include "panel_workflow_support.h"

using namespace wf;
using TC::CAllocationUnderWriteData;

namespace {

const std::string kBond = "B1";

boost::shared_ptr<CIBondTenderAllocUnderWriterInfo> saved(const std::string& bond, const std::string& underWriter,
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

std::string keyOf(const std::string& underWriter, double price)
{
    return CAllocationUnderWriteData::makeKey(underWriter, price);
}

class UnderWriteTableTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        widget.resize(900, 168);
        widget.show();
    }

    // A won price tender: marginal 99.5, weighted mean 100.5.
    void load(const std::vector<boost::shared_ptr<CIBondTenderAllocUnderWriterInfo>>& rows, double unit,
              ETenderingType type = TT_AMERICAN)
    {
        widget.updateUnderWriterTableDatas(rows, 99.5, 100.5, TTG_PRICE, type, kBond, unit);
    }

    TC::CPanelBondAllocationUnderWriteTable widget{0, nullptr};
};

} // namespace

TEST_F(UnderWriteTableTest, shouldShowTheWonPositionsOfTheBondSettledByTenderingType)
{
    const struct { ETenderingType type; double high; double atMarginal; } cases[] = {
        {TT_DUTCH, 99.5, 99.5}, {TT_AMERICAN, 101.0, 99.5}, {TT_MIXED, 100.5, 99.5}, {TT_NONE, 0.0, 0.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        // Given stored rows: two won, one lost position, one of another bond, one null
        load({saved(kBond, "国泰", 101.0, 2.0, 1.5), saved(kBond, "中信", 99.0, 3.0, 0.0),
              saved("B2", "国泰", 101.0, 4.0, 1.0), nullptr, saved(kBond, "华泰", 99.5, 1.0, 0.25)},
             0.1, c.type);

        // Then the won rows of B1 are shown in order, settled by the method, with their totals
        const auto rows = widget.getUnderWriterData();
        ASSERT_EQ(2u, rows.size());
        EXPECT_EQ("国泰", rows[0]->info->underWriter);
        EXPECT_DOUBLE_EQ(c.high, rows[0]->info->winBidPrice);
        EXPECT_EQ("华泰", rows[1]->info->underWriter);
        EXPECT_DOUBLE_EQ(c.atMarginal, rows[1]->info->winBidPrice);
        EXPECT_EQ(QStringLiteral("3.0000"), widget.getModel()->getStatDispalyQString(5));
        EXPECT_DOUBLE_EQ(1.75, widget.getTotalBidAmount());
    }
}

TEST_F(UnderWriteTableTest, shouldCutTypedVolumeToWholeUnitsAndCapItAtTheBid)
{
    QAbstractItemModelTester tester(widget.getTable()->qtModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const struct { double unit; const char* typed; double stored; const char* text; } cases[] = {
        {0.1, "0.35", 0.3, "0.3000"}, {1.0, "5", 2.0, "2.0000"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        // Given a row bidding 2.0
        load({saved(kBond, "国泰", 101.0, 2.0, 0.0)}, c.unit);
        const std::string key = keyOf("国泰", 101.0);

        // When the user types into column 7 and presses Return
        typeInto(&widget, key, 7, c.typed);

        // Then the cut volume is stored, shown in the cell and counted in the total
        EXPECT_DOUBLE_EQ(c.stored, widget.getUnderWriterData().at(0)->info->winBidAmount);
        EXPECT_EQ(QString::fromUtf8(c.text), widget.getWinAmountDelegate()->getItemText(QString::fromStdString(key)));
        EXPECT_EQ(QString::fromUtf8(c.text), widget.getModel()->getStatDispalyQString(7));
        EXPECT_EQ(QString::fromUtf8(c.text), cellIndex(&widget, QString::fromStdString(key), 7).data().toString());
    }

    // And an edit reported for another column or an unknown row changes nothing
    QString typed = QStringLiteral("0.5");
    const QString key = QString::fromStdString(keyOf("国泰", 101.0));
    widget.getWinAmountDelegate()->deliverEvent(KZ::EVT_LINEEDIT_FINISHED, 5, 5, key, &typed);
    widget.getWinAmountDelegate()->deliverEvent(KZ::EVT_LINEEDIT_FINISHED, 7, 7, QStringLiteral("无|1.000000"), &typed);
    EXPECT_DOUBLE_EQ(2.0, widget.getTotalBidAmount());

    // And emptied, the table shows no row (the tester watching it found nothing wrong)
    widget.refreshUnderWriterModel();
    EXPECT_FALSE(cellIndex(&widget, key, 7).isValid());
}

TEST_F(UnderWriteTableTest, shouldRefuseAZeroWonTotal)
{
    for (auto [won, ok] : {std::pair{0.0, false}, std::pair{0.00004, false}, std::pair{0.0001, true}}) {
        SCOPED_TRACE(won);
        load({saved(kBond, "国泰", 101.0, 2.0, won), saved(kBond, "华泰", 100.0, 2.0, 0.0)}, 0.1);
        QString message = QStringLiteral("untouched");
        EXPECT_EQ(ok, widget.check(message));
        EXPECT_EQ(ok ? QStringLiteral("untouched") : QStringLiteral("表一中标量合计为0!"), message);
    }
}

// (The clearing record is checked by the return to tender execution.)
TEST_F(UnderWriteTableTest, shouldWriteEveryRowAndAnEmptiedTableAsAnEmptyList)
{
    // Given two rows of a mixed tender, stored as American
    load({saved(kBond, "国泰", 101.0, 2.0, 1.0), saved(kBond, "华泰", 100.0, 1.5, 0.0)}, 0.1, TT_MIXED);

    // When saved, then the host holds both rows with their fields
    widget.placeUnderWriteTableDatas();
    const auto rows = stored<CIBondTenderAllocUnderWriterInfo>(kBond, RT_ALLOC_UNDERWRITER);
    std::vector<std::string> written;
    for (const auto& r : rows)
        written.push_back(r->bondCode + "|" + r->bondName + "|" + r->underWriterName + "|" + std::to_string(r->tenderingType)
                          + "|" + KZ::printFixed6(r->tenderPrice) + "|" + KZ::printFixed6(r->bidAmount) + "|"
                          + KZ::printFixed6(r->winBidPrice) + "|" + KZ::printFixed6(r->winAmount));
    // (the stored row's method, American, not the tender's)
    EXPECT_EQ(written, (std::vector<std::string>{"B1|债一|国泰|1|101.000000|2.000000|100.500000|1.000000",
                                                 "B1|债一|华泰|1|100.000000|1.500000|100.000000|0.000000"}));

    // When an emptied table is saved, then an empty list goes out under 30109
    widget.refreshUnderWriterModel();
    widget.placeUnderWriteTableDatas();
    const std::vector<SHostCall> calls = updateCalls();
    EXPECT_EQ(kBond, calls.back().bondCode);
    EXPECT_EQ(RT_ALLOC_UNDERWRITER, calls.back().typeId);
    EXPECT_TRUE(calls.back().records.empty());
}

