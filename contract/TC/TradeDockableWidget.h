#pragma once
// The host's dockable-panel base and its account-data table.

#include <QFlags>
#include <QString>
#include <boost/shared_ptr.hpp>

#include "KZ/BaseWidget.h"
#include "KZ/StandardHpfTable.h"
#include "services/HostServices.h"

namespace TC {

enum ETimerUpdateFlag { TUF_NONE = 0, TUF_NORMAL = 0x1, TUF_FORCE = 0x2 };
using ETimerUpdateFlags = QFlags<ETimerUpdateFlag>;

struct CDockWidgetInfo {
    QString name;
    QString title;
};

class ITradeDockableWidget : public KZ::IDockableWidget, public KZ::CUiResourceChangeHandler {
    Q_OBJECT
public:
    ITradeDockableWidget(const QString& name, int panelType, const CDockWidgetInfo& info, QWidget* parent);
    ~ITradeDockableWidget() override;
    static CDockWidgetInfo getDockWidgetInfo(const QString& name);
    ttservice::EVnTraderType tradeType() const;
    virtual void setParam(const QString& param) = 0;
    virtual QString param() const = 0;
    virtual void release();
    virtual void requestAccount(const ttservice::CAccountInfo& account) = 0;
    virtual void refreshAccounts() = 0;
    virtual void clear();
    virtual void onTimer(ETimerUpdateFlags flags) = 0;
    virtual void setTradeType(ttservice::EVnTraderType type);
    virtual void moneyUnitChange();
};

class CHpfDataTable : public KZ::CStandardHpfTable {
    Q_OBJECT
public:
    CHpfDataTable(int tableId, int dataType, QWidget* parent);
    void setTradeType(ttservice::EVnTraderType type);
    void updateDataFixColor(const boost::shared_ptr<ttservice::IData>& record, const QString& colorKey, bool flash);
    void clear();
};

} // namespace TC
