#pragma once
// The stand-in host's one store of records, behind every service singleton.
// Tests and the desk seed it through the API below; the panel only sees the services.
//
// Semantics:
//  - records are kept per bond code and record type, in the order they were put;
//  - an update (CTradeClient) replaces the bond's rows of that type with the list sent;
//    a clearing record (see isClearingRecord) drops them instead;
//  - an update call changes the store before it returns. Without a persistence hook its
//    win-bid details (30097) are announced to CAccountData subscribers at once; with one,
//    the calls of one user action are gathered and reach the hook as one unit when the
//    action ends (commitPending: before any message box, and when control returns to the
//    event loop), and are announced after that commit. A failed commit puts the store
//    back as it was before the action;
//  - seeding (put/add/set) reaches neither the hook nor the subscribers;
//  - null entries in a list are ignored.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <typeinfo>
#include <unordered_map>
#include <vector>

#include "ttservice/BondTenderRecords.h"

namespace ttservice {

// One call the panel made to the host's update services, as the store received it.
struct SHostCall {
    enum EKind { BondTenderDatas, TenderCmds, CommandStatus };
    EKind kind = BondTenderDatas;
    std::string bondCode;               // BondTenderDatas, CommandStatus
    int typeId = 0;                     // BondTenderDatas
    int operation = 0;                  // TenderCmds
    int commandStatus = 0;              // CommandStatus
    std::vector<int> commandIds;        // TenderCmds
    IDataList records;
};

// Makes store changes durable (the desk's SQLite file). Everything one user action
// changed arrives as one unit, to be written whole or not at all. Called with the store
// locked, on the thread that ends the action.
class IHostStorePersistence {
public:
    virtual ~IHostStorePersistence() = default;
    // The bond's rows of the type (an empty list: none).
    struct SReplacement { std::string bondCode; int typeId; IDataList rows; };
    struct SUnit {
        // Each (bond, type) the action changed, in the order first changed: as it was
        // before the action and as the action leaves it (same order, same sets).
        std::vector<SReplacement> before;
        std::vector<SReplacement> after;
        // The tender command ids of each command update of the action, in order (none: none).
        std::vector<std::vector<int>> commandUpdates;
        bool empty() const { return after.empty() && commandUpdates.empty(); }
    };
    // True once the whole unit is durable; false, with the reason in the user's words,
    // when none of it was kept.
    virtual bool commit(const SUnit& unit, QString* error) = 0;
};

class CHostStore {
public:
    static CHostStore& instance();

    // Empties everything: records, calls, products, settings (back to defaults), persistence
    // and change listener. The subscription feed stays, so live subscriptions keep working.
    void reset();

    // --- records ---
    void putRecords(const std::string& bondCode, int typeId, const IDataList& rows);  // replaces
    void addRecord(const std::string& bondCode, int typeId, const IDataPtr& row);      // appends
    IDataList records(const std::string& bondCode, int typeId) const;
    IDataList recordsOfType(int typeId) const;            // all bonds, bond order then row order
    // A new number whenever records of the type are added, replaced or removed, or the
    // store is reset; no number is handed out twice.
    uint64_t revisionOfType(int typeId) const;
    std::vector<std::string> bondCodes() const;
    // The first record of the type with that key, in recordsOfType order; O(1) on average.
    IDataPtr recordByKey(int typeId, const std::string& key) const;
    // The records cast to T (null where a record is not a T), read in place under the lock.
    template <class T> std::vector<boost::shared_ptr<T>> typedRecords(const std::string& bondCode, int typeId) const {
        std::vector<boost::shared_ptr<T>> out;
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        if (const IDataList* rows = findRecordsLocked(bondCode, typeId)) {
            out.reserve(rows->size());
            for (const IDataPtr& r : *rows)
                out.push_back(boost::dynamic_pointer_cast<T>(r));
        }
        return out;
    }

    // Tender commands (535) are kept over all bonds, in the order added.
    void addTenderCommand(const boost::shared_ptr<CTenderCommandInfo>& cmd);
    IDataList tenderCommands() const;

    void setTenderBondInfo(const CTenderBondInfoDetail& detail);
    boost::shared_ptr<CTenderBondInfoDetail> tenderBondInfo(const std::string& bondCode) const;

    // --- update calls made by the panel (through CTradeClient / CInstrumentsHelper) ---
    void applyBondTenderDatas(const std::string& bondCode, int typeId, const IDataList& rows);
    void applyTenderCmds(int operation, const std::vector<int>& commandIds,
                         const std::vector<boost::shared_ptr<CWinBidInfoDetail>>& rows);
    void applyCommandStatus(int status, const std::string& bondCode);
    // Rows another desk saved to a shared store: replaced and announced like an update
    // call, but neither handed to the persistence hook (they are saved already) nor kept.
    void applySavedElsewhere(const std::string& bondCode, int typeId, const IDataList& rows);
    // The most recent update calls, oldest first, for reading back what the panel sent.
    // Kept only after setKeepsCalls(true): a desk has its persistence and no use for them,
    // and each kept save holds a large tender's ten thousand replaced rows in memory.
    // Only the last kKeptCalls are kept. One user action makes at most five calls ("保存"
    // four, "返回执行投标" five): eight keep the last action whole.
    static constexpr size_t kKeptCalls = 8;
    void setKeepsCalls(bool keeps);   // survives reset(); off drops the calls kept so far
    std::vector<SHostCall> calls() const;
    void clearCalls();

    // --- user configuration ---
    void setProducts(const std::vector<boost::shared_ptr<CProduct>>& products);
    std::vector<boost::shared_ptr<CProduct>> products() const;
    // The first product with that id or name, null when none; O(1) on average.
    boost::shared_ptr<CProduct> productById(int productId) const;
    boost::shared_ptr<CProduct> productByName(const std::string& productName) const;
    // A new number whenever the products are set or the store is reset: what a reader
    // derived from the products holds while the number stays the same.
    uint64_t productsRevision() const;
    void setHintSettings(bool hintBeforeOrder, bool globalOrderHint);
    bool hintBeforeOrder() const;
    bool globalOrderHint() const;
    void setSegmentedFormat(bool on);
    bool segmentedFormat() const;

    // --- time: a fixed "now" for tests; invalid = the system clock ---
    void setNow(const QDateTime& now);
    QDateTime now() const;

    // --- persistence ---
    // Not owned; null to detach. What an action changed under the previous hook is
    // committed to it first.
    void setPersistence(IHostStorePersistence* persistence);
    // Whether update calls are waiting for their action's commit.
    bool hasPending() const;
    // Ends the current action: its changes reach the persistence as one unit, then the
    // changed win-bid details are announced. When the commit fails the store goes back to
    // what it held before the action (the rows that moved back are announced) and false
    // comes back with the reason. True when nothing was pending.
    bool commitPending(QString* error);
    // commitPending, with a failure told to the user: through the failure handler, or a
    // critical box titled "保存失败". Runs when control returns to the event loop after an
    // update call, and before any message box of the host's.
    bool finishAction();
    using FailureHandler = std::function<void(const QString& message)>;
    void setCommitFailureHandler(FailureHandler handler);   // empty: the box

    // Observer of changed win-bid details (the new rows and the rows that went away), called
    // after the persistence hook, outside the store lock. Seeding (put/add) announces nothing.
    using ChangeListener = std::function<void(const IDataList& changed)>;
    void setChangeListener(ChangeListener listener);
    // The account data's subscription feed: like the listener, but kept across reset().
    void setSubscriptionFeed(ChangeListener feed);

    // True for the record that tells the host to drop a bond's stored rows of its type.
    static bool isClearingRecord(const IData& record);

private:
    CHostStore();
    // Returns the win-bid details that changed (new rows, and old rows whose key is gone).
    // Gathered while the rows sent are read: the call log's copy of them (nulls included),
    // and for win-bid details whether all of them name the bond (if not, nothing is replaced).
    // Seeding announces nothing and wants no changed rows.
    struct SSentRows {
        IDataList* copy = nullptr;
        bool* allOfBond = nullptr;
        bool wantsChanged = true;
    };
    // Rows is a list of IDataPtr or of pointers to one record class.
    // The unit an action gathers, and the details to announce once it is committed.
    struct SPending {
        IHostStorePersistence::SUnit unit;
        IDataList changed;
    };
    template <class Rows>
    IDataList replaceLocked(const std::string& bondCode, int typeId, const Rows& rows,
                            IHostStorePersistence::SUnit* unit, SSentRows sent);
    // The unit's entry of (bond, type), added with the rows stored now when new.
    std::size_t unitEntryLocked(IHostStorePersistence::SUnit& unit, const std::string& bondCode, int typeId);
    // An update call's changes: announced at once, or gathered into the action's unit.
    void finishUpdate(std::unique_lock<std::recursive_mutex>& lock, IDataList changed);
    void scheduleFinishLocked();
    void rollBackLocked(const IHostStorePersistence::SUnit& unit);
    void announce(const IDataList& changed);
    const IDataList* findRecordsLocked(const std::string& bondCode, int typeId) const;   // null when none
    // Records of the type changed: its key index is stale and it takes a new revision.
    void noteChangedTypeLocked(int typeId);
    // Keys are looked up once per changed record on every timer tick: a scan over all
    // records there would make a tick quadratic. The index of a type is rebuilt on its
    // first lookup after a change, so seeding row by row stays linear.
    using KeyIndex = std::unordered_map<std::string, IDataPtr>;
    const KeyIndex& keyIndexLocked(int typeId) const;

    mutable std::recursive_mutex mutex_;
    std::map<std::string, std::map<int, IDataList>> records_;  // bond -> type -> rows
    IDataList tenderCommands_;
    std::map<std::string, boost::shared_ptr<CTenderBondInfoDetail>> bondInfos_;
    bool keepsCalls_ = false;
    std::vector<SHostCall> calls_;
    void logCall(SHostCall call);   // under the lock
    std::vector<boost::shared_ptr<CProduct>> products_;
    std::unordered_map<int, boost::shared_ptr<CProduct>> productById_;
    std::unordered_map<std::string, boost::shared_ptr<CProduct>> productByName_;
    uint64_t productsRevision_ = 1;
    mutable std::unordered_map<int, KeyIndex> keyIndex_;   // type -> key -> first record; absent = stale
    std::unordered_map<int, uint64_t> typeRevisions_;       // type -> revision; absent: resetRevision_
    uint64_t lastRevision_ = 0;
    uint64_t resetRevision_ = 0;
    bool hintBeforeOrder_ = true;
    bool globalOrderHint_ = true;
    bool segmented_ = false;
    QDateTime now_;
    IHostStorePersistence* persistence_ = nullptr;  // not owned
    SPending pending_;
    bool finishScheduled_ = false;
    FailureHandler failureHandler_;
    ChangeListener listener_;
    ChangeListener subscriptionFeed_;
};

} // namespace ttservice
