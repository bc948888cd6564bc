#pragma once
// The host trading client's services, as the panel calls them. All are
// process-wide singletons over CHostStore.

#include <QDateTime>
#include <QString>
#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "ttservice/BondTenderRecords.h"

namespace ttservice {

class CBondTerderDataManager {
public:
    static CBondTerderDataManager* instance();
    std::vector<boost::shared_ptr<CIBondTenderAllocParams>> getBtAllocParams(const std::string& bondCode) const;
    std::vector<boost::shared_ptr<CIBondTenderAllocProductInfo>> getBtProductInfo(const std::string& bondCode) const;
    std::vector<boost::shared_ptr<CIBondTenderAllocUnderWriterInfo>> getBtAllocUnderWriterInfo(const std::string& bondCode) const;
    std::vector<boost::shared_ptr<CWinBidInfoDetail>> getWinBidInfo(const std::string& bondCode) const;
    std::vector<boost::shared_ptr<CIBondTenderExecExternalReportInfo>> getBtExecExternalReportInfo(const std::string& bondCode) const;
    std::vector<boost::shared_ptr<CIBondTenderExecInternalReportInfo>> getBtExecInternalReportInfo(const std::string& bondCode) const;
};

class CTradeClient {
public:
    static CTradeClient* instance();
    // Stores the list as the bond's rows of that type (a clearing record drops them).
    void updateBondTenderDatas_async(const std::string& bondCode, int typeId, const IDataList& records);
    // Stores the details as their bonds' win-bid details (30097).
    void updateTenderCmds_async(ETenderOperation operation, const std::vector<int>& commandIds,
                                const std::vector<boost::shared_ptr<CWinBidInfoDetail>>& records);
};

class CExchangeClient {
public:
    static CExchangeClient* instance();
    boost::shared_ptr<CTenderBondInfoDetail> getTenderBondInfoDetailPtr(const std::string& bondCode) const;
};

// Ends its subscription when the last copy of the handle is dropped; waits for a
// delivery in progress, so it must not be dropped from inside its own callback.
class CSubscription {
public:
    virtual ~CSubscription() = default;
};
using CSubscriptionPtr = boost::shared_ptr<CSubscription>;

// Records of the user's accounts: tender commands (535) and win-bid details (30097).
class CAccountData {
public:
    using Callback = boost::function<void(const boost::shared_ptr<IData>&)>;

    // Scoped lock over the account data; reading all records of a type happens under it.
    class Lock {
    public:
        explicit Lock(CAccountData& data);
        explicit Lock(const boost::shared_ptr<CAccountData>& data) : Lock(*data) {}
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
    private:
        CAccountData& data_;
    };

    virtual ~CAccountData() = default;
    virtual IDataList getDatas(int dataType) const = 0;                       // hold a Lock
    // A number that changes whenever records of the type are added, replaced or removed:
    // what a reader derived from getDatas holds while it stays the same. Read it before
    // getDatas. Records are changed through the host, never in place by their readers.
    virtual uint64_t getDatasRevision(int dataType) const = 0;
    virtual IDataPtr getData(int dataType, const std::string& key) const = 0;
    // Deliveries run on the host's data thread, never on the caller's.
    virtual CSubscriptionPtr subscribe(int dataType, const std::string& key, const Callback& callback) = 0;

protected:
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

class CDataCenter {
public:
    // The account data of an account key; the empty key selects all of the user's accounts.
    virtual boost::shared_ptr<CAccountData> getAccountData(const std::string& accountKey) = 0;
    virtual ~CDataCenter() = default;
};

class TraderCenter {
public:
    static TraderCenter* instance();
    CDataCenter* getDataCenter();
    // Blocks until every delivery queued so far has run (tests, desk shutdown).
    void waitForDeliveries();
};

class CTradeSetting {
public:
    bool testHintBeforeOrderFlag(int flag) const;
};

class CUserConfig {
public:
    std::vector<boost::shared_ptr<CProduct>> getAllProducts() const;
    boost::shared_ptr<CProduct> getProductByID(int productId) const;
    boost::shared_ptr<CProduct> getProductByName(const std::string& productName) const;   // null when unknown
    // Changes whenever the user's products change: a caller may keep what it derived from
    // them (account choices, say) while it stays the same.
    uint64_t getProductsRevision() const;
    QString getProductName(int productId) const;               // empty when unknown
    utils::EFormatNumberFlag getSegmentedFormatFlag() const;
    bool testGlobalOrderHint(int flag) const;
    CTradeSetting* getTradeSetting();
};

class CTimeService {
public:
    QDateTime currentDateTime() const;
    QString today() const;                                     // yyyyMMdd
};
CTimeService* getTimeService();

class CInstrumentsHelper {
public:
    static void updateCommandStatus(EOrderCommandStatus status, const std::string& bondCode);
};

} // namespace ttservice

namespace TC {
ttservice::CUserConfig* getUserConfig();
}
