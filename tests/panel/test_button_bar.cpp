// The two button bars: enabling, and clicks passed on to the panel.
#include "panel_workflow_support.h"

using namespace wf;
using TC::CPanelBondAllocationButtonTable;

TEST(ButtonBar, shouldEnableOnlyItsOwnButtonsAndPassTheirClicksOn)
{
    // Given the product bar and the allocation bar inside the panel
    EventRecorder panel;
    auto* productBar = new CPanelBondAllocationButtonTable(0, &panel);   // owned by Qt parent
    productBar->createProductInfoButton();
    auto* mixedBar = new CPanelBondAllocationButtonTable(1, &panel);     // owned by Qt parent
    mixedBar->createMixedInfoButton();
    panel.show();

    // When each bar is asked to enable the other bar's buttons, then nothing changes
    productBar->refreshAllocationMixedTableButton(true, true);
    mixedBar->refreshAllocationProductTableButton(true);
    EXPECT_FALSE(productBar->fairAllocButton()->isEnabled());
    EXPECT_FALSE(mixedBar->saveButton()->isEnabled());
    EXPECT_FALSE(mixedBar->returnButton()->isEnabled());

    // When asked for their own, then save and return follow their own flag
    productBar->refreshAllocationProductTableButton(true);
    mixedBar->refreshAllocationMixedTableButton(false, true);
    EXPECT_TRUE(productBar->fairAllocButton()->isEnabled());
    EXPECT_FALSE(mixedBar->saveButton()->isEnabled());
    EXPECT_TRUE(mixedBar->returnButton()->isEnabled());
    mixedBar->refreshAllocationMixedTableButton(true, false);
    EXPECT_TRUE(mixedBar->saveButton()->isEnabled());
    EXPECT_FALSE(mixedBar->returnButton()->isEnabled());

    // When the user clicks fair allocation, save and return
    mixedBar->refreshAllocationMixedTableButton(true, true);
    click(productBar->fairAllocButton());
    click(mixedBar->saveButton());
    click(mixedBar->returnButton());

    // Then the panel hears event 5 from 33, 32 and 34, once each, with nothing attached
    std::vector<std::pair<int, int>> heard;
    for (const SEvent& e : panel.events) {
        heard.emplace_back(e.id, e.sender);
        EXPECT_TRUE(e.intParam == 0 && e.text.isEmpty() && e.pointer == nullptr);
    }
    EXPECT_EQ(heard, (std::vector<std::pair<int, int>>{{KZ::EVT_BUTTON_CLICKED, 33}, {KZ::EVT_BUTTON_CLICKED, 32},
                                                        {KZ::EVT_BUTTON_CLICKED, 34}}));
}
