// The head strip: result radios, faces, check and the bid parameters written to the host.
#include <functional>

#include "panel_workflow_support.h"

using namespace wf;
using TC::CPanelBondAllocationHeadTable;

namespace {

class HeadTableTest : public testsupport::HostTest {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        head = new CPanelBondAllocationHeadTable(0, &panel);   // owned by Qt parent
        panel.show();
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

    KZ::CBaseWidget panel{QStringLiteral("test"), false, nullptr};
    CPanelBondAllocationHeadTable* head = nullptr;
};

// What a face shows, as "result enabled/checked id", then shown/enabled flags of the
// marginal, mean, coupon (and its editability) and save cells, e.g. "1/10 11 11 010 00".
std::string faceOf(const CPanelBondAllocationHeadTable* h)
{
    const auto flags = [](const QWidget* w) {
        return std::string(w->isVisible() ? "1" : "0") + (w->isEnabled() ? "1" : "0");
    };
    EXPECT_TRUE(h->resultGroup()->isVisible());
    EXPECT_EQ(h->resultGroup()->isEnabled(), h->isControllorEnable());
    return (h->isControllorEnable() ? "1/" : "0/") + std::to_string(h->resultGroup()->checkedId()) + " "
           + flags(h->marginalPriceCell()) + " " + flags(h->weightedMeanPriceCell()) + " "
           + flags(h->couponRateCell()) + (h->couponRateCell()->isEditEnable() ? "1" : "0") + " "
           + flags(h->saveButton());
}

} // namespace

TEST_F(HeadTableTest, shouldShowHideAndEnableTheCellsOfEachFace)
{
    using H = CPanelBondAllocationHeadTable;
    const struct { const char* name; std::function<void(H*)> apply; const char* face; } faces[] = {
        {"after creation", [](H*) {}, "0/10 10 10 010 00"},
        {"won", [](H* h) { h->showWinBidHeadTable(); }, "1/10 11 11 010 00"},
        {"not won", [](H* h) { h->showLoseBidHeadTable(); }, "1/11 00 00 110 11"},
        {"won, disabled", [](H* h) { h->showWinBidHeadTable(); h->disableBidHeadTable(); }, "0/10 10 10 000 00"},
        {"not won, disabled", [](H* h) { h->showLoseBidHeadTable(); h->disableBidHeadTable(); }, "0/11 00 00 100 10"},
        {"not won, editable", [](H* h) { h->showLoseBidHeadTable(); h->refreshAllocationHeadTableButton(true); },
         "1/11 00 00 111 11"},
        {"not won, locked", [](H* h) { h->showLoseBidHeadTable(); h->refreshAllocationHeadTableButton(false); },
         "1/11 00 00 110 10"},
    };
    for (const auto& face : faces) {
        // Given a fresh strip, when the face is applied, then exactly these cells are shown and enabled
        KZ::CBaseWidget owner(QStringLiteral("test"), false, nullptr);
        auto* strip = new H(0, &owner);   // owned by Qt parent
        owner.show();
        face.apply(strip);
        EXPECT_EQ(face.face, faceOf(strip)) << face.name;
    }
}

TEST_F(HeadTableTest, shouldReportOnlyTheFirstFailingRule)
{
    const char* const marginalZero = "边际价格/利率为0,无法保存!";
    const char* const meanZero = "加权平均价格/利率必须大于0!";
    const char* const couponZero = "票面利率必须大于0!";
    const char* const noBond = "债券代码为空,无法保存!";
    const struct {
        bool wonFace;
        double marginal, mean, coupon;
        const char* bond;
        ETenderingType type;
        const char* message;   // null: accepted
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wonFace << " " << c.marginal << " " << c.mean << " " << c.coupon << " "
                                        << c.bond << " " << c.type);
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

TEST_F(HeadTableTest, shouldWriteTheShownValuesWithZeroForHiddenCellsAndClearWithZeros)
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

    // When the not-won face is saved, then both prices go out as 0
    head->showLoseBidHeadTable();
    head->placeHeadTableDatas(bond);
    const auto kept = stored<CIBondTenderAllocParams>(bond, RT_ALLOC_PARAMS);
    ASSERT_EQ(1u, kept.size());
    EXPECT_DOUBLE_EQ(0.0, kept.front()->marginalPrice + kept.front()->weightedMeanPrice);
    EXPECT_DOUBLE_EQ(3.5, kept.front()->couponRate);

    // When cleared, then one all-zero record goes out and the host drops the bond's parameters
    head->clearHeadTableBackStageData(bond);
    sent = lastSentParams(bond);
    ASSERT_TRUE(sent);
    EXPECT_EQ(bond, sent->bondCode);
    EXPECT_EQ(0.0, sent->marginalPrice + sent->weightedMeanPrice + sent->issuePrice + sent->couponRate);
    EXPECT_TRUE(CHostStore::instance().records(bond, RT_ALLOC_PARAMS).empty());
}
