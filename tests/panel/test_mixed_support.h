#pragma once
// Builders shared by the account allocation table's tests; the view drivers are the
// panel workflow ones (typeInto, clickCell, openEditor), used on the table alone.

#include <QAbstractItemModelTester>
#include <string>
#include <vector>

#include "panel_workflow_support.h"

namespace mixedtest {

using namespace wf;
using DetailPtr = boost::shared_ptr<ttservice::CWinBidInfoDetail>;
using ProductRowPtr = boost::shared_ptr<TC::CAllocationProductData>;

const std::string kBond = "B1";

// A saved row: product at a position, won volume in units of 0.0001, fixed or added,
// complete with market 1, primary distribution, underwriter UW1 and an exchange account.
inline DetailPtr detail(int productId, const std::string& productName, double bidPrice, int winUnits, bool fixed)
{
    DetailPtr d(new ttservice::CWinBidInfoDetail());
    d->bondCode = kBond;
    d->productId = productId;
    d->productName = productName;
    d->bidPrice = bidPrice;
    d->bidAmount = 10.0;
    d->winBidAmount = winUnits;
    d->fixedRowIndex = fixed ? "1" : "";
    d->tenderMarket = ttservice::TM_SSE;
    d->purchaseType = ttservice::TPT_PRIMARY;
    d->underWriter = "UW1";
    d->account = "SH1";
    return d;
}

inline void load(TC::CPanelBondAllocationMixedTable& table, const std::vector<DetailPtr>& details,
                 ttservice::ETenderingType type = ttservice::TT_AMERICAN, double unit = 0.1)
{
    QStringList underWriters{QString(), QStringLiteral("UW1"), QStringLiteral("UW2")};
    table.updateMixedTableDatas(details, 100.0, 100.5, kBond, underWriters, ttservice::TTG_PRICE, type, unit, "Bond 1");
}

inline ProductRowPtr productRow(int rowNumber, int productId, double price, double bid, double won,
                                int purchaseType = ttservice::TPT_PRIMARY)
{
    ProductRowPtr row(new TC::CAllocationProductData());
    row->info.reset(new TC::CAllocationProductInfo());
    row->info->bondCode = kBond;
    row->info->productId = productId;
    row->info->tenderPrice = price;
    row->info->purchaseType = purchaseType;
    row->info->bidAmount = bid;
    row->info->winAmount = won;
    row->rowNumber = rowNumber;
    return row;
}

inline TC::CAllocationMixedDataPtr rowByKey(const TC::CPanelBondAllocationMixedTable& table, const std::string& key)
{
    return boost::dynamic_pointer_cast<TC::CAllocationMixedData>(table.getAllocationMixedModel()->getDataByKey(key));
}

// Model rows in order as "key:product|won volume|operation text".
inline std::vector<std::string> rowSummary(const TC::CPanelBondAllocationMixedTable& table)
{
    std::vector<std::string> out;
    for (const auto& data : table.getAllocationMixedModel()->getDatas()) {
        const auto row = boost::dynamic_pointer_cast<TC::CAllocationMixedData>(data);
        out.push_back(row->key() + ":" + row->info->productName + "|" + row->getDisplayQString(7).toStdString() + "|"
                      + row->info->operationText);
    }
    return out;
}

template <class Delegate>
Delegate* delegateAt(const TC::CPanelBondAllocationMixedTable& table, int column)
{
    return dynamic_cast<Delegate*>(table.getTable()->columnDelegate(column));
}

inline QStringList choices(const TC::CPanelBondAllocationMixedTable& table, int column, const QString& key)
{
    return delegateAt<TC::CBaseTableColumnAutoLineEditDelegate>(table, column)->getItems(key);
}

// A shown table three over products 9, 10 and 12 (12 with exchange and interbank accounts).
class MixedTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        CHostStore::instance().setProducts({
            product(9, "P9", {account(2, "SH9")}),
            product(10, "P10", {account(2, "SH10")}),
            product(12, "P12", {account(2, "SH1"), account(15002, "IB1"), account(2, "SH2")}),
        });
        table.resize(900, 300);
        table.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&table));
    }
    void TearDown() override { testsupport::resetHost(); }

    double wonTotal() const { return table.getAllocationMixedModel()->getTotalWinBidAmount(); }

    testsupport::MessageBoxRecorder boxes;
    TC::CPanelBondAllocationMixedTable table{0, nullptr};
};

} // namespace mixedtest
