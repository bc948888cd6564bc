#pragma once
// The dockable bond-tender allocation panel: the head strip and the three
// allocation tables in a scroll area, the workflow that loads a bond into them,
// the saves and the return to tender execution.

#include <QMap>
#include <QString>
#include <QStringList>
#include <boost/shared_ptr.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/thread/shared_mutex.hpp>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "TC/TradeDockableWidget.h"
#include "services/HostServices.h"
#include "ttservice/BondTenderRecords.h"

namespace TC {

class CPanelBondAllocationHeadTable;
class CPanelBondAllocationButtonTable;
class CPanelBondAllocationUnderWriteTable;
class CPanelBondAllocationProductTable;
class CPanelBondAllocationMixedTable;

class CPanelBondTenderAllocationPanel : public ITradeDockableWidget {
    Q_OBJECT
public:
    using PendingKey = std::pair<std::string, std::string>;
    using PendingKeySet = std::set<PendingKey>;

    CPanelBondTenderAllocationPanel(int panelType, QWidget* parent);
    ~CPanelBondTenderAllocationPanel() override;

    // --- host operations ---
    void setParam(const QString& param) override;
    QString param() const override;
    void release() override;
    void requestAccount(const ttservice::CAccountInfo& account) override;
    void refreshAccounts() override;
    void clear() override;
    void onTimer(ETimerUpdateFlags flags) override;
    void setTradeType(ttservice::EVnTraderType type) override;
    void moneyUnitChange() override;

    // --- choosing the bond ---
    void refreshWinBidAllocationPanel(bool keepHead, std::string code, double unit);
    void refreshLoseBidAllocationPanel();
    void refreshSettleStatusBond(std::string code, double unit);
    void clearAllocationPanel();

    void onInitHeadTableDatas(const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocParams>>& params);
    void onInitUnderWriterTableDatas(
        const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocUnderWriterInfo>>& rows, double marginal,
        double weighted, ttservice::ETenderTarget target, ttservice::ETenderingType type, double unit);
    void onInitProductTableDatas(const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocProductInfo>>& rows,
                                 double marginal, ttservice::ETenderingType type, ttservice::ETenderTarget target,
                                 double unit);
    void onInitMixedTableDatas(const std::vector<boost::shared_ptr<ttservice::CWinBidInfoDetail>>& rows,
                               double marginal, double weighted, QStringList& underWriters,
                               ttservice::ETenderTarget target, ttservice::ETenderingType type, double unit,
                               std::string name);

    ttservice::ETenderTarget getETenderTarget(std::string code) const;
    ttservice::ETenderingType getETenderingType(std::string code) const;
    // Both of the above at once.
    struct STenderKind {
        ttservice::ETenderTarget target;
        ttservice::ETenderingType type;
    };
    STenderKind getTenderKind(const std::string& code) const;
    double getBackGroundMarginalPrice(
        const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocParams>>& params) const;
    std::string getBondNameFromProductData(
        const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocProductInfo>>& rows) const;
    std::string getBondNameFromInternalReportData(
        const std::vector<boost::shared_ptr<ttservice::CIBondTenderExecInternalReportInfo>>& reports) const;
    void getMixedTableUnderWriterQsList(QStringList& out, std::string code) const;

    // --- actions on a loaded bond ---
    void refreshAllocationPanelWithFairAlloc();

    // Error box titled "检查错误"; shown only when one of the user's hint settings is on.
    void showTips(QString& message);
    // Information box with the given title; same gate.
    void showTips(QString title, QString& message);

    // What the panel shows; for the host and for inspection.
    const std::string& currentBondCode() const { return bondCode; }
    const std::string& currentBondName() const { return bondName; }
    double currentBasicTenderUnit() const { return basicTenderUnit; }
    ttservice::ETenderingType currentTenderingType() const { return tenderingType; }
    CHpfDataTable* winBidDetailDataTable() const { return winBidDetailTable; }

signals:
    void sigBondExecutionShowTab(QString payload);
    void sigRefreshBondTenderWinBidAmount(QString payload);

public slots:
    void slotNewTradingDay(std::string day);

protected slots:
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override;

public slots:
    void handleReturnExecutionPanelOperation();

protected:
    void createUi(int panelType, QWidget* parent);

    // Data thread: records the changed key, nothing else.
    void onPositionStat(const boost::shared_ptr<ttservice::IData>& data);
    // UI thread, once per tick: fetches each changed record and updates the hidden table.
    void doUpdateStatMap(PendingKeySet& keys);
    void doUpdateTabelData(boost::shared_ptr<ttservice::CWinBidInfoDetail> record);

private:
    bool hasAllChildren() const;
    void handleButtonEvent(int nSenderID);
    void startFairAllocation();
    void saveHeadTableOnly();
    void saveAllTables();
    void lockPanel();
    void lockPanelOnLockDate();
    void showLoseBidTables(ttservice::ETenderingType type);
    bool hintsEnabled() const;
    void emitWinBidAmount(double amount);
    static boost::shared_ptr<ttservice::CAccountData> accountData();
    using UserProducts = std::unordered_set<const ttservice::CProduct*>;
    static UserProducts userProducts();
    static bool isUserProduct(const UserProducts& products, int productId);

    QMap<std::string, ttservice::CSubscriptionPtr> accountSubscriptions;
    boost::mutex pendingKeysMutex;
    PendingKeySet pendingDataKeys;
    boost::shared_mutex deliveryLock;
    CHpfDataTable* winBidDetailTable = nullptr;   // owned by Qt parent
    double basicTenderUnit = 0.0;
    std::string bondCode;
    std::string bondName;
    ttservice::ETenderingType tenderingType = ttservice::TT_NONE;
    CPanelBondAllocationHeadTable* headTable = nullptr;          // owned by Qt parent
    CPanelBondAllocationButtonTable* productButtonBar = nullptr; // owned by Qt parent
    CPanelBondAllocationButtonTable* mixedButtonBar = nullptr;   // owned by Qt parent
    CPanelBondAllocationUnderWriteTable* underWriteTable = nullptr;  // owned by Qt parent
    CPanelBondAllocationProductTable* productTable = nullptr;        // owned by Qt parent
    CPanelBondAllocationMixedTable* mixedTable = nullptr;            // owned by Qt parent
};

} // namespace TC
