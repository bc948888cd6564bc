// Hostile input: texts a user or a host can hand the panel that are not the numbers it
// expects, and host records that are broken. None of it crashes, none of it gives a
// volume above the bid or outside whole units, and none of it writes a record.

#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/EventDeliverer.h"
#include "panel_workflow_support.h"

using namespace wf;
using Helper = TC::CPanelBondTenderAllocationHelper;

namespace {

class HostileInputTest : public PanelTest {
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        seedDutchRateTender();
    }

    // The Dutch tender won with the rates typed: table one's first row 国泰 bids 5.0, unit 0.1.
    boost::shared_ptr<TC::CAllocationUnderWriteData> loadTableOne(PanelUnderTest& p)
    {
        p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
        p.editHeadPrices(3.30, 3.15);
        EXPECT_EQ(oneRows(p).size(), 2u);
        return oneRows(p).at(0);
    }
};

} // namespace

TEST_F(HostileInputTest, shouldTakeAnyTypedTextIntoTableOneAsAWholeUnitVolumeNoAboveTheBid)
{
    // Given the Dutch tender loaded: 国泰 bid 5.0, unit 0.1
    PanelUnderTest p;
    const auto row = loadTableOne(p);
    const QString key = QString::fromStdString(row->key());
    const int delegateId = p.one()->getWinAmountDelegate()->id();
    CHostStore::instance().clearCalls();   // what follows must write nothing

    // When the text arrives as the editor hands it on (the host's editor may be any)
    struct SCase { QString typed; double expected; };
    const SCase cases[] = {
        {QStringLiteral("abc"), 0.0},
        {QStringLiteral(""), 0.0},
        {QStringLiteral("1 000"), 0.0},                 // a blank inside: not a number
        {QStringLiteral(" 1.5"), 0.0},
        {QStringLiteral("1,000"), 1.0},                 // a raw separator ends the number
        {QStringLiteral("１２．５"), 0.0},              // full-width digits are no digits
        {QStringLiteral("12abc"), 5.0},                 // 12, capped at the bid
        {QStringLiteral("99999999999"), 5.0},
        {QStringLiteral("1e308"), 5.0},
        {QStringLiteral("inf"), 5.0},
        {QStringLiteral("nan"), 0.0},
        {QStringLiteral("0.99999999999999999"), 0.9},
        {QStringLiteral("2.75"), 2.7},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        QString typed = c.typed;
        KZ::deliverEventFrom(p.one()->getTable(), KZ::EVT_LINEEDIT_FINISHED, delegateId, delegateId, key, &typed);

        // Then the row holds whole tenths, never above the bid
        EXPECT_DOUBLE_EQ(row->info->winBidAmount, c.expected);
    }
    EXPECT_TRUE(CHostStore::instance().calls().empty());
}

TEST_F(HostileInputTest, shouldLetTheRealEditorPassOnlyNumbers)
{
    // Given table one loaded, bid 5.0, unit 0.1
    PanelUnderTest p;
    const auto row = loadTableOne(p);

    // When the user types letters, blanks, group separators or full-width digits
    struct SCase { QString keys; double expected; };
    const SCase cases[] = {
        {QStringLiteral("abc"), 0.0},     // refused keys leave the shown 0.0000
        {QStringLiteral("1 5"), 5.0},     // the blank is refused: 15, capped
        {QStringLiteral("1,5"), 0.0},     // a misplaced separator: not accepted, value kept
        {QStringLiteral("1,000"), 5.0},   // the separator is taken out: 1000, capped
        {QStringLiteral("３"), 0.0},
        {QStringLiteral("0.35"), 0.3},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.keys.toStdString());
        typeInto(p.one(), row->key(), 7, QStringLiteral("0"));
        typeInto(p.one(), row->key(), 7, c.keys);

        // Then the volume is a number the validator let through, cut and capped
        EXPECT_DOUBLE_EQ(row->info->winBidAmount, c.expected);
    }
    EXPECT_TRUE(updateCalls().empty());
}

TEST_F(HostileInputTest, shouldLoadBrokenHostRecordsWithoutCrashingOrWriting)
{
    // Given the host's lists with null entries, price texts that are no numbers,
    // and tender commands whose "btdparam" is missing or of another type
    CHostStore& store = CHostStore::instance();
    store.addRecord(kDutchBond, RT_EXEC_EXTERNAL_REPORT, IDataPtr());
    store.addRecord(kDutchBond, RT_EXEC_INTERNAL_REPORT, IDataPtr());
    addInternalReport(kDutchBond, "24附息国债05", TTG_RATE, kFundOther,
                      {{"", 1.0}, {"abc", 1.0}, {"3,10", 1.0}, {"3.10x", 1.0}, {"1e400", 1.0}, {"nan", 1.0}});
    addCommandWithExtension(9901, kFundOne, BSONObj());
    addCommandWithExtension(9902, kFundOne, BSONObjBuilder().append("btdparam", "3.10").obj());
    addCommandWithExtension(9903, kFundOne, BSONObjBuilder().append("btdparam", 7).obj());
    store.addTenderCommand(boost::shared_ptr<CTenderCommandInfo>());
    store.putRecords(kMixedBond, RT_ALLOC_UNDERWRITER, {IDataPtr(), IDataPtr()});
    store.putRecords(kMixedBond, RT_ALLOC_PRODUCT, {IDataPtr()});
    store.putRecords(kMixedBond, RT_WIN_BID_DETAIL, {IDataPtr()});
    seedMixedRateTender();

    // When the host shows each bond, won, lost and settled
    PanelUnderTest p;
    for (const std::string& bond : {kDutchBond, kMixedBond}) {
        p.panel->refreshWinBidAllocationPanel(false, bond, 0.1);
        p.editHeadPrices(3.30, 3.15);
        p.panel->refreshSettleStatusBond(bond, 0.1);
        p.panel->clearAllocationPanel();
    }
    p.panel->refreshWinBidAllocationPanel(false, kDutchBond, 0.1);
    p.editHeadPrices(3.30, 3.15);

    // Then the panel shows the good rows, and nothing reached the host's update services
    EXPECT_EQ(oneRows(p).size(), 2u);
    EXPECT_FALSE(twoRows(p).empty());
    EXPECT_TRUE(updateCalls().empty());
    EXPECT_EQ(Helper::getETenderPurchaseTypeFromCmd(kDutchBond, kFundOne, 3.10), TPT_PRIMARY);
}
