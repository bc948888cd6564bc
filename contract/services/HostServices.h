#pragma once
// The host trading client's services as the panel calls them.

#include <QDateTime>
#include <QString>
#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>
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
    void updateBondTenderDatas_async(const std::string& bondCode, int typeId, const IDataList& records);
    void updateTenderCmds_async(ETenderOperation operation, const std::vector<int>& commandIds,
                                const std::vector<boost::shared_ptr<CWinBidInfoDetail>>& records);
};

class CExchangeClient {
public:
    static CExchangeClient* instance();
    boost::shared_ptr<CTenderBondInfoDetail> getTenderBondInfoDetailPtr(const std::string& bondCode) const;
};

class CSubscription {
public:
    virtual ~CSubscription();
};
using CSubscriptionPtr = boost::shared_ptr<CSubscription>;

class CAccountData {
public:
    using Callback = boost::function<void(const boost::shared_ptr<IData>&)>;

    class Lock {
    public:
        explicit Lock(CAccountData& data);
        explicit Lock(const boost::shared_ptr<CAccountData>& data);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
    };

    virtual ~CAccountData();
    virtual IDataList getDatas(int dataType) const = 0;
    virtual IDataPtr getData(int dataType, const std::string& key) const = 0;
    virtual CSubscriptionPtr subscribe(int dataType, const std::string& key, const Callback& callback) = 0;
};

class CDataCenter {
public:
    virtual boost::shared_ptr<CAccountData> getAccountData(const std::string& accountKey) = 0;
    virtual ~CDataCenter();
};

class TraderCenter {
public:
    static TraderCenter* instance();
    CDataCenter* getDataCenter();
};

class CTradeSetting {
public:
    bool testHintBeforeOrderFlag(int flag) const;
};

class CUserConfig {
public:
    std::vector<boost::shared_ptr<CProduct>> getAllProducts() const;
    boost::shared_ptr<CProduct> getProductByID(int productId) const;
    QString getProductName(int productId) const;
    utils::EFormatNumberFlag getSegmentedFormatFlag() const;
    bool testGlobalOrderHint(int flag) const;
    CTradeSetting* getTradeSetting();
};

class CTimeService {
public:
    QDateTime currentDateTime() const;
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
