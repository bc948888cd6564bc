#include "CPanelBondAllocationButtonTable.h"

#include <QAbstractButton>

#include "KZ/Widgets.h"
#include "TC/OpButton.h"

namespace TC {

namespace {

const char* const kStyleKey = "qmvt_vkt_bondallocationwidget";
constexpr int kBarWidth = 240;
constexpr int kBarHeight = 25;
constexpr int kButtonHeight = 22;
constexpr int kSpaceBeforeButton = 10;
constexpr int kAnchorStart = 1;
constexpr int kFirstPassedOnId = 30;
constexpr int kLastPassedOnId = 34;

} // namespace

CPanelBondAllocationButtonTable::CPanelBondAllocationButtonTable(int id, QWidget* parent)
    : KZ::CBaseWidget(QString::fromLatin1(kStyleKey), false, parent)
{
    Q_UNUSED(id);
}

CPanelBondAllocationButtonTable::~CPanelBondAllocationButtonTable() = default;

void CPanelBondAllocationButtonTable::createProductInfoButton()
{
    const SButtonLayout layouts[] = {{ID_FAIR_ALLOCATION, 1, "  公平分配  ", 120}};
    createBar(layouts, 1, &fairAllocButton_);
}

void CPanelBondAllocationButtonTable::createMixedInfoButton()
{
    const SButtonLayout layouts[] = {{ID_SAVE, 1, "  保存  ", 60}, {ID_RETURN, 3, "  返回执行投标  ", 100}};
    COpButton* buttons[2] = {nullptr, nullptr};
    createBar(layouts, 2, buttons);
    saveButton_ = buttons[0];
    returnButton_ = buttons[1];
}

void CPanelBondAllocationButtonTable::refreshAllocationProductTableButton(bool enable)
{
    if (fairAllocButton_) fairAllocButton_->setEnabled(enable);
}

void CPanelBondAllocationButtonTable::refreshAllocationMixedTableButton(bool saveEnabled, bool returnEnabled)
{
    if (saveButton_) saveButton_->setEnabled(saveEnabled);
    if (returnButton_) returnButton_->setEnabled(returnEnabled);
}

bool CPanelBondAllocationButtonTable::handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam,
                                                  void* pParam)
{
    if (nEventID != KZ::EVT_BUTTON_CLICKED)
        return KZ::CBaseWidget::handleEvent(nEventID, nSenderID, nIntParam, qsParam, pParam);
    if (nSenderID >= kFirstPassedOnId && nSenderID <= kLastPassedOnId)
        deliverEvent(KZ::EVT_BUTTON_CLICKED, nSenderID, 0, QString(), nullptr);
    return true;
}

void CPanelBondAllocationButtonTable::createBar(const SButtonLayout* layouts, int count, COpButton** created)
{
    setFixedHeight(kBarHeight);
    setFixedSize(kBarWidth, kBarHeight);
    widgetList_ = new KZ::CWidgetList(Qt::Horizontal, this);
    widgetList_->setFixedSize(kBarWidth, kBarHeight);
    widgetList_->setMargin(0, 0, 0, 0);
    widgetList_->setSpacing(0);
    for (int i = 0; i < count; ++i)
        created[i] = addButton(layouts[i]);
    setInnerStretchWidget(widgetList_, 0, 0, 0, 0);
}

COpButton* CPanelBondAllocationButtonTable::addButton(const SButtonLayout& layout)
{
    widgetList_->addFixedSpace(kSpaceBeforeButton);
    return addOperationButton(widgetList_, this, layout.id, layout.buttonType, QString::fromUtf8(layout.text), layout.width);
}

COpButton* CPanelBondAllocationButtonTable::addOperationButton(KZ::CWidgetList* list, QObject* owner, int id,
                                                               int buttonType, const QString& text, int width)
{
    auto* button = new COpButton(id, buttonType, list);
    button->setText(text);
    button->setFontKeys(QStringLiteral("tc_fnt_operation_btn_text_option"),
                        QStringLiteral("tc_fnt_operation_btn_text_price"),
                        QStringLiteral("tc_fnt_operation_btn_text_volume"));
    button->installEventFilter(owner);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setBoldOnHover(true);
    button->setEnabled(false);
    button->setFixedSize(width, kButtonHeight);
    list->addFixedWidget(button, kAnchorStart, false);
    return button;
}

} // namespace TC
