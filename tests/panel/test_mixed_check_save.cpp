// Validation of table three against tables one and two, and what it writes to the host.

#include <map>

#include "test_mixed_support.h"

using namespace mixedtest;
using ttservice::TT_AMERICAN;
using ttservice::TT_DUTCH;
using ttservice::TT_MIXED;

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
        const auto position = [type](double price) { return type == TT_DUTCH ? ttservice::kInvalidDouble : price; };
        products = {{1, productRow(1, 12, position(1234.5), 5.0, 3.0)},
                    {2, productRow(2, 9, position(99.0), 5.0, 1.0)},
                    {3, productRow(3, 10, position(98.0), 5.0, 0.0)}};
        underWriters = {underWriterRow("UW1", 1234.5, 2.0), underWriterRow("UW2", 1234.5, 1.0),
                        underWriterRow("UW1", 99.0, 1.0)};
    }

    TC::CAllocationMixedInfo& info(const char* key) { return *rowByKey(table, key)->info; }

    // Checks against table one's total, leaving msg alone when it passes.
    bool check(ttservice::ETenderingType type, double tableOne = -1)
    {
        msg = QStringLiteral("untouched");
        return table.check(tableOne < 0 ? wonTotal() : tableOne, msg, products, underWriters, type);
    }

    QMap<int, ProductRowPtr> products;
    std::vector<UnderWriterRowPtr> underWriters;
    QString msg;
};

} // namespace

TEST_F(MixedCheckTest, shouldRequireAPositiveTotalEqualToTableOne)
{
    const struct { double total; double tableOne; const char* message; } cases[] = {
        {0.000005, 0.000005, "表三中标合计数据必须大于0!"},
        {0.00002, 0.00002, "untouched"},
        {10.000005, 10.0, "untouched"},
        {10.0001, 10.0, "表三中标数量合计与表一中标总量不一致!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        table.getAllocationMixedModel()->setTotalData(0.0, c.total);
        EXPECT_EQ(check(TT_AMERICAN, c.tableOne), c.message == std::string("untouched"));
        EXPECT_EQ(msg, QString::fromUtf8(c.message));
    }
    for (auto type : {TT_AMERICAN, TT_MIXED, TT_DUTCH}) {
        loadAgreeing(type);
        EXPECT_TRUE(check(type)) << msg.toStdString();
    }
    // A position that differs below the keys' sixth decimal is the same position
    loadAgreeing(TT_AMERICAN);
    info("1").bidPrice += 1e-9;
    EXPECT_TRUE(check(TT_AMERICAN)) << msg.toStdString();
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
        loadAgreeing(TT_AMERICAN);
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
        EXPECT_FALSE(check(TT_AMERICAN));
        EXPECT_EQ(msg, QString::fromUtf8(c.message));
    }
}

TEST_F(MixedCheckTest, shouldNameTheFirstProductOrUnderwriterThatDiffersWithItsPosition)
{
    // Given P12 allocated 2.5 instead of 3 and P9 1.5 instead of 1 (P12's key sorts first),
    // and a user format that groups thousands
    CHostStore::instance().setSegmentedFormat(true);
    loadAgreeing(TT_AMERICAN);
    info("2").winBidAmount = 0.5;
    info("3").winBidAmount = 1.5;
    // Then P12 and its position are named, without grouping
    EXPECT_FALSE(check(TT_AMERICAN));
    EXPECT_EQ(msg, QStringLiteral("表三产品 P12 标位 1234.5000实际分配合计与表二中该产品该标位中标数量不一致,无法保存!"));

    // Given a mixed tender whose products agree, but UW2's 1.0 is booked to UW1
    loadAgreeing(TT_MIXED);
    info("2").underWriter = "UW1";
    // Then UW1 and its position are named
    EXPECT_FALSE(check(TT_MIXED));
    EXPECT_EQ(msg,
              QStringLiteral("表三承销商 UW1 标位 1234.5000实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"));

    // Given UW2 at 1234.5 and UW1 at 99 both allocated nothing (table one lists UW2 first)
    loadAgreeing(TT_AMERICAN);
    info("2").underWriter = "UW3";
    info("3").underWriter = "UW3";
    // Then the key first in byte order is named
    EXPECT_FALSE(check(TT_AMERICAN));
    EXPECT_EQ(msg,
              QStringLiteral("表三承销商 UW1 标位 99.0000实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"));
}

TEST_F(MixedTableTest, shouldSaveTheProductsCommandsOnceAndVolumesAsWholeTenThousandths)
{
    // Given tender commands of products 12 and 9, one of another bond, one without parameters
    // and a second record of command 501 under product 9
    for (auto [id, productId, bond] : {std::tuple{501, 12, kBond}, std::tuple{503, 12, std::string("B2")},
                                       std::tuple{502, 12, kBond}, std::tuple{504, 9, kBond},
                                       std::tuple{501, 9, kBond}})
        addTenderCommand(id, productId, bond, 100.5, TPT_PRIMARY, TTG_PRICE, TT_AMERICAN);
    boost::shared_ptr<ttservice::CTenderCommandInfo> bare(new ttservice::CTenderCommandInfo());
    bare->commandId = 505;
    bare->productId = 12;
    CHostStore::instance().addTenderCommand(bare);
    // And a fresh allocation whose rows won 1.2345 and 0.99995, with a basic tender unit of 0.1
    load(table, {});
    QMap<int, ProductRowPtr> products{{1, productRow(1, 12, 100.5, 3.0, 1.2345)},
                                      {2, productRow(2, 9, 100.5, 3.0, 0.99995)}};
    table.refreshWinBidAllocationMixedTable(products, TT_AMERICAN, "Bond 1");

    // When saved
    CHostStore::instance().clearCalls();
    table.placeMixedTableDatas();

    // Then one call carries the command ids once each, in the order the products come
    const auto calls = updateCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, ttservice::SHostCall::TenderCmds);
    EXPECT_EQ(calls[0].operation, 3);
    EXPECT_EQ(calls[0].commandIds, (std::vector<int>{501, 502, 504}));
    // And the volumes in ten-thousandths are cut, not rounded
    const auto saved = stored<ttservice::CWinBidInfoDetail>(kBond, RT_WIN_BID_DETAIL);
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0]->productId, 12);
    EXPECT_EQ(saved[0]->winBidAmount, 12345);
    EXPECT_EQ(saved[1]->winBidAmount, 9999);
}

TEST_F(MixedTableTest, shouldSaveEachNameWithTheIdTheLastLoadGaveItLast)
{
    // Each load: the product ids by name it leaves; a name met again further on takes its
    // later id; a reload with other ids is not answered with the earlier load's.
    using Loaded = std::vector<std::pair<std::string, int>>;
    const std::vector<Loaded> loads = {
        {{"P12", 12}, {"P9", 9}},
        {{"P12", 12}, {"P9", 9}},
        {{"P12", 10}, {"P9", 9}},
        {{"P12", 12}, {"P9", 9}, {"P12", 10}},
    };
    const std::vector<std::map<std::string, int>> expected = {
        {{"P12", 12}, {"P9", 9}},
        {{"P12", 12}, {"P9", 9}},
        {{"P12", 10}, {"P9", 9}},
        {{"P12", 10}, {"P9", 9}},
    };
    for (size_t i = 0; i < loads.size(); ++i) {
        std::vector<DetailPtr> details;
        double price = 99.0;
        for (const auto& [name, id] : loads[i])
            details.push_back(detail(id, name, price += 0.5, 10000, true));
        load(table, details);
        table.placeMixedTableDatas();

        std::map<std::string, int> saved;
        for (const auto& row : stored<ttservice::CWinBidInfoDetail>(kBond, RT_WIN_BID_DETAIL))
            saved[row->productName] = row->productId;
        EXPECT_EQ(saved, expected[i]) << "load " << i;
    }
}
