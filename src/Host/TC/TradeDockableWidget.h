#pragma once
// The host's dockable-panel base and its account-data table.

#include <QFlags>
#include <QString>
#include <boost/shared_ptr.hpp>
#include <vector>

#include "KZ/BaseWidget.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostServices.h"

namespace TC {

enum ETimerUpdateFlag { TUF_NONE = 0, TUF_NORMAL = 0x1, TUF_FORCE = 0x2 };
using ETimerUpdateFlags = QFlags<ETimerUpdateFlag>;

struct CDockWidgetInfo {
    QString name;
    QString title;
    Qt::DockWidgetAreas allowedAreas = Qt::AllDockWidgetAreas;
};

class ITradeDockableWidget : public KZ::IDockableWidget, public KZ::CUiResourceChangeHandler {
    Q_OBJECT
public:
    ITradeDockableWidget(const QString& name, int panelType, const CDockWidgetInfo& info, QWidget* parent);
    ~ITradeDockableWidget() override;
    static CDockWidgetInfo getDockWidgetInfo(const QString& name);

    const QString& panelName() const { return name_; }
    int panelType() const { return panelType_; }
    const CDockWidgetInfo& dockInfo() const { return info_; }
    ttservice::EVnTraderType tradeType() const { return tradeType_; }

    virtual void setParam(const QString& param) = 0;
    virtual QString param() const = 0;
    virtual void release();
    virtual void requestAccount(const ttservice::CAccountInfo& account) = 0;
    virtual void refreshAccounts() = 0;
    virtual void clear();                     // empties the subscription registry
    virtual void onTimer(ETimerUpdateFlags flags) = 0;
    virtual void setTradeType(ttservice::EVnTraderType type);
    virtual void moneyUnitChange() {}

    // Subscriptions kept for the panel until clear() or release().
    void registerSubscription(const ttservice::CSubscriptionPtr& handle);
    int subscriptionCount() const { return static_cast<int>(subscriptions_.size()); }

private:
    QString name_;
    int panelType_;
    CDockWidgetInfo info_;
    ttservice::EVnTraderType tradeType_ = ttservice::VTT_NONE;
    std::vector<ttservice::CSubscriptionPtr> subscriptions_;
};

// A table of account-data records of one type, one row per record key.
class CHpfDataTable : public KZ::CStandardHpfTable {
    Q_OBJECT
public:
    CHpfDataTable(int tableId, int dataType, QWidget* parent);
    int dataType() const { return dataType_; }
    void setTradeType(ttservice::EVnTraderType type);
    // Inserts the record's row or replaces the row with the same key; colour for its text.
    void updateDataFixColor(const boost::shared_ptr<ttservice::IData>& record, const QString& colorKey, bool flash);
    void clear();                             // drops every row
    int updateCount() const { return updateCount_; }

private:
    int dataType_;
    ttservice::EVnTraderType tradeType_ = ttservice::VTT_NONE;
    int updateCount_ = 0;
};

} // namespace TC
