// Validation of table three against tables one and two, and what it writes to the host.
#include <gtest/gtest.h>

#include <climits>

#include "CAllocationUnderWriteData.h"
#include "test_mixed_support.h"

using namespace mixedtest;
using TC::CPanelBondAllocationMixedTable;

namespace {

using UnderWriterRowPtr = boost::shared_ptr<TC::CAllocationUnderWriteData>;

UnderWriterRowPtr underWriterRow(const std::string& name, double price, double won)
{
    UnderWriterRowPtr row(new TC::CAllocationUnderWriteData());
    row->info.reset(new TC::CAllocationUnderWriteInfo());
    row->info->bondCode = kBond;
    row->info->underWriter = name;
    row->info->bidPrice = price;
    row->info->bidAmount = 10.0;
    row->info->winBidAmount = won;
    return row;
}

DetailPtr withUnderWriter(DetailPtr d, const std::string& underWriter)
{
    d->underWriter = underWriter;
    return d;
}

// Tables one, two and three agreeing: P12 won 3 at 1234.5 (UW1 2, UW2 1), P9 won 1 at 99 (UW1),
// P10 bid at 98 and won nothing.
class MixedCheckTest : public MixedTableTest {
protected:
    void loadAgreeing(ttservice::ETenderingType type)
    {
        load(table, {withUnderWriter(detail(12, "P12", 1234.5, 20000, true), "UW1"),
                     withUnderWriter(detail(12, "P12", 1234.5, 10000, false), "UW2"),
                     withUnderWriter(detail(9, "P9", 99.0, 10000, true), "UW1")},
             type);
        const auto position = [type](double price) {
            return type == ttservice::TT_DUTCH ? ttservice::kInvalidDouble : price;
        };
        products = {{1, productRow(1, 12, position(1234.5), 5.0, 3.0)},
                    {2, productRow(2, 9, position(99.0), 5.0, 1.0)},
                    {3, productRow(3, 10, position(98.0), 5.0, 0.0)}};
        underWriters = {underWriterRow("UW1", 1234.5, 2.0), underWriterRow("UW2", 1234.5, 1.0),
                        underWriterRow("UW1", 99.0, 1.0)};
    }

    // Row with the given number as the model holds it.
    TC::CAllocationMixedInfo& info(const char* key) { return *rowByKey(table, key)->info; }

    bool check(ttservice::ETenderingType type)
    {
        return table.check(table.getAllocationMixedModel()->getTotalWinBidAmount(), msg, products, underWriters,
                           type);
    }

    CPanelBondAllocationMixedTable table{0, nullptr};
    QMap<int, ProductRowPtr> products;
    std::vector<UnderWriterRowPtr> underWriters;
    QString msg = QStringLiteral("untouched");
};

} // namespace

TEST_F(MixedCheckTest, shouldRequireAPositiveTotalEqualToTableOne)
{
    const struct { double total; double tableOne; const char* message; } cases[] = {
        {0.000005, 0.000005, "表三中标合计数据必须大于0!"},
        {-1.0, -1.0, "表三中标合计数据必须大于0!"},
        {0.00002, 0.00002, nullptr},
        {10.000005, 10.0, nullptr},
        {10.0001, 10.0, "表三中标数量合计与表一中标总量不一致!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        msg = QStringLiteral("untouched");
        table.getAllocationMixedModel()->setTotalData(0.0, c.total);
        const bool ok = table.check(c.tableOne, msg, products, underWriters, ttservice::TT_AMERICAN);
        EXPECT_EQ(ok, c.message == nullptr);
        EXPECT_EQ(msg, c.message ? QString::fromUtf8(c.message) : QStringLiteral("untouched"));
    }
}

TEST_F(MixedCheckTest, shouldPassWhenAllTablesAgree)
{
    for (auto type : {ttservice::TT_AMERICAN, ttservice::TT_MIXED, ttservice::TT_DUTCH}) {
        loadAgreeing(type);
        EXPECT_TRUE(check(type)) << msg.toStdString();
        EXPECT_EQ(msg, QStringLiteral("untouched"));
    }
}

TEST_F(MixedCheckTest, shouldReportTheFirstIncompleteFieldOfTheFirstIncompleteRow)
{
    const struct { const char* field; const char* message; } cases[] = {
        {"market", "表三第 2 行数据未选择投标市场!"},
        {"purchaseType", "表三第 2 行数据未选择申购方式!"},
        {"underWriter", "表三第 2 行数据未选择承销商!"},
        {"account", "表三第 2 行数据未选择账号!"},
        {"marketAndAccount", "表三第 2 行数据未选择投标市场!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        // Given row 2 (model order: second) lacks a field and row 3 lacks an account
        loadAgreeing(ttservice::TT_AMERICAN);
        const std::string field = c.field;
        if (field == "market" || field == "marketAndAccount")
            info("2").tenderMarket = -1;
        if (field == "purchaseType")
            info("2").purchaseType.clear();
        if (field == "underWriter")
            info("2").underWriter.clear();
        if (field == "account" || field == "marketAndAccount")
            info("2").account.clear();
        info("3").account.clear();
        // Then only row 2's first missing field is reported
        EXPECT_FALSE(check(ttservice::TT_AMERICAN));
        EXPECT_EQ(msg, QString::fromUtf8(c.message));
    }
}

TEST_F(MixedCheckTest, shouldReportProductMismatchWithItsPositionFormattedWithoutGrouping)
{
    // Given P12 at 1234.5 is allocated 2.5 instead of 3 (and the totals still agree)
    ttservice::CHostStore::instance().setSegmentedFormat(true);
    loadAgreeing(ttservice::TT_AMERICAN);
    info("2").winBidAmount = 0.5;
    info("3").winBidAmount = 1.5;   // P9 mismatches as well, but P12's key sorts first
    // Then
    EXPECT_FALSE(check(ttservice::TT_AMERICAN));
    EXPECT_EQ(msg, QStringLiteral("表三产品 P12 标位 1234.5000实际分配合计与表二中该产品该标位中标数量不一致,无法保存!"));
}

TEST_F(MixedCheckTest, shouldCompareProductTotalsOnlyInADutchTender)
{
    loadAgreeing(ttservice::TT_DUTCH);
    info("3").winBidAmount = 0.5;
    EXPECT_FALSE(check(ttservice::TT_DUTCH));
    EXPECT_EQ(msg, QStringLiteral("表三产品 P9实际分配合计与表二中该产品中标数量不一致,无法保存!"));
}

TEST_F(MixedCheckTest, shouldReportUnderwriterMismatchPerTenderingType)
{
    const struct { ttservice::ETenderingType type; const char* message; } cases[] = {
        {ttservice::TT_MIXED, "表三承销商 UW1 标位 1234.5000实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"},
        {ttservice::TT_DUTCH, "表三承销商 UW1实际分配合计与表一中该承销商中标量合计不一致,无法保存!"},
    };
    for (const auto& c : cases) {
        // Given product totals agree, but row 2's volume is booked to UW1 instead of UW2
        // (UW1's key sorts first)
        loadAgreeing(c.type);
        info("2").underWriter = "UW1";
        EXPECT_FALSE(check(c.type));
        EXPECT_EQ(msg, QString::fromUtf8(c.message));
    }
}

namespace {

boost::shared_ptr<ttservice::CTenderCommandInfo> command(int id, int productId, const std::string& bondCode)
{
    boost::shared_ptr<ttservice::CTenderCommandInfo> cmd(new ttservice::CTenderCommandInfo());
    cmd->commandId = id;
    cmd->productId = productId;
    if (!bondCode.empty()) {
        ttservice::BSONObjBuilder param;
        param.append("bondCode", bondCode);
        ttservice::BSONObjBuilder extension;
        extension.append("btdparam", param.obj());
        cmd->extension = extension.obj();
    }
    return cmd;
}

std::vector<boost::shared_ptr<ttservice::CWinBidInfoDetail>> savedDetails()
{
    return ttservice::CHostStore::instance().typedRecords<ttservice::CWinBidInfoDetail>(kBond, 30097);
}

} // namespace

TEST_F(MixedTableTest, shouldSaveEveryRowWithItsFieldsAndTheProductsCommandsOnce)
{
    // Given tender commands of products 12 and 9 (one of another bond, one without parameters)
    auto& store = ttservice::CHostStore::instance();
    store.setNow(QDateTime(QDate(2026, 12, 5), QTime(23, 59)));
    for (auto cmd : {command(501, 12, kBond), command(503, 12, "B2"), command(505, 12, ""), command(502, 12, kBond),
                     command(504, 9, kBond)})
        store.addTenderCommand(cmd);
    // And a loaded allocation: P10 without market or purchase type, P12 on Shanghai and interbank, P9 on Shenzhen
    CPanelBondAllocationMixedTable table(0, nullptr);
    DetailPtr p10 = detail(10, "P10", 100.5, 5000, true);
    p10->tenderMarket = -1;
    p10->purchaseType = 0;
    DetailPtr p12 = detail(12, "P12", 100.5, 12345, true);
    DetailPtr p12added = detail(12, "P12", 100.5, 10000, false);
    p12added->tenderMarket = 3;
    p12added->account = "IB1";
    DetailPtr p9 = detail(9, "P9", 100.5, 20000, true);
    p9->tenderMarket = 2;
    load(table, {p9, p12added, p12, p10}, ttservice::TT_AMERICAN, 0.1);

    // When saved
    store.clearCalls();
    table.placeMixedTableDatas();

    // Then one call carries the command ids once each, in the order the products come
    const auto calls = store.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, ttservice::SHostCall::TenderCmds);
    EXPECT_EQ(calls[0].operation, 3);
    EXPECT_EQ(calls[0].commandIds, (std::vector<int>{501, 502, 504}));
    // And the records come back in model (group) order with every field
    const auto saved = savedDetails();
    ASSERT_EQ(saved.size(), 4u);
    const struct {
        int productId; const char* name; int market; const char* accountType; int winUnits;
        const char* fixedIndex; int purchaseType; const char* rowKey; const char* account;
    } expected[] = {
        {10, "P10", -1, "", 5000, "1", 0, "4", "SH1"},
        {12, "P12", 1, "证券账号", 12345, "2", 1, "3", "SH1"},
        {12, "P12", 3, "银行间账号", 10000, "", 1, "2", "IB1"},
        {9, "P9", 2, "证券账号", 20000, "3", 1, "1", "SH1"},
    };
    for (size_t i = 0; i < saved.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& d = *saved[i];
        EXPECT_EQ(d.tradingDay, "20261205");
        EXPECT_EQ(d.remark, "");
        EXPECT_EQ(d.portfolioId, INT_MAX);
        EXPECT_EQ(d.productId, expected[i].productId);
        EXPECT_EQ(d.productName, expected[i].name);
        EXPECT_EQ(d.bondCode, kBond);
        EXPECT_EQ(d.bondName, "Bond 1");
        EXPECT_EQ(d.tenderTarget, ttservice::TTG_PRICE);
        EXPECT_EQ(d.winBidPrice, 100.5);   // American: the row's own position
        EXPECT_EQ(d.account, expected[i].account);
        EXPECT_EQ(d.tenderMarket, expected[i].market);
        EXPECT_EQ(d.accountTypeText, expected[i].accountType);
        EXPECT_EQ(d.underWriter, "UW1");
        EXPECT_EQ(d.winBidAmount, expected[i].winUnits);
        EXPECT_EQ(d.bidAmount, 10.0);
        EXPECT_EQ(d.rowKey, expected[i].rowKey);
        EXPECT_EQ(d.fixedRowIndex, expected[i].fixedIndex);
        EXPECT_EQ(d.purchaseType, expected[i].purchaseType);
        EXPECT_EQ(d.bidPrice, 100.5);
    }
}

TEST_F(MixedTableTest, shouldSaveTypedVolumesAsWholeUnitsOfTenThousandth)
{
    // Given a fresh allocation whose row won 1.2345, with a basic tender unit of 0.1
    CPanelBondAllocationMixedTable table(0, nullptr);
    load(table, {}, ttservice::TT_AMERICAN, 0.1);
    QMap<int, ProductRowPtr> products{{1, productRow(1, 12, 100.5, 3.0, 1.2345)},
                                      {2, productRow(2, 9, 100.5, 3.0, 0.99995)}};
    table.refreshWinBidAllocationMixedTable(products, ttservice::TT_AMERICAN, "Bond 1");
    // When saved
    table.placeMixedTableDatas();
    // Then the volume is cut after adding the unit, not rounded
    const auto saved = savedDetails();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0]->winBidAmount, 12345);
    EXPECT_EQ(saved[1]->winBidAmount, 9999);   // 9999.5 + 0.1 cut
    EXPECT_EQ(saved[0]->productId, 12);
    EXPECT_EQ(saved[0]->purchaseType, 1);
}

TEST_F(MixedTableTest, shouldClearTheBondsAllocationWithOneClearingRecord)
{
    // Given a saved allocation
    CPanelBondAllocationMixedTable table(0, nullptr);
    load(table, {detail(12, "P12", 100.5, 10000, true)});
    table.placeMixedTableDatas();
    ASSERT_EQ(savedDetails().size(), 1u);
    auto& store = ttservice::CHostStore::instance();
    store.clearCalls();
    // When cleared
    table.clearMixedTableBackStageData();
    // Then one call with no command ids and one clearing record, and the stored rows are gone
    const auto calls = store.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].operation, 3);
    EXPECT_TRUE(calls[0].commandIds.empty());
    ASSERT_EQ(calls[0].records.size(), 1u);
    const auto clearing = boost::dynamic_pointer_cast<ttservice::CWinBidInfoDetail>(calls[0].records[0]);
    ASSERT_TRUE(clearing);
    EXPECT_EQ(clearing->bondCode, kBond);
    EXPECT_EQ(clearing->productId, INT_MAX);
    EXPECT_EQ(clearing->productName, "");
    EXPECT_TRUE(ttservice::CHostStore::isClearingRecord(*clearing));
    EXPECT_TRUE(savedDetails().empty());
    // And the table itself is untouched
    EXPECT_TRUE(table.isMixedTableHasData());
}
