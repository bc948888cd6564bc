// The head strip: result radios, faces, check and the bid parameters written to the host.
#include <QAbstractButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "CPanelBondAllocationHeadTable.h"
#include "KZ/Widgets.h"
#include "TC/OpButton.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"
#include "ttservice/BondTenderRecords.h"

using TC::CPanelBondAllocationHeadTable;
using namespace ttservice;

namespace {

struct SEvent {
    int id;
    int sender;
    int intParam;
    QString text;
    void* pointer;
};

// Stands in for the panel: records every event that reaches it and consumes it.
class EventRecorder : public KZ::CBaseWidget {
public:
    EventRecorder() : KZ::CBaseWidget(QStringLiteral("test"), false, nullptr) {}
    bool handleEvent(int id, int sender, int intParam, QString text, void* pointer) override
    {
        events.push_back({id, sender, intParam, text, pointer});
        return true;
    }
    std::vector<SEvent> events;
};

class HeadTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::resetHost();
        head = new CPanelBondAllocationHeadTable(0, &panel);   // owned by Qt parent
        panel.show();
    }
    void TearDown() override { testsupport::resetHost(); }

    void click(QAbstractButton* button)
    {
        ASSERT_NE(nullptr, button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    boost::shared_ptr<CIBondTenderAllocParams> lastSentParams(const std::string& bond)
    {
        const std::vector<SHostCall> calls = CHostStore::instance().calls();
        if (calls.empty() || calls.back().records.size() != 1) return {};
        EXPECT_EQ(SHostCall::BondTenderDatas, calls.back().kind);
        EXPECT_EQ(bond, calls.back().bondCode);
        EXPECT_EQ(RT_ALLOC_PARAMS, calls.back().typeId);
        return boost::dynamic_pointer_cast<CIBondTenderAllocParams>(calls.back().records.front());
    }

    EventRecorder panel;
    CPanelBondAllocationHeadTable* head = nullptr;
};

} // namespace

TEST_F(HeadTableTest, shouldReportTheChosenResultAsEvent95)
{
    // Given the won face
    head->showWinBidHeadTable();

    // When the user clicks "未中标", then "已中标"
    click(head->resultGroup()->button(CPanelBondAllocationHeadTable::ID_RESULT_LOST));
    click(head->resultGroup()->button(CPanelBondAllocationHeadTable::ID_RESULT_WON));

    // Then the panel hears 95 from 11, then from 10, with nothing else attached
    ASSERT_EQ(2u, panel.events.size());
    EXPECT_EQ(95, panel.events[0].id);
    EXPECT_EQ(11, panel.events[0].sender);
    EXPECT_EQ(10, panel.events[1].sender);
    for (const SEvent& e : panel.events) {
        EXPECT_EQ(0, e.intParam);
        EXPECT_TRUE(e.text.isEmpty());
        EXPECT_EQ(nullptr, e.pointer);
    }
}

TEST_F(HeadTableTest, shouldLetOtherEventsReachThePanel)
{
    // Given the not-won face, where the save button is shown and enabled
    head->showLoseBidHeadTable();

    // When the user clicks save
    click(head->saveButton());

    // Then the button's own click event goes up unchanged
    ASSERT_EQ(1u, panel.events.size());
    EXPECT_EQ(KZ::EVT_BUTTON_CLICKED, panel.events[0].id);
    EXPECT_EQ(CPanelBondAllocationHeadTable::ID_SAVE, panel.events[0].sender);
}

namespace {

// What one face shows: visibility, enabling, the selected result, the coupon's editability.
struct SFace {
    const char* name;
    std::function<void(CPanelBondAllocationHeadTable*)> apply;
    bool groupEnabled;
    int checkedId;
    bool marginalShown, marginalEnabled;
    bool meanShown, meanEnabled;
    bool couponShown, couponEnabled, couponEditable;
    bool saveShown, saveEnabled;
};

} // namespace

TEST_F(HeadTableTest, shouldShowHideAndEnableTheCellsOfEachFace)
{
    using H = CPanelBondAllocationHeadTable;
    const SFace faces[] = {
        {"after creation", [](H*) {}, false, 10, true, false, true, false, false, true, false, false, false},
        {"won", [](H* h) { h->showWinBidHeadTable(); }, true, 10, true, true, true, true, false, true, false, false,
         false},
        {"not won", [](H* h) { h->showLoseBidHeadTable(); }, true, 11, false, false, false, false, true, true, false,
         true, true},
        {"won, disabled", [](H* h) { h->showWinBidHeadTable(); h->disableBidHeadTable(); }, false, 10, true, false,
         true, false, false, false, false, false, false},
        {"not won, disabled", [](H* h) { h->showLoseBidHeadTable(); h->disableBidHeadTable(); }, false, 11, false,
         false, false, false, true, false, false, true, false},
        {"not won, editable", [](H* h) { h->showLoseBidHeadTable(); h->refreshAllocationHeadTableButton(true); },
         true, 11, false, false, false, false, true, true, true, true, true},
        {"not won, locked", [](H* h) { h->showLoseBidHeadTable(); h->refreshAllocationHeadTableButton(false); },
         true, 11, false, false, false, false, true, true, false, true, false},
    };
    for (const SFace& face : faces) {
        SCOPED_TRACE(face.name);
        // Given a fresh strip, when the face is applied
        EventRecorder owner;
        auto* strip = new H(0, &owner);
        owner.show();
        face.apply(strip);

        // Then exactly these cells are shown and enabled
        EXPECT_TRUE(strip->resultCaption()->isVisible());
        EXPECT_TRUE(strip->resultGroup()->isVisible());
        EXPECT_EQ(face.groupEnabled, strip->resultGroup()->isEnabled());
        EXPECT_EQ(face.groupEnabled, strip->isControllorEnable());
        EXPECT_EQ(face.checkedId, strip->resultGroup()->checkedId());
        EXPECT_EQ(face.marginalShown, strip->marginalPriceCell()->isVisible());
        EXPECT_EQ(face.marginalEnabled, strip->marginalPriceCell()->isEnabled());
        EXPECT_EQ(face.meanShown, strip->weightedMeanPriceCell()->isVisible());
        EXPECT_EQ(face.meanEnabled, strip->weightedMeanPriceCell()->isEnabled());
        EXPECT_EQ(face.couponShown, strip->couponRateCell()->isVisible());
        EXPECT_EQ(face.couponEnabled, strip->couponRateCell()->isEnabled());
        EXPECT_EQ(face.couponEditable, strip->couponRateCell()->isEditEnable());
        EXPECT_EQ(face.saveShown, strip->saveButton()->isVisible());
        EXPECT_EQ(face.saveEnabled, strip->saveButton()->isEnabled());
    }
}

TEST_F(HeadTableTest, shouldBuildTheStripWithItsCaptionsAndSizes)
{
    EXPECT_EQ(QSize(1100, 50), head->size());
    EXPECT_EQ(12, head->marginalPriceCell()->id());
    EXPECT_EQ(13, head->weightedMeanPriceCell()->id());
    EXPECT_EQ(14, head->couponRateCell()->id());
    EXPECT_EQ(15, head->saveButton()->id());
    EXPECT_EQ(QStringLiteral("  保存  "), head->saveButton()->text());
    EXPECT_EQ(QStringLiteral("中标结果:"), head->resultCaption()->text());
    EXPECT_EQ(QStringLiteral("已中标"), head->resultGroup()->button(10)->text());
    EXPECT_EQ(QStringLiteral("未中标"), head->resultGroup()->button(11)->text());
}

namespace {

struct SCheckCase {
    bool wonFace;
    double marginal, mean, coupon;
    const char* bond;
    ETenderingType type;
    const char* message;   // null: accepted
};

} // namespace

TEST_F(HeadTableTest, shouldReportOnlyTheFirstFailingRule)
{
    const char* const marginalZero = "边际价格/利率为0,无法保存!";
    const char* const meanZero = "加权平均价格/利率必须大于0!";
    const char* const couponZero = "票面利率必须大于0!";
    const char* const noBond = "债券代码为空,无法保存!";
    const SCheckCase cases[] = {
        {true, 0.00001, 1.0, 0.0, "B1", TT_DUTCH, marginalZero},
        {true, 0.0, 0.0, 0.0, "", TT_AMERICAN, marginalZero},
        {true, 0.0001, 1.0, 0.0, "B1", TT_DUTCH, nullptr},
        {true, 100.0, 0.0, 0.0, "B1", TT_DUTCH, nullptr},
        {true, 100.0, 0.0, 0.0, "B1", TT_AMERICAN, meanZero},
        {true, 100.0, 0.0, 0.0, "", TT_MIXED, meanZero},
        {true, 100.0, 0.0, 0.0, "B1", TT_NONE, nullptr},
        {true, 100.0, 99.5, 0.0, "", TT_MIXED, noBond},
        {false, 0.0, 0.0, 0.0, "B1", TT_AMERICAN, couponZero},
        {false, 0.0, 0.0, 0.0, "", TT_AMERICAN, couponZero},
        {false, 0.0, 0.0, 3.5, "", TT_AMERICAN, noBond},
        {false, 0.0, 0.0, 3.5, "B1", TT_AMERICAN, nullptr},
    };
    for (const SCheckCase& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.wonFace ? "won" : "not won") << " m=" << c.marginal << " w=" << c.mean
                                        << " c=" << c.coupon << " bond=" << c.bond << " type=" << c.type);
        // Given a face with these values
        c.wonFace ? head->showWinBidHeadTable() : head->showLoseBidHeadTable();
        head->setMarginalPrice(c.marginal);
        head->setWeightedMeanPrice(c.mean);
        head->setCouponRate(c.coupon);

        // When checked
        QString message = QStringLiteral("untouched");
        const bool ok = head->check(message, c.bond, c.type);

        // Then the first failure is reported, or the message is left alone
        EXPECT_EQ(c.message == nullptr, ok);
        EXPECT_EQ(c.message ? QString::fromUtf8(c.message) : QStringLiteral("untouched"), message);
    }
}

TEST_F(HeadTableTest, shouldWriteTheShownValuesAndZeroForHiddenCells)
{
    // Given values in all three cells
    head->setMarginalPrice(101.5);
    head->setWeightedMeanPrice(100.25);
    head->setCouponRate(3.5);
    std::string bond = "B1";

    // When the won face is saved, then the hidden coupon rate goes out as 0
    head->showWinBidHeadTable();
    head->placeHeadTableDatas(bond);
    auto sent = lastSentParams(bond);
    ASSERT_TRUE(sent);
    EXPECT_DOUBLE_EQ(101.5, sent->marginalPrice);
    EXPECT_DOUBLE_EQ(100.25, sent->weightedMeanPrice);
    EXPECT_DOUBLE_EQ(0.0, sent->couponRate);
    EXPECT_EQ(kInvalidDouble, sent->issuePrice);
    EXPECT_TRUE(sent->bondName.empty());
    ASSERT_EQ(1u, CHostStore::instance().records(bond, RT_ALLOC_PARAMS).size());

    // When the not-won face is saved, then both prices go out as 0
    head->showLoseBidHeadTable();
    head->placeHeadTableDatas(bond);
    sent = lastSentParams(bond);
    ASSERT_TRUE(sent);
    EXPECT_DOUBLE_EQ(0.0, sent->marginalPrice);
    EXPECT_DOUBLE_EQ(0.0, sent->weightedMeanPrice);
    EXPECT_DOUBLE_EQ(3.5, sent->couponRate);
    const auto stored = CHostStore::instance().typedRecords<CIBondTenderAllocParams>(bond, RT_ALLOC_PARAMS);
    ASSERT_EQ(1u, stored.size());
    EXPECT_DOUBLE_EQ(3.5, stored.front()->couponRate);
}

TEST_F(HeadTableTest, shouldClearWithZerosWhateverTheCellsShow)
{
    // Given stored parameters and cells holding values
    std::string bond = "B1";
    head->showWinBidHeadTable();
    head->setMarginalPrice(101.5);
    head->setWeightedMeanPrice(100.25);
    head->placeHeadTableDatas(bond);

    // When cleared
    head->clearHeadTableBackStageData(bond);

    // Then one all-zero record went out and the host dropped the bond's parameters
    const auto sent = lastSentParams(bond);
    ASSERT_TRUE(sent);
    EXPECT_EQ(bond, sent->bondCode);
    EXPECT_TRUE(sent->bondName.empty());
    EXPECT_EQ(0.0, sent->marginalPrice);
    EXPECT_EQ(0.0, sent->weightedMeanPrice);
    EXPECT_EQ(0.0, sent->issuePrice);
    EXPECT_EQ(0.0, sent->couponRate);
    EXPECT_TRUE(CHostStore::instance().records(bond, RT_ALLOC_PARAMS).empty());
}

