#include "CEditTracker.h"

#include "CPanelBondTenderAllocationPanel.h"
#include "KZ/EventDeliverer.h"

namespace desk {

namespace {

// The panel's buttons (their events are 5, or 114 when a key press raised them).
enum EPanelButton { PB_HEAD_SAVE = 15, PB_SAVE = 32, PB_FAIR_DISTRIBUTION = 33, PB_RETURN = 34 };
// The head strip's result choice.
enum EResultChoice { RC_WON = 10, RC_LOST = 11 };

bool isButtonEvent(int eventId)
{
    return eventId == KZ::EVT_BUTTON_CLICKED || eventId == KZ::EVT_PARAM_CELL_EDITED;
}

} // namespace

CEditTracker::CEditTracker(TC::CPanelBondTenderAllocationPanel* panel, QObject* parent)
    : QObject(parent), panel_(panel)
{
    KZ::CEventDeliverer::setObserver(
        [this](const QObject* start, int eventId, int senderId) { onEvent(start, eventId, senderId); });
    connect(panel_, &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount, this, &CEditTracker::onSaved);
}

CEditTracker::~CEditTracker()
{
    KZ::CEventDeliverer::setObserver(nullptr);
}

void CEditTracker::reset(EStep step)
{
    headChanged_ = tablesChanged_ = saveFailed_ = false;
    beforeSave_.valid = false;
    actionSender_ = 0;
    step_ = step;
    emit stepChanged(step_);
}

QString CEditTracker::hintText(EStep step)
{
    switch (step) {
    case ST_ENTER_TABLE_ONE: return tr("下一步：在表一录入中标量");
    case ST_FAIR_DISTRIBUTION: return tr("下一步：点击公平分配（或在表二录入中标量）");
    case ST_CHOOSE_ACCOUNTS: return tr("下一步：在表三选择账号（双击单元格打开选项）");
    case ST_SAVE: return tr("下一步：保存");
    case ST_SAVED: return tr("已保存");
    case ST_READ_ONLY: return tr("已结算：只可查看");
    case ST_LOST: return tr("未中标：无需分配");
    }
    return QString();
}

bool CEditTracker::save()
{
    const int before = saves_;
    // The head strip alone is saved for a lost tender; everything for a won one.
    const int button = step_ == ST_LOST ? PB_HEAD_SAVE : PB_SAVE;
    KZ::deliverEventFrom(panel_, KZ::EVT_BUTTON_CLICKED, button, 0, QString(), nullptr);
    return saves_ > before && !hasUnsavedChanges();
}

CEditTracker::EArea CEditTracker::areaOf(const QObject* start) const
{
    EArea area = AR_OTHER;
    for (const QObject* node = start; node != nullptr; node = node->parent()) {
        if (node == panel_)
            return area;
        if (area != AR_OTHER)
            continue;
        if (node->inherits("TC::CPanelBondAllocationHeadTable"))
            area = AR_HEAD;
        else if (node->inherits("TC::CPanelBondAllocationUnderWriteTable"))
            area = AR_TABLE_ONE;
        else if (node->inherits("TC::CPanelBondAllocationProductTable"))
            area = AR_TABLE_TWO;
        else if (node->inherits("TC::CPanelBondAllocationMixedTable"))
            area = AR_TABLE_THREE;
    }
    return AR_OUTSIDE;
}

void CEditTracker::noteSaveFailed()
{
    if (!beforeSave_.valid) {
        saveFailed_ = true;
        return;
    }
    headChanged_ = beforeSave_.headChanged;
    tablesChanged_ = beforeSave_.tablesChanged;
    beforeSave_.valid = false;
    --saves_;
    advanceTo(beforeSave_.step);
}

void CEditTracker::onEvent(const QObject* start, int eventId, int senderId)
{
    const EArea area = areaOf(start);
    if (area == AR_OUTSIDE)
        return;
    beforeSave_.valid = false;
    if (isButtonEvent(eventId) && (senderId == PB_HEAD_SAVE || senderId == PB_SAVE || senderId == PB_RETURN)) {
        actionSender_ = senderId;
        saveFailed_ = false;
        return;
    }
    if (isButtonEvent(eventId) && senderId == PB_FAIR_DISTRIBUTION) {
        tablesChanged_ = true;
        advanceTo(ST_CHOOSE_ACCOUNTS);
        return;
    }
    switch (eventId) {
    case KZ::EVT_HEAD_RESULT_CHOSEN:
        headChanged_ = true;
        if (senderId == RC_WON || senderId == RC_LOST)
            advanceTo(senderId == RC_WON ? ST_ENTER_TABLE_ONE : ST_LOST);
        break;
    case KZ::EVT_RADIO_CHOSEN:
    case KZ::EVT_PARAM_CELL_EDITED:
        headChanged_ = true;
        if (step_ == ST_SAVED)
            advanceTo(ST_SAVE);
        break;
    case KZ::EVT_SIMPLE_TEXT_CLICKED:
    case KZ::EVT_LINEEDIT_FINISHED:
    case KZ::EVT_AUTO_LINEEDIT_CHANGED:
    case KZ::EVT_COMBOX_CHANGED:
        tablesChanged_ = true;
        if (area == AR_TABLE_ONE)
            advanceTo(ST_FAIR_DISTRIBUTION);
        else if (area == AR_TABLE_TWO)
            advanceTo(ST_CHOOSE_ACCOUNTS);
        else if (area == AR_TABLE_THREE)
            advanceTo(ST_SAVE);
        break;
    default:
        break;
    }
}

void CEditTracker::onSaved()
{
    const int action = actionSender_;
    actionSender_ = 0;
    if (saveFailed_) {
        saveFailed_ = false;
        return;
    }
    if (action == PB_HEAD_SAVE || action == PB_SAVE || action == PB_RETURN)
        beforeSave_ = {true, headChanged_, tablesChanged_, step_};
    if (action == PB_HEAD_SAVE) {
        headChanged_ = false;
        ++saves_;
        if (step_ == ST_SAVE && !tablesChanged_)
            advanceTo(ST_SAVED);
    } else if (action == PB_SAVE || action == PB_RETURN) {
        headChanged_ = tablesChanged_ = false;
        ++saves_;
        advanceTo(step_ == ST_LOST ? ST_LOST : ST_SAVED);
    }
}

void CEditTracker::advanceTo(EStep step)
{
    if (step == step_)
        return;
    step_ = step;
    emit stepChanged(step_);
}

} // namespace desk
