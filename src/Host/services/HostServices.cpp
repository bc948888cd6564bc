#include "services/HostServices.h"

#include <QLocale>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "services/HostStore.h"

namespace ttservice {

namespace {

CHostStore& store() { return CHostStore::instance(); }

// The stand-in's data thread: a worker that runs subscription callbacks for the
// win-bid changes the store announces, in the order they were announced.
class CDeliveryQueue {
public:
    using Callback = CAccountData::Callback;

    static CDeliveryQueue& instance()
    {
        static CDeliveryQueue queue;
        return queue;
    }

    CSubscriptionPtr subscribe(int dataType, const std::string& key, const Callback& callback);
    void unsubscribe(unsigned long long id);
    void post(const IDataList& changed);
    void waitUntilDrained();

private:
    struct SSubscriber {
        unsigned long long id;
        int dataType;
        std::string key;    // empty: every record of the type
        Callback callback;
        bool matches(const IData& record) const
        {
            return record.dataType() == dataType && (key.empty() || record.getKey() == key);
        }
    };

    CDeliveryQueue();
    ~CDeliveryQueue();
    void startLocked();
    void run();
    void deliver(const IDataPtr& record, std::unique_lock<std::mutex>& lock);
    bool onWorker() const { return std::this_thread::get_id() == workerId_; }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<IDataList> pending_;
    std::map<unsigned long long, std::shared_ptr<SSubscriber>> subscribers_;
    unsigned long long nextId_ = 1;
    unsigned long long delivering_ = 0;   // id of the subscriber whose callback runs now
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
    std::thread::id workerId_;
};

class CSubscriptionHandle : public CSubscription {
public:
    explicit CSubscriptionHandle(unsigned long long id) : id_(id) {}
    ~CSubscriptionHandle() override { CDeliveryQueue::instance().unsubscribe(id_); }

private:
    unsigned long long id_;
};

CDeliveryQueue::CDeliveryQueue()
{
    store().setSubscriptionFeed([this](const IDataList& changed) { post(changed); });
}

CDeliveryQueue::~CDeliveryQueue()
{
    store().setSubscriptionFeed(nullptr);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void CDeliveryQueue::startLocked()
{
    if (worker_.joinable())
        return;
    worker_ = std::thread([this] { run(); });
    workerId_ = worker_.get_id();
}

CSubscriptionPtr CDeliveryQueue::subscribe(int dataType, const std::string& key, const Callback& callback)
{
    if (!callback)
        return {};
    std::lock_guard<std::mutex> lock(mutex_);
    startLocked();
    const unsigned long long id = nextId_++;
    subscribers_[id] = std::make_shared<SSubscriber>(SSubscriber{id, dataType, key, callback});
    return CSubscriptionPtr(new CSubscriptionHandle(id));
}

void CDeliveryQueue::unsubscribe(unsigned long long id)
{
    std::unique_lock<std::mutex> lock(mutex_);
    subscribers_.erase(id);
    // From inside its own callback waiting would never end; the callback's return finishes it.
    if (!onWorker())
        changed_.wait(lock, [&] { return delivering_ != id; });
}

void CDeliveryQueue::post(const IDataList& changed)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!worker_.joinable() || subscribers_.empty())
            return;
        pending_.push_back(changed);
    }
    changed_.notify_all();
}

void CDeliveryQueue::waitUntilDrained()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (onWorker())
        return;
    changed_.wait(lock, [&] { return stopping_ || (pending_.empty() && !busy_); });
}

void CDeliveryQueue::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
        if (stopping_)
            return;
        const IDataList batch = std::move(pending_.front());
        pending_.pop_front();
        busy_ = true;
        for (const IDataPtr& record : batch)
            if (record)
                deliver(record, lock);
        busy_ = false;
        changed_.notify_all();
    }
}

void CDeliveryQueue::deliver(const IDataPtr& record, std::unique_lock<std::mutex>& lock)
{
    std::vector<std::shared_ptr<SSubscriber>> targets;
    for (const auto& entry : subscribers_)
        if (entry.second->matches(*record))
            targets.push_back(entry.second);
    for (const auto& subscriber : targets) {
        if (!subscribers_.count(subscriber->id))
            continue;  // ended while an earlier callback ran
        delivering_ = subscriber->id;
        lock.unlock();
        try {
            subscriber->callback(record);
        } catch (...) {
            // a throwing subscriber must not take the data thread down
        }
        lock.lock();
        delivering_ = 0;
        changed_.notify_all();
    }
}

class CHostAccountData : public CAccountData {
public:
    IDataList getDatas(int dataType) const override { return store().recordsOfType(dataType); }
    uint64_t getDatasRevision(int dataType) const override { return store().revisionOfType(dataType); }
    IDataPtr getData(int dataType, const std::string& key) const override { return store().recordByKey(dataType, key); }
    CSubscriptionPtr subscribe(int dataType, const std::string& key, const Callback& callback) override
    {
        return CDeliveryQueue::instance().subscribe(dataType, key, callback);
    }

protected:
    void lock() override { mutex_.lock(); }
    void unlock() override { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

class CHostDataCenter : public CDataCenter {
public:
    // One account data object serves every account key: the stand-in keeps all records together.
    boost::shared_ptr<CAccountData> getAccountData(const std::string&) override { return accountData_; }

private:
    boost::shared_ptr<CAccountData> accountData_{new CHostAccountData()};
};

} // namespace

// ---------------------------------------------------------------- data manager

CBondTerderDataManager* CBondTerderDataManager::instance()
{
    static CBondTerderDataManager manager;
    return &manager;
}

std::vector<boost::shared_ptr<CIBondTenderAllocParams>> CBondTerderDataManager::getBtAllocParams(const std::string& bondCode) const
{
    return store().typedRecords<CIBondTenderAllocParams>(bondCode, RT_ALLOC_PARAMS);
}

std::vector<boost::shared_ptr<CIBondTenderAllocProductInfo>> CBondTerderDataManager::getBtProductInfo(const std::string& bondCode) const
{
    return store().typedRecords<CIBondTenderAllocProductInfo>(bondCode, RT_ALLOC_PRODUCT);
}

std::vector<boost::shared_ptr<CIBondTenderAllocUnderWriterInfo>> CBondTerderDataManager::getBtAllocUnderWriterInfo(const std::string& bondCode) const
{
    return store().typedRecords<CIBondTenderAllocUnderWriterInfo>(bondCode, RT_ALLOC_UNDERWRITER);
}

std::vector<boost::shared_ptr<CWinBidInfoDetail>> CBondTerderDataManager::getWinBidInfo(const std::string& bondCode) const
{
    return store().typedRecords<CWinBidInfoDetail>(bondCode, RT_WIN_BID_DETAIL);
}

std::vector<boost::shared_ptr<CIBondTenderExecExternalReportInfo>> CBondTerderDataManager::getBtExecExternalReportInfo(const std::string& bondCode) const
{
    return store().typedRecords<CIBondTenderExecExternalReportInfo>(bondCode, RT_EXEC_EXTERNAL_REPORT);
}

std::vector<boost::shared_ptr<CIBondTenderExecInternalReportInfo>> CBondTerderDataManager::getBtExecInternalReportInfo(const std::string& bondCode) const
{
    return store().typedRecords<CIBondTenderExecInternalReportInfo>(bondCode, RT_EXEC_INTERNAL_REPORT);
}

// ---------------------------------------------------------------- trade and exchange clients

CTradeClient* CTradeClient::instance()
{
    static CTradeClient client;
    return &client;
}

void CTradeClient::updateBondTenderDatas_async(const std::string& bondCode, int typeId, const IDataList& records)
{
    store().applyBondTenderDatas(bondCode, typeId, records);
}

void CTradeClient::updateTenderCmds_async(ETenderOperation operation, const std::vector<int>& commandIds,
                                          const std::vector<boost::shared_ptr<CWinBidInfoDetail>>& records)
{
    store().applyTenderCmds(operation, commandIds, records);
}

CExchangeClient* CExchangeClient::instance()
{
    static CExchangeClient client;
    return &client;
}

boost::shared_ptr<CTenderBondInfoDetail> CExchangeClient::getTenderBondInfoDetailPtr(const std::string& bondCode) const
{
    return store().tenderBondInfo(bondCode);
}

// ---------------------------------------------------------------- account data and trader centre

CAccountData::Lock::Lock(CAccountData& data) : data_(data)
{
    data_.lock();
}

CAccountData::Lock::~Lock()
{
    data_.unlock();
}

TraderCenter* TraderCenter::instance()
{
    static TraderCenter centre;
    return &centre;
}

CDataCenter* TraderCenter::getDataCenter()
{
    static CHostDataCenter dataCenter;
    return &dataCenter;
}

void TraderCenter::waitForDeliveries()
{
    CDeliveryQueue::instance().waitUntilDrained();
}

// ---------------------------------------------------------------- user configuration

namespace {
constexpr int kHintFlag = 1;
}

bool CTradeSetting::testHintBeforeOrderFlag(int flag) const
{
    return flag == kHintFlag && store().hintBeforeOrder();
}

std::vector<boost::shared_ptr<CProduct>> CUserConfig::getAllProducts() const
{
    return store().products();
}

boost::shared_ptr<CProduct> CUserConfig::getProductByID(int productId) const
{
    return store().productById(productId);
}

boost::shared_ptr<CProduct> CUserConfig::getProductByName(const std::string& productName) const
{
    return store().productByName(productName);
}

uint64_t CUserConfig::getProductsRevision() const
{
    return store().productsRevision();
}

QString CUserConfig::getProductName(int productId) const
{
    const auto product = getProductByID(productId);
    return product ? QString::fromStdString(product->productName) : QString();
}

utils::EFormatNumberFlag CUserConfig::getSegmentedFormatFlag() const
{
    return store().segmentedFormat() ? utils::FNF_SEGMENTED : utils::FNF_NONE;
}

bool CUserConfig::testGlobalOrderHint(int flag) const
{
    return flag == kHintFlag && store().globalOrderHint();
}

CTradeSetting* CUserConfig::getTradeSetting()
{
    static CTradeSetting setting;
    return &setting;
}

// ---------------------------------------------------------------- time and instruments

QDateTime CTimeService::currentDateTime() const
{
    return store().now();
}

QString CTimeService::today() const
{
    return QLocale::c().toString(currentDateTime(), QStringLiteral("yyyyMMdd"));
}

CTimeService* getTimeService()
{
    static CTimeService service;
    return &service;
}

void CInstrumentsHelper::updateCommandStatus(EOrderCommandStatus status, const std::string& bondCode)
{
    store().applyCommandStatus(status, bondCode);
}

} // namespace ttservice

namespace TC {
ttservice::CUserConfig* getUserConfig()
{
    static ttservice::CUserConfig config;
    return &config;
}
} // namespace TC

namespace utils {
double clock()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}
} // namespace utils
