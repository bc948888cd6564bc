// The two button bars: their buttons, enabling, and clicks passed on to the panel.
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

#include "CPanelBondAllocationButtonTable.h"
#include "KZ/EventDeliverer.h"
#include "TC/OpButton.h"

using TC::COpButton;
using TC::CPanelBondAllocationButtonTable;

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

// Opens the bar's event hook to the tests, as a child's delivery would reach it.
class ProbedBar : public CPanelBondAllocationButtonTable {
public:
    using CPanelBondAllocationButtonTable::CPanelBondAllocationButtonTable;
    using CPanelBondAllocationButtonTable::handleEvent;
};

struct SButtonLook {
    COpButton* button;
    int id;
    int type;
    const char* text;
    QSize size;
};

void expectLooks(const std::vector<SButtonLook>& looks)
{
    for (const SButtonLook& look : looks) {
        SCOPED_TRACE(look.text);
        ASSERT_NE(nullptr, look.button);
        EXPECT_EQ(look.id, look.button->id());
        EXPECT_EQ(look.type, look.button->buttonType());
        EXPECT_EQ(QString::fromUtf8(look.text), look.button->text());
        EXPECT_EQ(look.size, look.button->size());
        EXPECT_FALSE(look.button->isEnabled());
        EXPECT_EQ(Qt::StrongFocus, look.button->focusPolicy());
    }
}

class ButtonBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        productBar = new ProbedBar(0, &panel);   // owned by Qt parent
        productBar->createProductInfoButton();
        mixedBar = new ProbedBar(1, &panel);     // owned by Qt parent
        mixedBar->createMixedInfoButton();
        panel.show();
    }

    EventRecorder panel;
    ProbedBar* productBar = nullptr;
    ProbedBar* mixedBar = nullptr;
};

} // namespace

TEST_F(ButtonBarTest, shouldBuildEachBarWithItsDisabledButtons)
{
    EXPECT_EQ(QSize(240, 25), productBar->size());
    EXPECT_EQ(QSize(240, 25), mixedBar->size());
    expectLooks({{productBar->fairAllocButton(), 33, 1, "  公平分配  ", QSize(120, 22)}});
    expectLooks({{mixedBar->saveButton(), 32, 1, "  保存  ", QSize(60, 22)},
                 {mixedBar->returnButton(), 34, 3, "  返回执行投标  ", QSize(100, 22)}});
    EXPECT_EQ(nullptr, productBar->saveButton());
    EXPECT_EQ(nullptr, productBar->returnButton());
    EXPECT_EQ(nullptr, mixedBar->fairAllocButton());

    CPanelBondAllocationButtonTable bare(2, nullptr);
    EXPECT_EQ(nullptr, bare.saveButton());
    EXPECT_EQ(nullptr, bare.fairAllocButton());
    EXPECT_EQ(nullptr, bare.returnButton());
}

TEST_F(ButtonBarTest, shouldEnableOnlyTheButtonsOfItsOwnBar)
{
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
}

TEST_F(ButtonBarTest, shouldPassClickedButtonsOnToThePanel)
{
    // Given enabled buttons
    productBar->refreshAllocationProductTableButton(true);
    mixedBar->refreshAllocationMixedTableButton(true, true);

    // When the user clicks fair allocation, save and return
    QTest::mouseClick(productBar->fairAllocButton(), Qt::LeftButton);
    QTest::mouseClick(mixedBar->saveButton(), Qt::LeftButton);
    QTest::mouseClick(mixedBar->returnButton(), Qt::LeftButton);

    // Then the panel hears event 5 from 33, 32 and 34, once each
    ASSERT_EQ(3u, panel.events.size());
    const int senders[] = {33, 32, 34};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(KZ::EVT_BUTTON_CLICKED, panel.events[i].id);
        EXPECT_EQ(senders[i], panel.events[i].sender);
    }
}

TEST_F(ButtonBarTest, shouldPassOnClicksOfIds30To34AndConsumeAllClicks)
{
    struct SCase { int sender; bool passedOn; };
    const SCase cases[] = {{29, false}, {30, true}, {31, true}, {32, true}, {33, true}, {34, true}, {35, false}};
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.sender);
        panel.events.clear();
        int payload = 0;
        // When a click event arrives with extra parameters
        EXPECT_TRUE(productBar->handleEvent(KZ::EVT_BUTTON_CLICKED, c.sender, 7, QStringLiteral("x"), &payload));
        // Then it is passed on bare, or swallowed
        ASSERT_EQ(c.passedOn ? 1u : 0u, panel.events.size());
        if (!c.passedOn) continue;
        EXPECT_EQ(KZ::EVT_BUTTON_CLICKED, panel.events[0].id);
        EXPECT_EQ(c.sender, panel.events[0].sender);
        EXPECT_EQ(0, panel.events[0].intParam);
        EXPECT_TRUE(panel.events[0].text.isEmpty());
        EXPECT_EQ(nullptr, panel.events[0].pointer);
    }
}

