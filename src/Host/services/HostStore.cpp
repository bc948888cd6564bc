#include "services/HostStore.h"

#include <QApplication>
#include <QMetaObject>
#include <algorithm>
#include <cstddef>
#include <functional>
#include <iterator>
#include <set>
#include <type_traits>
#include <utility>

#include "KZ/MessageBox.h"

namespace ttservice {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

} // namespace

CHostStore& CHostStore::instance()
{
    static CHostStore store;
    return store;
}

CHostStore::CHostStore() = default;

void CHostStore::reset()
{
    Lock lock(mutex_);
    records_.clear();
    keyIndex_.clear();
    typeRevisions_.clear();
    resetRevision_ = ++lastRevision_;
    tenderCommands_.clear();
    bondInfos_.clear();
    calls_.clear();
    products_.clear();
    productById_.clear();
    productByName_.clear();
    ++productsRevision_;
    hintBeforeOrder_ = true;
    globalOrderHint_ = true;
    segmented_ = false;
    now_ = QDateTime();
    persistence_ = nullptr;
    pending_ = SPending();   // a finish already scheduled finds nothing to do
    failureHandler_ = nullptr;
    listener_ = nullptr;
}

namespace {

bool clears(const CIBondTenderAllocParams& p)
{
    return p.bondName.empty() && p.marginalPrice == 0 && p.weightedMeanPrice == 0 && p.issuePrice == 0
        && p.couponRate == 0;
}

bool clears(const CIBondTenderAllocUnderWriterInfo& u) { return u.underWriterName.empty(); }
bool clears(const CIBondTenderAllocProductInfo& p) { return p.productId == kInvalidInt && p.productName.empty(); }
bool clears(const CWinBidInfoDetail& d) { return d.productId == kInvalidInt && d.productName.empty(); }

template <class R>
bool clearsAs(const IData& record)
{
    const auto* r = dynamic_cast<const R*>(&record);
    return r && clears(*r);
}

} // namespace

bool CHostStore::isClearingRecord(const IData& record)
{
    // The record's own type says which kind it is: one cast, not a failed cast per kind
    // tried before it (as much as the rest of a record's seeding).
    switch (record.dataType()) {
    case RT_ALLOC_PARAMS: return clearsAs<CIBondTenderAllocParams>(record);
    case RT_ALLOC_UNDERWRITER: return clearsAs<CIBondTenderAllocUnderWriterInfo>(record);
    case RT_ALLOC_PRODUCT: return clearsAs<CIBondTenderAllocProductInfo>(record);
    case RT_WIN_BID_DETAIL: return clearsAs<CWinBidInfoDetail>(record);
    default: return false;
    }
}

// ---------------------------------------------------------------- records

template <class Rows>
IDataList CHostStore::replaceLocked(const std::string& bondCode, int typeId, const Rows& rows,
                                    IHostStorePersistence::SUnit* unit, SSentRows sent)
{
    // The rows sent are read in one pass, the call log's copy and the bond check with it,
    // and the stored rows in one more, each beside the new row in its place: a save sends
    // thousands of records, and every further pass over them met them out of the cache again.
    const bool announces = typeId == RT_WIN_BID_DETAIL && sent.wantsChanged;
    IDataList newRows;
    newRows.reserve(rows.size());
    if (sent.copy)
        sent.copy->reserve(rows.size());
    bool clearing = false;
    for (const auto& row : rows) {
        if (sent.copy)
            sent.copy->push_back(row);
        if (!row)
            continue;
        if constexpr (std::is_same_v<typename Rows::value_type, boost::shared_ptr<CWinBidInfoDetail>>) {
            if (sent.allOfBond && row->bondCode != bondCode) {
                *sent.allOfBond = false;
                return {};
            }
        }
        if (clearing)
            continue;
        if (isClearingRecord(*row)) {
            clearing = true;
            newRows.clear();
            continue;
        }
        newRows.push_back(row);
    }

    IDataList& stored = records_[bondCode][typeId];
    const std::size_t entry = unit ? unitEntryLocked(*unit, bondCode, typeId) : 0;
    IDataList changed;
    if (announces) {
        // Only membership counts: a save replaces every row of the bond. A save mostly sends
        // the rows of the one before in their order, so a stored row's key is compared with
        // the key of the new row in its place first; only when that differs are the new
        // keys sorted, once, to be searched (no node per key made and freed again). The
        // stored rows are let go as they are read.
        changed.reserve(stored.size() + newRows.size());
        std::vector<std::string> newKeys;   // sorted; empty until a key differs
        for (std::size_t i = 0; i < stored.size(); ++i) {
            IDataPtr& old = stored[i];
            const std::string key = old->getKey();
            bool kept = i < newRows.size() && newRows[i]->getKey() == key;
            if (!kept && !newRows.empty()) {
                if (newKeys.empty()) {
                    newKeys.reserve(newRows.size());
                    for (const IDataPtr& row : newRows)
                        newKeys.push_back(row->getKey());
                    std::sort(newKeys.begin(), newKeys.end());
                }
                kept = std::binary_search(newKeys.begin(), newKeys.end(), key);
            }
            if (kept)
                old.reset();
            else
                changed.push_back(std::move(old));
        }
        changed.insert(changed.end(), newRows.begin(), newRows.end());
    }

    if (unit)
        unit->after[entry].rows = newRows;
    stored = std::move(newRows);
    noteChangedTypeLocked(typeId);
    if (stored.empty()) {
        records_[bondCode].erase(typeId);
        if (records_[bondCode].empty())
            records_.erase(bondCode);
    }
    return changed;
}

void CHostStore::putRecords(const std::string& bondCode, int typeId, const IDataList& rows)
{
    Lock lock(mutex_);
    replaceLocked(bondCode, typeId, rows, nullptr, {nullptr, nullptr, false});
}

void CHostStore::addRecord(const std::string& bondCode, int typeId, const IDataPtr& row)
{
    if (!row)
        return;
    Lock lock(mutex_);
    records_[bondCode][typeId].push_back(row);
    noteChangedTypeLocked(typeId);
}

IDataList CHostStore::records(const std::string& bondCode, int typeId) const
{
    Lock lock(mutex_);
    const IDataList* rows = findRecordsLocked(bondCode, typeId);
    return rows ? *rows : IDataList();
}

const IDataList* CHostStore::findRecordsLocked(const std::string& bondCode, int typeId) const
{
    const auto bond = records_.find(bondCode);
    if (bond == records_.end())
        return nullptr;
    const auto rows = bond->second.find(typeId);
    return rows == bond->second.end() ? nullptr : &rows->second;
}

IDataList CHostStore::recordsOfType(int typeId) const
{
    Lock lock(mutex_);
    if (typeId == RT_TENDER_COMMAND)
        return tenderCommands_;
    IDataList out;
    for (const auto& bond : records_) {
        const auto rows = bond.second.find(typeId);
        if (rows != bond.second.end())
            out.insert(out.end(), rows->second.begin(), rows->second.end());
    }
    return out;
}

uint64_t CHostStore::revisionOfType(int typeId) const
{
    Lock lock(mutex_);
    const auto known = typeRevisions_.find(typeId);
    return known != typeRevisions_.end() ? known->second : resetRevision_;
}

std::vector<std::string> CHostStore::bondCodes() const
{
    Lock lock(mutex_);
    std::set<std::string> codes;
    for (const auto& bond : records_)
        codes.insert(bond.first);
    for (const auto& info : bondInfos_)
        codes.insert(info.first);
    return std::vector<std::string>(codes.begin(), codes.end());
}

IDataPtr CHostStore::recordByKey(int typeId, const std::string& key) const
{
    Lock lock(mutex_);
    const KeyIndex& index = keyIndexLocked(typeId);
    const auto found = index.find(key);
    return found == index.end() ? IDataPtr() : found->second;
}

void CHostStore::noteChangedTypeLocked(int typeId)
{
    keyIndex_.erase(typeId);
    typeRevisions_[typeId] = ++lastRevision_;
}

const CHostStore::KeyIndex& CHostStore::keyIndexLocked(int typeId) const
{
    const auto known = keyIndex_.find(typeId);
    if (known != keyIndex_.end())
        return known->second;
    KeyIndex& index = keyIndex_[typeId];
    for (const IDataPtr& row : recordsOfType(typeId))
        index.emplace(row->getKey(), row);   // the first record with a key wins
    return index;
}

void CHostStore::addTenderCommand(const boost::shared_ptr<CTenderCommandInfo>& cmd)
{
    if (!cmd)
        return;
    Lock lock(mutex_);
    tenderCommands_.push_back(cmd);
    noteChangedTypeLocked(RT_TENDER_COMMAND);
}

IDataList CHostStore::tenderCommands() const
{
    Lock lock(mutex_);
    return tenderCommands_;
}

void CHostStore::setTenderBondInfo(const CTenderBondInfoDetail& detail)
{
    Lock lock(mutex_);
    bondInfos_[detail.bondCode] = boost::shared_ptr<CTenderBondInfoDetail>(new CTenderBondInfoDetail(detail));
}

boost::shared_ptr<CTenderBondInfoDetail> CHostStore::tenderBondInfo(const std::string& bondCode) const
{
    Lock lock(mutex_);
    const auto info = bondInfos_.find(bondCode);
    return info == bondInfos_.end() ? boost::shared_ptr<CTenderBondInfoDetail>() : info->second;
}

// ---------------------------------------------------------------- update calls

void CHostStore::applyBondTenderDatas(const std::string& bondCode, int typeId, const IDataList& rows)
{
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    SHostCall call;
    call.kind = SHostCall::BondTenderDatas;
    call.bondCode = bondCode;
    call.typeId = typeId;
    IDataList changed = replaceLocked(bondCode, typeId, rows, persistence_ ? &pending_.unit : nullptr,
                                      {keepsCalls_ ? &call.records : nullptr, nullptr});
    logCall(std::move(call));
    finishUpdate(lock, std::move(changed));
}

void CHostStore::applyTenderCmds(int operation, const std::vector<int>& commandIds,
                                 const std::vector<boost::shared_ptr<CWinBidInfoDetail>>& rows)
{
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    SHostCall call;
    call.kind = SHostCall::TenderCmds;
    call.operation = operation;
    call.commandIds = commandIds;

    IHostStorePersistence::SUnit* unit = persistence_ ? &pending_.unit : nullptr;
    IDataList changed;
    // A save sends one bond's details: they are stored as sent, without a copy per bond,
    // as long as every one names the bond of the first.
    const std::string* firstBond = nullptr;
    for (const auto& row : rows) {
        if (row) {
            firstBond = &row->bondCode;
            break;
        }
    }
    bool oneBond = firstBond != nullptr;
    if (oneBond)
        changed = replaceLocked(*firstBond, RT_WIN_BID_DETAIL, rows, unit,
                                {keepsCalls_ ? &call.records : nullptr, &oneBond});
    if (!oneBond) {
        if (keepsCalls_)
            call.records.assign(rows.begin(), rows.end());
        // Bonds in the order they first appear; each bond's details keep their order.
        std::vector<std::pair<std::string, IDataList>> rowsOfBond;
        std::map<std::string, std::size_t> bondIndex;
        for (const auto& row : rows) {
            if (!row)
                continue;
            const auto known = bondIndex.emplace(row->bondCode, rowsOfBond.size());
            if (known.second)
                rowsOfBond.emplace_back(row->bondCode, IDataList());
            rowsOfBond[known.first->second].second.push_back(row);
        }
        for (const auto& bond : rowsOfBond) {
            const IDataList bondChanges = replaceLocked(bond.first, RT_WIN_BID_DETAIL, bond.second, unit, {});
            changed.insert(changed.end(), bondChanges.begin(), bondChanges.end());
        }
    }
    if (unit)
        unit->commandUpdates.push_back(commandIds);
    logCall(std::move(call));
    finishUpdate(lock, std::move(changed));
}

std::size_t CHostStore::unitEntryLocked(IHostStorePersistence::SUnit& unit, const std::string& bondCode, int typeId)
{
    // An action touches a handful of sets: a look through them beats an index.
    for (std::size_t i = 0; i < unit.after.size(); ++i)
        if (unit.after[i].typeId == typeId && unit.after[i].bondCode == bondCode)
            return i;
    const IDataList* stored = findRecordsLocked(bondCode, typeId);
    unit.before.push_back({bondCode, typeId, stored ? *stored : IDataList()});
    unit.after.push_back({bondCode, typeId, IDataList()});
    return unit.after.size() - 1;
}

void CHostStore::finishUpdate(std::unique_lock<std::recursive_mutex>& lock, IDataList changed)
{
    if (!persistence_) {
        lock.unlock();
        announce(changed);
        return;
    }
    // Subscribers hear of the action's changes once they are durable.
    pending_.changed.insert(pending_.changed.end(), std::make_move_iterator(changed.begin()),
                            std::make_move_iterator(changed.end()));
    scheduleFinishLocked();
}

void CHostStore::scheduleFinishLocked()
{
    QCoreApplication* const app = QCoreApplication::instance();
    if (finishScheduled_ || !app)
        return;   // without an event loop the caller ends the action itself
    finishScheduled_ = true;
    // Queued: runs once the handler of the user's click or key has returned.
    QMetaObject::invokeMethod(
        app,
        [this] {
            {
                Lock lock(mutex_);
                finishScheduled_ = false;
            }
            finishAction();
        },
        Qt::QueuedConnection);
}

bool CHostStore::hasPending() const
{
    Lock lock(mutex_);
    return !pending_.unit.empty();
}

bool CHostStore::commitPending(QString* error)
{
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    SPending pending;
    std::swap(pending, pending_);
    if (pending.unit.empty())
        return true;
    QString reason;
    if (persistence_ && !persistence_->commit(pending.unit, &reason)) {
        // Subscribers never heard of the action: putting the rows back is all there is to do.
        rollBackLocked(pending.unit);
        if (error)
            *error = reason;
        return false;
    }
    lock.unlock();
    announce(pending.changed);
    return true;
}

void CHostStore::rollBackLocked(const IHostStorePersistence::SUnit& unit)
{
    for (const IHostStorePersistence::SReplacement& set : unit.before) {
        noteChangedTypeLocked(set.typeId);
        if (!set.rows.empty()) {
            records_[set.bondCode][set.typeId] = set.rows;
            continue;
        }
        const auto bond = records_.find(set.bondCode);
        if (bond == records_.end())
            continue;
        bond->second.erase(set.typeId);
        if (bond->second.empty())
            records_.erase(bond);
    }
}

bool CHostStore::finishAction()
{
    QString error;
    if (commitPending(&error))
        return true;
    const QString message = QStringLiteral("保存失败：%1\n本次修改没有写入，之前保存的分配结果保持不变。").arg(error);
    FailureHandler handler;
    {
        Lock lock(mutex_);
        handler = failureHandler_;
    }
    if (handler)
        handler(message);
    else
        KZ::CMessageBox::critical(0, QApplication::activeWindow(), QStringLiteral("保存失败"), message);
    return false;
}

void CHostStore::setCommitFailureHandler(FailureHandler handler)
{
    Lock lock(mutex_);
    failureHandler_ = std::move(handler);
}

void CHostStore::applyCommandStatus(int status, const std::string& bondCode)
{
    Lock lock(mutex_);
    SHostCall call;
    call.kind = SHostCall::CommandStatus;
    call.bondCode = bondCode;
    call.commandStatus = status;
    logCall(std::move(call));
}

void CHostStore::applySavedElsewhere(const std::string& bondCode, int typeId, const IDataList& rows)
{
    IDataList changed;
    {
        Lock lock(mutex_);
        changed = replaceLocked(bondCode, typeId, rows, nullptr, {});
        // An action of this desk not committed yet goes back to these rows if it fails.
        for (IHostStorePersistence::SReplacement& before : pending_.unit.before)
            if (before.bondCode == bondCode && before.typeId == typeId)
                before.rows = rows;
    }
    announce(changed);
}

void CHostStore::setKeepsCalls(bool keeps)
{
    Lock lock(mutex_);
    keepsCalls_ = keeps;
    if (!keeps)
        calls_.clear();
}

void CHostStore::logCall(SHostCall call)
{
    if (!keepsCalls_)
        return;
    calls_.push_back(std::move(call));
    if (calls_.size() > kKeptCalls)
        calls_.erase(calls_.begin());
}

std::vector<SHostCall> CHostStore::calls() const
{
    Lock lock(mutex_);
    return calls_;
}

void CHostStore::clearCalls()
{
    Lock lock(mutex_);
    calls_.clear();
}

void CHostStore::announce(const IDataList& changed)
{
    if (changed.empty())
        return;
    ChangeListener listener;
    ChangeListener feed;
    {
        Lock lock(mutex_);
        listener = listener_;
        feed = subscriptionFeed_;
    }
    if (listener)
        listener(changed);
    if (feed)
        feed(changed);
}

void CHostStore::setChangeListener(ChangeListener listener)
{
    Lock lock(mutex_);
    listener_ = std::move(listener);
}

void CHostStore::setSubscriptionFeed(ChangeListener feed)
{
    Lock lock(mutex_);
    subscriptionFeed_ = std::move(feed);
}

// ---------------------------------------------------------------- user configuration and time

void CHostStore::setProducts(const std::vector<boost::shared_ptr<CProduct>>& products)
{
    Lock lock(mutex_);
    products_ = products;
    ++productsRevision_;
    productById_.clear();
    productByName_.clear();
    for (const auto& product : products_) {
        if (!product)
            continue;
        productById_.emplace(product->productId, product);        // the first one wins
        productByName_.emplace(product->productName, product);
    }
}

boost::shared_ptr<CProduct> CHostStore::productById(int productId) const
{
    Lock lock(mutex_);
    const auto found = productById_.find(productId);
    return found == productById_.end() ? boost::shared_ptr<CProduct>() : found->second;
}

uint64_t CHostStore::productsRevision() const
{
    Lock lock(mutex_);
    return productsRevision_;
}

boost::shared_ptr<CProduct> CHostStore::productByName(const std::string& productName) const
{
    Lock lock(mutex_);
    const auto found = productByName_.find(productName);
    return found == productByName_.end() ? boost::shared_ptr<CProduct>() : found->second;
}

std::vector<boost::shared_ptr<CProduct>> CHostStore::products() const
{
    Lock lock(mutex_);
    return products_;
}

void CHostStore::setHintSettings(bool hintBeforeOrder, bool globalOrderHint)
{
    Lock lock(mutex_);
    hintBeforeOrder_ = hintBeforeOrder;
    globalOrderHint_ = globalOrderHint;
}

bool CHostStore::hintBeforeOrder() const
{
    Lock lock(mutex_);
    return hintBeforeOrder_;
}

bool CHostStore::globalOrderHint() const
{
    Lock lock(mutex_);
    return globalOrderHint_;
}

void CHostStore::setSegmentedFormat(bool on)
{
    Lock lock(mutex_);
    segmented_ = on;
}

bool CHostStore::segmentedFormat() const
{
    Lock lock(mutex_);
    return segmented_;
}

void CHostStore::setNow(const QDateTime& now)
{
    Lock lock(mutex_);
    now_ = now;
}

QDateTime CHostStore::now() const
{
    Lock lock(mutex_);
    return now_.isValid() ? now_ : QDateTime::currentDateTime();
}

void CHostStore::setPersistence(IHostStorePersistence* persistence)
{
    finishAction();   // the action so far belongs to the hook it was made under
    Lock lock(mutex_);
    persistence_ = persistence;
}

} // namespace ttservice
