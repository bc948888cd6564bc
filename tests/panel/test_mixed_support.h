#pragma once
// Builders and view drivers shared by the account allocation table's tests.

#include <QAbstractItemModel>
#include <QCompleter>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "CAllocationMixedModel.h"
#include "CAllocationProductData.h"
#include "CPanelBondAllocationMixedTable.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/StandardHpfTable.h"
#include "TC/AutoLineEditDelegate.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

namespace mixedtest {

using DetailPtr = boost::shared_ptr<ttservice::CWinBidInfoDetail>;
using ProductRowPtr = boost::shared_ptr<TC::CAllocationProductData>;

const std::string kBond = "B1";

inline boost::shared_ptr<ttservice::CAccountInfo> account(int type, const std::string& id)
{
    boost::shared_ptr<ttservice::CAccountInfo> a(new ttservice::CAccountInfo());
    a->accountType = type;
    a->accountId = id;
    return a;
}

inline boost::shared_ptr<ttservice::CProduct> product(int id, const std::string& name,
                                                      std::vector<boost::shared_ptr<ttservice::CAccountInfo>> accounts)
{
    boost::shared_ptr<ttservice::CProduct> p(new ttservice::CProduct());
    p->productId = id;
    p->productName = name;
    p->accounts = std::move(accounts);
    return p;
}

// Products 9, 10 and 12 with exchange (2) and interbank (15002) accounts.
inline void seedProducts()
{
    ttservice::CHostStore::instance().setProducts({
        product(9, "P9", {account(2, "SH9")}),
        product(10, "P10", {account(2, "SH10")}),
        product(12, "P12", {account(2, "SH1"), account(15002, "IB1"), account(2, "SH2")}),
    });
}

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

// Model rows in order as "product|won volume|operation text".
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

// --- driving the shown view ---

inline QModelIndex cellIndex(const TC::CPanelBondAllocationMixedTable& table, const QString& key, int column)
{
    table.getTable()->syncNow();
    QAbstractItemModel* model = table.getTable()->qtModel();
    for (int r = 0; r < model->rowCount(); ++r) {
        const QModelIndex index = model->index(r, column);
        if (index.data(KZ::kRowKeyRole).toString() == key)
            return index;
    }
    return QModelIndex();
}

inline void clickCell(const TC::CPanelBondAllocationMixedTable& table, const QString& key, int column)
{
    const QModelIndex index = cellIndex(table, key, column);
    ASSERT_TRUE(index.isValid()) << "no row " << key.toStdString();
    QTableView* view = table.getTable()->view();
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(index).center());
}

// Opens the cell's editor as a double click would; null when the cell cannot be edited.
inline QLineEdit* openEditor(const TC::CPanelBondAllocationMixedTable& table, const QString& key, int column)
{
    const QModelIndex index = cellIndex(table, key, column);
    if (!index.isValid())
        return nullptr;
    QTableView* view = table.getTable()->view();
    view->scrollTo(index);
    view->edit(index);
    for (QLineEdit* edit : view->viewport()->findChildren<QLineEdit*>()) {
        if (edit->isVisible())
            return edit;
    }
    return nullptr;
}

// Picks an entry of the editor's choice list, which opens with every entry offered.
inline void chooseFromList(QLineEdit* edit, const QString& text)
{
    QCoreApplication::processEvents();
    QCompleter* completer = edit->completer();
    ASSERT_NE(completer, nullptr);
    QAbstractItemModel* offered = completer->completionModel();
    for (int r = 0; r < offered->rowCount(); ++r) {
        const QModelIndex index = offered->index(r, 0);
        if (index.data().toString() == text) {
            completer->popup()->setCurrentIndex(index);
            QTest::keyClick(completer->popup(), Qt::Key_Return);
            QCoreApplication::processEvents();
            return;
        }
    }
    FAIL() << "not offered: " << text.toStdString();
}

// Types a (latin) text into the editor and commits it with Return.
inline void typeAndCommit(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    QCoreApplication::processEvents();
}

// Sets up the host with products; every test starts from a clean store.
class MixedTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        seedProducts();
    }
    void TearDown() override { testsupport::resetHost(); }

    testsupport::MessageBoxRecorder boxes;
};

} // namespace mixedtest
