#pragma once
// Seeds the host like a real tender and drives the whole allocation panel through
// its public operations and its real widgets; shared by the panel and workflow tests.

#include <QAbstractItemModel>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CAllocationMixedData.h"
#include "CAllocationMixedModel.h"
#include "CAllocationProductData.h"
#include "CAllocationUnderWriteData.h"
#include "CPanelBondAllocationButtonTable.h"
#include "CPanelBondAllocationHeadTable.h"
#include "CPanelBondAllocationMixedTable.h"
#include "CPanelBondAllocationProductTable.h"
#include "CPanelBondAllocationUnderWriteTable.h"
#include "CPanelBondTenderAllocationPanel.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/StandardHpfTable.h"
#include "KZ/Widgets.h"
#include "TC/AutoLineEditDelegate.h"
#include "TC/OpButton.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"
#include "ttservice/Bson.h"

namespace wf {

using namespace ttservice;

// ------------------------------------------------------------------ the tender

constexpr int kFundOne = 101;
constexpr int kFundTwo = 102;
constexpr int kFundOther = 103;
inline const std::string kFundOneName = "稳健一号";
inline const std::string kFundTwoName = "成长二号";
inline const std::string kGuotai = "国泰证券";
inline const std::string kCitic = "中信证券";
inline const std::string kHuatai = "华泰证券";

inline const std::string kDutchBond = "DB001";       // Dutch, rate
inline const std::string kAmericanBond = "AB002";    // American, price
inline const std::string kMixedBond = "MB003";       // mixed, rate
inline const std::string kToday = "20261205";

using testsupport::product;

inline void seedProducts()
{
    CHostStore::instance().setProducts({
        product(kFundOne, kFundOneName, {{2, "A001"}, {15002, "IB001"}, {2, "A002"}}),
        product(kFundTwo, kFundTwoName, {{2, "B001"}, {15002, "IB002"}}),
        product(kFundOther, "平衡三号", {{2, "C001"}}),
    });
}

// A tender command with any extension, readable or not.
inline void addCommandWithExtension(int commandId, int productId, const BSONObj& extension)
{
    boost::shared_ptr<CTenderCommandInfo> cmd(new CTenderCommandInfo());
    cmd->commandId = commandId;
    cmd->productId = productId;
    cmd->extension = extension;
    CHostStore::instance().addTenderCommand(cmd);
}

inline void addTenderCommand(int commandId, int productId, const std::string& bond, double price, int purchaseType,
                             int target, int type)
{
    BSONObjBuilder param;
    param.append("bondCode", bond)
        .append("tenderPrice", price)
        .append("purchaseType", purchaseType)
        .append("tenderTarget", target)
        .append("tenderingType", type);
    addCommandWithExtension(commandId, productId, BSONObjBuilder().append("btdparam", param.obj()).obj());
}

inline void addExternalReport(const std::string& bond, const std::string& name, const std::string& underWriter,
                              double price, double bid)
{
    boost::shared_ptr<CIBondTenderExecExternalReportInfo> r(new CIBondTenderExecExternalReportInfo());
    r->bondCode = bond;
    r->bondName = name;
    r->underWriterName = underWriter;
    r->tenderPrice = price;
    r->bidAmount = bid;
    CHostStore::instance().addRecord(bond, RT_EXEC_EXTERNAL_REPORT, r);
}

inline void addInternalReport(const std::string& bond, const std::string& name, int target, int productId,
                              std::map<std::string, double> bids)
{
    boost::shared_ptr<CIBondTenderExecInternalReportInfo> r(new CIBondTenderExecInternalReportInfo());
    r->bondCode = bond;
    r->bondName = name;
    r->tenderTarget = target;
    r->productId = productId;
    r->bidDetails = std::move(bids);
    CHostStore::instance().addRecord(bond, RT_EXEC_INTERNAL_REPORT, r);
}

inline void putAllocParams(const std::string& bond, double marginal, double weighted, double coupon)
{
    boost::shared_ptr<CIBondTenderAllocParams> p(new CIBondTenderAllocParams());
    p->bondCode = bond;
    p->bondName = "";
    p->marginalPrice = marginal;
    p->weightedMeanPrice = weighted;
    p->issuePrice = 0;
    p->couponRate = coupon;
    CHostStore::instance().putRecords(bond, RT_ALLOC_PARAMS, {p});
}

inline void setLockDate(const std::string& bond, const std::string& name, const std::string& date)
{
    CTenderBondInfoDetail detail;
    detail.bondCode = bond;
    detail.bondName = name;
    detail.lockDate = date;
    CHostStore::instance().setTenderBondInfo(detail);
}

// Dutch rate tender DB001, marginal rate 3.30: 国泰 bid 5.0 at 3.10 and 中信 3.0 at
// 3.20 won, 华泰 at 3.40 lost. Funds one (3.10: 2.0, 3.20: 1.0, 3.40: 4.0) and two (3.10: 2.0).
inline void seedDutchRateTender()
{
    const std::string name = "24附息国债05";
    addTenderCommand(9001, kFundOne, kDutchBond, 3.10, TPT_PRIMARY, TTG_RATE, TT_DUTCH);
    addTenderCommand(9002, kFundTwo, kDutchBond, 3.10, TPT_PRIMARY, TTG_RATE, TT_DUTCH);
    addTenderCommand(9003, kFundOne, kDutchBond, 3.20, TPT_PRIMARY, TTG_RATE, TT_DUTCH);
    addTenderCommand(9004, kFundOne, kAmericanBond, 100.00, TPT_SECONDARY, TTG_PRICE, TT_AMERICAN);
    addExternalReport(kDutchBond, name, kGuotai, 3.10, 5.0);
    addExternalReport(kDutchBond, name, kCitic, 3.20, 3.0);
    addExternalReport(kDutchBond, name, kHuatai, 3.40, 2.0);
    addInternalReport(kDutchBond, name, TTG_RATE, kFundOne, {{"3.10", 2.0}, {"3.20", 1.0}, {"3.40", 4.0}});
    addInternalReport(kDutchBond, name, TTG_RATE, kFundTwo, {{"3.10", 2.0}});
    setLockDate(kDutchBond, name, "20261210");
}

// American price tender AB002, stored marginal 99.50 and weighted mean 99.80:
// 国泰 bid 2.0 at 100.00 and 3.0 at 99.50 won, 中信 at 99.00 lost. Fund one bid 1.0 at
// 100.00 and 2.0 at 99.50, fund two 2.0 at 99.50 and 1.0 at 99.00.
inline void seedAmericanPriceTender()
{
    const std::string name = "24国开02";
    addTenderCommand(9101, kFundOne, kAmericanBond, 100.00, TPT_SECONDARY, TTG_PRICE, TT_AMERICAN);
    addTenderCommand(9102, kFundOne, kAmericanBond, 99.50, TPT_PRIMARY, TTG_PRICE, TT_AMERICAN);
    addTenderCommand(9103, kFundTwo, kAmericanBond, 99.50, TPT_PRIMARY, TTG_PRICE, TT_AMERICAN);
    addExternalReport(kAmericanBond, name, kGuotai, 100.00, 2.0);
    addExternalReport(kAmericanBond, name, kGuotai, 99.50, 3.0);
    addExternalReport(kAmericanBond, name, kCitic, 99.00, 1.0);
    addInternalReport(kAmericanBond, name, TTG_PRICE, kFundOne, {{"100.00", 1.0}, {"99.50", 2.0}});
    addInternalReport(kAmericanBond, name, TTG_PRICE, kFundTwo, {{"99.50", 2.0}, {"99.00", 1.0}});
    putAllocParams(kAmericanBond, 99.50, 99.80, 0.0);
}

// Mixed rate tender MB003: 国泰 2.0 at 2.50, 中信 1.0 at 2.60; fund one 1.0 at 2.50
// and 0.5 at 2.60, fund two 1.0 at 2.55.
inline void seedMixedRateTender()
{
    const std::string name = "24农发03";
    addTenderCommand(9201, kFundOne, kMixedBond, 2.50, TPT_PRIMARY, TTG_RATE, TT_MIXED);
    addExternalReport(kMixedBond, name, kGuotai, 2.50, 2.0);
    addExternalReport(kMixedBond, name, kCitic, 2.60, 1.0);
    addInternalReport(kMixedBond, name, TTG_RATE, kFundOne, {{"2.50", 1.0}, {"2.60", 0.5}});
    addInternalReport(kMixedBond, name, TTG_RATE, kFundTwo, {{"2.55", 1.0}});
}

inline void freshHost()
{
    testsupport::resetHost();
    seedProducts();
    CHostStore::instance().setNow(QDateTime(QDate(2026, 12, 5), QTime(10, 30)));
}

// A panel test on the seeded products and a fixed "now"; a message box it does not expect fails it.
class PanelTest : public testsupport::HostTest {
protected:
    void SetUp() override { freshHost(); }
    testsupport::MessageBoxRecorder boxes;
};

// ------------------------------------------------------------------ the panel

// Exposes the data-thread entry and the timer-side processing to the tests.
class TestPanel : public TC::CPanelBondTenderAllocationPanel {
public:
    TestPanel() : TC::CPanelBondTenderAllocationPanel(1, nullptr) {}
    using TC::CPanelBondTenderAllocationPanel::onPositionStat;
    bool deliver(int eventId, int senderId, int intParam = 0, const QString& text = QString(), void* p = nullptr)
    {
        return handleEvent(eventId, senderId, intParam, text, p);
    }
};

struct PanelUnderTest {
    PanelUnderTest()
        : panel(new TestPanel())
    {
        panel->resize(1200, 760);
        panel->show();
        QApplication::processEvents();
    }

    TC::CPanelBondAllocationHeadTable* head() const { return panel->findChild<TC::CPanelBondAllocationHeadTable*>(); }
    TC::CPanelBondAllocationUnderWriteTable* one() const { return panel->findChild<TC::CPanelBondAllocationUnderWriteTable*>(); }
    TC::CPanelBondAllocationProductTable* two() const { return panel->findChild<TC::CPanelBondAllocationProductTable*>(); }
    TC::CPanelBondAllocationMixedTable* three() const { return panel->findChild<TC::CPanelBondAllocationMixedTable*>(); }
    TC::CPanelBondAllocationButtonTable* bar(bool mixed) const
    {
        for (auto* b : panel->findChildren<TC::CPanelBondAllocationButtonTable*>()) {
            if ((mixed ? b->saveButton() : b->fairAllocButton()) != nullptr)
                return b;
        }
        return nullptr;
    }
    TC::COpButton* fairButton() const { return bar(false)->fairAllocButton(); }
    TC::COpButton* saveButton() const { return bar(true)->saveButton(); }
    TC::COpButton* returnButton() const { return bar(true)->returnButton(); }

    // The user types the rates into the head's cells; each cell reports its edit (114).
    void editHeadPrices(double marginal, double weighted)
    {
        typeIntoCell(head()->marginalPriceCell(), marginal);
        typeIntoCell(head()->weightedMeanPriceCell(), weighted);
    }

    // The user clicks one of the head's result radios ("已中标" or "未中标").
    void chooseResult(int buttonId)
    {
        QAbstractButton* button = head()->resultGroup()->button(buttonId);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(5, button->height() / 2));
        QApplication::processEvents();
    }
    void chooseLost() { chooseResult(TC::CPanelBondAllocationHeadTable::ID_RESULT_LOST); }

    static void typeIntoCell(KZ::CParameterCell* cell, double value)
    {
        QLineEdit* editor = cell->getEditor();
        ASSERT_TRUE(editor->isEnabled());
        editor->setFocus();
        editor->selectAll();
        QTest::keyClicks(editor, QString::fromStdString(KZ::printFixed6(value)));
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();
    }

    std::unique_ptr<TestPanel> panel;
};

// ------------------------------------------------------------------ tables

inline KZ::CStandardHpfTable* hpfTable(const QWidget* area) { return area->findChild<KZ::CStandardHpfTable*>(); }

template <class Row>
std::vector<boost::shared_ptr<Row>> rowsOf(const QWidget* area)
{
    std::vector<boost::shared_ptr<Row>> out;
    for (const auto& data : hpfTable(area)->dataModel()->getDatas())
        out.push_back(boost::dynamic_pointer_cast<Row>(data));
    return out;
}

inline auto oneRows(const PanelUnderTest& p) { return rowsOf<TC::CAllocationUnderWriteData>(p.one()); }
inline auto twoRows(const PanelUnderTest& p) { return rowsOf<TC::CAllocationProductData>(p.two()); }
inline auto threeRows(const PanelUnderTest& p) { return rowsOf<TC::CAllocationMixedData>(p.three()); }

inline QModelIndex cellIndex(const QWidget* area, const QString& key, int column)
{
    KZ::CStandardHpfTable* table = hpfTable(area);
    table->syncNow();
    QAbstractItemModel* model = table->qtModel();
    for (int r = 0; r < model->rowCount(); ++r) {
        const QModelIndex index = model->index(r, column);
        if (index.data(KZ::kRowKeyRole).toString() == key)
            return index;
    }
    return QModelIndex();
}

// Opens a cell's editor as the user would; null when the cell cannot be edited.
inline QLineEdit* openEditor(const QWidget* area, const QString& key, int column)
{
    const QModelIndex index = cellIndex(area, key, column);
    if (!index.isValid())
        return nullptr;
    QTableView* view = hpfTable(area)->view();
    view->scrollTo(index);
    view->edit(index);
    for (QLineEdit* edit : view->viewport()->findChildren<QLineEdit*>()) {
        if (edit->isVisible())
            return edit;
    }
    return nullptr;
}

// Types text as the user would: ASCII key by key, Chinese committed by the input method.
inline void typeText(QLineEdit* edit, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClicks(edit, QString(c));
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(edit, &commit);
        }
    }
}

// Types into a cell and commits with Return, through the real editor.
inline void typeInto(const QWidget* area, const std::string& key, int column, const QString& text)
{
    QLineEdit* edit = openEditor(area, QString::fromStdString(key), column);
    ASSERT_NE(edit, nullptr) << "cell " << key << "/" << column << " is not editable";
    edit->selectAll();
    typeText(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::processEvents();
}

inline void typeInto(const QWidget* area, const std::string& key, int column, const std::string& text)
{
    typeInto(area, key, column, QString::fromStdString(text));
}

inline void typeInto(const QWidget* area, const std::string& key, int column, const char* text)
{
    typeInto(area, key, column, QString::fromUtf8(text));
}

inline void clickCell(const QWidget* area, const std::string& key, int column)
{
    const QModelIndex index = cellIndex(area, QString::fromStdString(key), column);
    ASSERT_TRUE(index.isValid()) << "no row " << key;
    QTableView* view = hpfTable(area)->view();
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(index).center());
    QApplication::processEvents();
}

inline void click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << button->text().toStdString() << " is disabled";
    QTest::mouseClick(button, Qt::LeftButton);
    QApplication::processEvents();
}

// Table three, row key: market, purchase type, underwriter and account, each chosen
// in its line edit with a choice list.
inline void completeRow(const PanelUnderTest& p, const std::string& key, const std::string& market,
                        const std::string& purchase, const std::string& underWriter, const std::string& account)
{
    typeInto(p.three(), key, 1, market);
    typeInto(p.three(), key, 2, purchase);
    typeInto(p.three(), key, 3, underWriter);
    typeInto(p.three(), key, 8, account);
}

// The American tender AB002 as the user allocates it: table one 国泰 1.0 at 100.00 and
// 3.0 at 99.50, the fair distribution keeps fund one's 1.0 at 100.00 and splits 3.0 at the
// marginal 99.50 evenly; table three completed on the exchange with the volumes typed.
inline void allocateAmericanTender(PanelUnderTest& p)
{
    p.panel->refreshWinBidAllocationPanel(false, kAmericanBond, 0.1);
    const auto one = oneRows(p);
    ASSERT_EQ(one.size(), 2u);
    typeInto(p.one(), one[0]->key(), 7, "1");
    typeInto(p.one(), one[1]->key(), 7, "3");
    click(p.fairButton());
    ASSERT_EQ(threeRows(p).size(), 3u);
    completeRow(p, "1", "上交所", "二级上市", kGuotai, "A001");
    completeRow(p, "2", "上交所", "一级分销", kGuotai, "A002");
    completeRow(p, "3", "上交所", "一级分销", kGuotai, "B001");
    typeInto(p.three(), "1", 7, "1");
    typeInto(p.three(), "2", 7, "1.5");
    typeInto(p.three(), "3", 7, "1.5");
}

// The Dutch tender DB001 as the user allocates it: the rates typed, table one 国泰 2.7
// (typed 2.75, cut to whole units) and 中信 1.8, the fair distribution (fund one 2.7, fund
// two 1.8); table three splits fund one's 2.7 over two accounts (1.2 on the exchange, 1.5
// interbank) through 国泰 and puts fund two's 1.8 on B001 through 中信.
inline void allocateDutchTender(PanelUnderTest& p)
{
    p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
    p.editHeadPrices(3.30, 3.15);
    ASSERT_EQ(oneRows(p).size(), 2u);
    typeInto(p.one(), oneRows(p)[0]->key(), 7, "2.75");
    typeInto(p.one(), oneRows(p)[1]->key(), 7, "1.8");
    click(p.fairButton());
    ASSERT_EQ(threeRows(p).size(), 2u);
    completeRow(p, "1", "上交所", "一级分销", kGuotai, "A001");
    clickCell(p.three(), "1", 9);   // "+添加"
    ASSERT_EQ(threeRows(p).size(), 3u);
    typeInto(p.three(), "2", 1, "银行间");
    typeInto(p.three(), "2", 8, "IB001");
    typeInto(p.three(), "1", 7, "1.2");
    typeInto(p.three(), "2", 7, "1.5");
    completeRow(p, "3", "深交所", "一级分销", kCitic, "B001");
    typeInto(p.three(), "3", 7, "1.8");
}

// ------------------------------------------------------------------ the host's side

inline std::vector<SHostCall> updateCalls()
{
    return CHostStore::instance().calls();
}

template <class T>
std::vector<boost::shared_ptr<T>> stored(const std::string& bond, int type)
{
    return CHostStore::instance().typedRecords<T>(bond, type);
}

} // namespace wf
