#include "CPanelBondAllocationMixedTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "CAllocationMixedModel.h"
#include "CAllocationProductData.h"
#include "CAllocationUnderWriteData.h"
#include "CBondTenderCommands.h"
#include "CPanelBondTenderAllocationHelper.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/StandardHpfTable.h"
#include "TC/AutoLineEditDelegate.h"
#include "services/HostServices.h"

#include <QSet>
#include <QTableView>

namespace TC {

namespace {

using Helper = CPanelBondTenderAllocationHelper;

enum EColumn {
    COL_PRODUCT = 0, COL_MARKET = 1, COL_PURCHASE_TYPE = 2, COL_UNDERWRITER = 3, COL_BID_PRICE = 4,
    COL_BID_AMOUNT = 5, COL_WIN_PRICE = 6, COL_WIN_AMOUNT = 7, COL_ACCOUNT = 8, COL_OPERATION = 9,
    COLUMN_COUNT = 10
};

const char* const kOperationColor = "clr_global_fall";
const char* const kDisabledColor = "clr_disable_color";
const char* const kInvalidText = "非法值";

const QStringList& marketChoices()
{
    static const QStringList list{QString(), QStringLiteral("上交所"), QStringLiteral("深交所"),
                                  QStringLiteral("银行间")};
    return list;
}

const QStringList& purchaseTypeChoices()
{
    static const QStringList list{QString(), QStringLiteral("一级分销"), QStringLiteral("二级上市")};
    return list;
}

int userFlag()
{
    return TC::getUserConfig()->getSegmentedFormatFlag();
}

// The decimal text of the row number, as CAllocationMixedData::key() writes it.
// Row numbers up to this have shared key texts, and their delegate state can move with
// the row when the rows are numbered anew.
const int kLargestRowKey = 1 << 18;

QString rowKey(int rowNumber)
{
    // Every load and rebuild names the rows 1..n again: their texts are made once and
    // shared (tables are used on the UI thread only).
    static std::vector<QString> made;
    if (rowNumber < 1 || rowNumber > kLargestRowKey)
        return KZ::sToQs(CAllocationMixedData::keyOf(rowNumber));
    const size_t slot = static_cast<size_t>(rowNumber - 1);
    if (slot >= made.size())
        made.resize(slot + 1);
    if (made[slot].isNull())
        made[slot] = KZ::sToQs(CAllocationMixedData::keyOf(rowNumber));
    return made[slot];
}

QString convertedMarketText(int market)
{
    return KZ::sToQs(Helper::getStrTenderTarget(static_cast<ttservice::ETenderMarket>(market)));
}

QString marketText(int market)
{
    // The markets' texts are converted once and shared by every row.
    static const QHash<int, QString> shared = [] {
        QHash<int, QString> texts;
        for (int known : {ttservice::TM_NONE, ttservice::TM_SSE, ttservice::TM_SZSE, ttservice::TM_INTERBANK})
            texts.insert(known, convertedMarketText(known));
        return texts;
    }();
    const auto found = shared.constFind(market);
    return found != shared.constEnd() ? found.value() : convertedMarketText(market);
}

const QString& operationColor()
{
    static const QString color = QString::fromUtf8(kOperationColor);
    return color;
}

const QString& operationText(bool fixedRow)
{
    static const QString add = QString::fromUtf8(kMixedAddText);
    static const QString remove = QString::fromUtf8(kMixedDeleteText);
    return fixedRow ? add : remove;
}

// "一级分销", "二级上市", or empty for no purchase type.
std::string purchaseTypeText(int purchaseType)
{
    return Helper::getStrPurchaseType(static_cast<ttservice::ETenderPurchaseType>(purchaseType));
}


// Decimal text without grouping, as the group keys and fixed-row indexes are stored.
std::string intText(int value)
{
    return CAllocationMixedData::keyOf(value);
}

std::string positionText(double value)
{
    return KZ::qsToS(KZ::formatDoubleNumber(value, 4, utils::FNF_NONE, false, QString::fromUtf8(kInvalidText)));
}

std::string cutAtLastBar(const std::string& key, std::string* position)
{
    const std::string::size_type bar = key.rfind('|');
    if (bar == std::string::npos) {
        position->clear();
        return key;
    }
    *position = key.substr(bar + 1);
    return key.substr(0, bar);
}

// The first 16 bytes of a text as two numbers that compare as the bytes do.
std::pair<uint64_t, uint64_t> leadingBytes(const std::string& text)
{
    uint64_t half[2] = {0, 0};
    for (size_t i = 0; i < 16 && i < text.size(); ++i)
        half[i / 8] |= static_cast<uint64_t>(static_cast<unsigned char>(text[i])) << (56 - 8 * (i % 8));
    return {half[0], half[1]};
}

// Key of a mismatching product or underwriter as the messages show it: the name,
// then the position with 4 decimals.
void splitKeyForMessage(const std::string& key, QString* name, QString* position)
{
    std::string positionPart;
    *name = KZ::sToQs(cutAtLastBar(key, &positionPart));
    *position = KZ::formatDoubleNumber(KZ::parseDouble(positionPart), 4, utils::FNF_NONE, false,
                                       QString::fromUtf8(kInvalidText));
}

// The ids in order, each kept where it first appears.
std::vector<int> withoutRepeats(const std::vector<int>& ids)
{
    std::vector<std::pair<int, size_t>> byId(ids.size());
    for (size_t i = 0; i < ids.size(); ++i)
        byId[i] = {ids[i], i};
    std::sort(byId.begin(), byId.end());
    std::vector<bool> repeated(ids.size(), false);
    for (size_t i = 1; i < byId.size(); ++i)
        repeated[byId[i].second] = byId[i].first == byId[i - 1].first;
    std::vector<int> out;
    out.reserve(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        if (!repeated[i])
            out.push_back(ids[i]);
    }
    return out;
}

bool hasPositions(ttservice::ETenderingType type)
{
    return type == ttservice::TT_AMERICAN || type == ttservice::TT_MIXED;
}

// The message of a sum that differs under key: name and position for tenders with
// positions, the key alone for Dutch ones; any other tendering type leaves msg as it was.
void setMismatchMessage(ttservice::ETenderingType type, const std::string& key, const QString& subject,
                        const QString& positionTail, const QString& totalTail, QString& msg)
{
    if (hasPositions(type)) {
        QString name, position;
        splitKeyForMessage(key, &name, &position);
        msg = subject + name + QStringLiteral(" 标位 ") + position + positionTail;
    } else if (type == ttservice::TT_DUTCH) {
        msg = subject + KZ::sToQs(key) + totalTail;
    }
}

std::string crossTableKey(ttservice::ETenderingType type, const std::string& name, double price)
{
    if (type == ttservice::TT_DUTCH)
        return name;
    if (hasPositions(type))
        return name + "|" + Helper::printF(price);
    return std::string();
}

// The cross-table keys of many rows, each numbered 0, 1, ... in the order first seen. A key
// is a name and a position's text (the text never holds the "|" that joins them), so the
// pair stands for crossTableKey's text: the save checks sum two keys per row of a large
// tender without writing either, and write out only the key that a message shows.
class CCrossTableKeys {
public:
    explicit CCrossTableKeys(ttservice::ETenderingType type) : type_(type) {}

    size_t idOf(const std::string& name, double price)
    {
        if (type_ != ttservice::TT_DUTCH && !hasPositions(type_))
            return idOfPair(0);   // every row has the empty key
        const uint64_t pair = static_cast<uint64_t>(nameIdOf(name)) << 32
            | (hasPositions(type_) ? positionIdOf(price) : 0u);
        return idOfPair(pair);
    }

    std::string text(size_t id) const
    {
        if (type_ != ttservice::TT_DUTCH && !hasPositions(type_))
            return std::string();
        const uint64_t pair = keys_[id];
        std::string out = *names_[static_cast<size_t>(pair >> 32)];
        if (hasPositions(type_))
            out.append("|").append(positionTexts_[static_cast<size_t>(pair & 0xffffffffu)]);
        return out;
    }

private:
    size_t idOfPair(uint64_t pair)
    {
        const auto found = keyIds_.try_emplace(pair, keys_.size());
        if (found.second)
            keys_.push_back(pair);
        return found.first->second;
    }

    uint32_t nameIdOf(const std::string& name)
    {
        const auto found = nameIds_.try_emplace(name, static_cast<uint32_t>(names_.size()));
        if (found.second)
            names_.push_back(&found.first->first);
        return found.first->second;
    }

    uint32_t positionIdOf(double price)
    {
        uint64_t bits = 0;
        std::memcpy(&bits, &price, sizeof bits);   // every double, NaN included, is its own entry
        auto found = positionOfBits_.find(bits);
        if (found == positionOfBits_.end()) {
            // Two prices that print alike are one position, as their key texts are equal.
            std::string text = Helper::printF(price);
            const auto byText = positionOfText_.emplace(text, static_cast<uint32_t>(positionTexts_.size()));
            if (byText.second)
                positionTexts_.push_back(std::move(text));
            found = positionOfBits_.emplace(bits, byText.first->second).first;
        }
        return found->second;
    }

    const ttservice::ETenderingType type_;
    std::unordered_map<std::string, uint32_t> nameIds_;
    std::vector<const std::string*> names_;   // into nameIds_, whose nodes stay put
    std::unordered_map<uint64_t, uint32_t> positionOfBits_;
    std::unordered_map<std::string, uint32_t> positionOfText_;
    std::vector<std::string> positionTexts_;
    std::unordered_map<uint64_t, size_t> keyIds_;   // (name, position) -> key id
    std::vector<uint64_t> keys_;
};

// Won volume summed per key id.
class CSumsByKey {
public:
    void add(size_t id, double amount)
    {
        if (id >= sums_.size()) {
            sums_.resize(id + 1, 0.0);
            present_.resize(id + 1, false);
        }
        sums_[id] += amount;
        present_[id] = true;
    }
    bool has(size_t id) const { return id < present_.size() && present_[id]; }
    double sum(size_t id) const { return has(id) ? sums_[id] : 0.0; }
    size_t bound() const { return sums_.size(); }

private:
    std::vector<double> sums_;
    std::vector<bool> present_;
};

// The first key of expected, in byte-wise order of its text, whose sum differs from
// actual's (absent counts as 0); false when all agree.
bool findMismatch(const CCrossTableKeys& keys, const CSumsByKey& expected, const CSumsByKey& actual,
                  std::string* key)
{
    bool found = false;
    for (size_t id = 0; id < expected.bound(); ++id) {
        if (!expected.has(id) || Helper::isEqual(actual.sum(id), expected.sum(id)))
            continue;
        std::string text = keys.text(id);
        if (!found || text < *key)
            *key = std::move(text);
        found = true;
    }
    return found;
}

} // namespace

// ---------------------------------------------------------------------------
// construction

CPanelBondAllocationMixedTable::CPanelBondAllocationMixedTable(int id, QWidget* parent)
    : KZ::CBaseWidget(QStringLiteral("qmvt_vkt_bondallocationwidget"), false, parent)
{
    Q_UNUSED(id);
    createUi();
}

CPanelBondAllocationMixedTable::~CPanelBondAllocationMixedTable() = default;

void CPanelBondAllocationMixedTable::createUi()
{
    setFixedSize(1120, 168);
    table = new KZ::CStandardHpfTable(0, this, 255);
    table->setFixedSize(1120, 168);
    table->setFlag(table->flag() | KZ::CStandardHpfTable::TF_EDITABLE | KZ::CStandardHpfTable::TF_HEADER_SORT
                   | KZ::CStandardHpfTable::TF_STAT_ROW);
    table->setFocusPolicy(Qt::NoFocus);
    for (int column = 0; column < COLUMN_COUNT; ++column)
        table->setColumnWidth(column, 80);

    model = new CAllocationMixedModel();
    table->setDataModel(model);

    for (int column : {COL_MARKET, COL_PURCHASE_TYPE, COL_ACCOUNT, COL_UNDERWRITER})
        table->setColumnDelegate(column, new CBaseTableColumnAutoLineEditDelegate(column, table));
    table->setColumnDelegate(COL_OPERATION, new KZ::CBaseTableColumnSimpleTextDelegate(COL_OPERATION, table));
    auto* volume = new KZ::CBaseTableColumnLineeditDelegate(COL_WIN_AMOUNT, table);
    volume->setDoubleRange(0.0, ttservice::kInvalidDouble, 4);
    volume->setLineEditable(true);
    table->setColumnDelegate(COL_WIN_AMOUNT, volume);

    for (int column = 0; column < COLUMN_COUNT; ++column) {
        table->setColumnFilterable(column, true);
        table->setColumnSortable(column, true);
    }
    setInnerStretchWidget(table, 0, 0, 0, 0);
}

CBaseTableColumnAutoLineEditDelegate* CPanelBondAllocationMixedTable::autoDelegate(int column) const
{
    return table ? dynamic_cast<CBaseTableColumnAutoLineEditDelegate*>(table->columnDelegate(column)) : nullptr;
}

KZ::CBaseTableColumnLineeditDelegate* CPanelBondAllocationMixedTable::volumeDelegate() const
{
    return table ? dynamic_cast<KZ::CBaseTableColumnLineeditDelegate*>(table->columnDelegate(COL_WIN_AMOUNT))
                 : nullptr;
}

KZ::CBaseTableColumnSimpleTextDelegate* CPanelBondAllocationMixedTable::operationDelegate() const
{
    return table ? dynamic_cast<KZ::CBaseTableColumnSimpleTextDelegate*>(table->columnDelegate(COL_OPERATION))
                 : nullptr;
}

bool CPanelBondAllocationMixedTable::isMixedTableHasData() const
{
    return model && model->rowCount() > 0;
}

// ---------------------------------------------------------------------------
// filling

void CPanelBondAllocationMixedTable::getAllocationAccounts(QStringList& out, ttservice::ETenderMarket market,
                                                           std::string productName) const
{
    productDirectory.refresh();
    out.append(productDirectory.accountChoices(productName, market).texts);
}

// Writes the delegates' state of rows as the win-bid builders and refreshTable leave it:
// current choices, the saved account still offered after the product's own ones, the won
// volume and an enabled operation cell. One presenter serves one operation over many
// rows: the delegates are looked up once, and the texts and account lists that rows have
// in common are converted once and shared by all of them.
class CPanelBondAllocationMixedTable::CRowPresenter {
public:
    explicit CRowPresenter(const CPanelBondAllocationMixedTable& owner)
        : products_(owner.productDirectory),
          market_(owner.autoDelegate(COL_MARKET)),
          purchaseType_(owner.autoDelegate(COL_PURCHASE_TYPE)),
          underWriter_(owner.autoDelegate(COL_UNDERWRITER)),
          account_(owner.autoDelegate(COL_ACCOUNT)),
          volume_(owner.volumeDelegate()),
          operation_(owner.operationDelegate()),
          flag_(userFlag())
    {
        owner.shownProductsRevision = TC::getUserConfig()->getProductsRevision();
        products_.refresh();
    }

    int flag() const { return flag_; }

    // The row's text as a QString shared with every other row of the same text.
    const QString& text(const std::string& utf8)
    {
        auto found = texts_.find(utf8);
        if (found == texts_.end())
            found = texts_.emplace(utf8, KZ::sToQs(utf8)).first;
        return found->second;
    }

    // The row's underwriter as shown. A name the choices lack is appended to them when it is
    // first met. Each distinct name is looked up once per operation, not once per row; one
    // presenter serves one list of choices.
    const QString& underWriterIn(QStringList& choices, const std::string& utf8)
    {
        const auto known = underWriters_.find(utf8);
        if (known != underWriters_.end())
            return known->second;
        if (!offeredRead_) {
            for (const QString& name : qAsConst(choices))
                offered_.insert(name);
            offeredRead_ = true;
        }
        const QString& name = text(utf8);
        if (!offered_.contains(name)) {
            offered_.insert(name);
            choices.append(name);
        }
        return underWriters_.emplace(utf8, name).first->second;
    }

    void showUnderWriter(const QString& key, const QStringList& choices, const QString& current)
    {
        if (underWriter_) {
            underWriter_->setItems(key, choices, {});
            underWriter_->setCurItem(key, current, -1);
        }
    }

    void showRow(const CAllocationMixedData& row, const QString& key, bool winVolumeVisible)
    {
        const CAllocationMixedInfo& info = *row.info;
        if (market_) {
            market_->setItems(key, marketChoices(), {});
            market_->setCurItem(key, marketText(info.tenderMarket), -1);
        }
        if (purchaseType_) {
            purchaseType_->setItems(key, purchaseTypeChoices(), {});
            purchaseType_->setCurItem(key, text(info.purchaseType), -1);
        }
        if (account_) {
            const CProductDirectory::SAccountChoices& offered = accountChoices(info);
            const auto saved = std::find(offered.utf8.cbegin(), offered.utf8.cend(), info.account);
            if (saved != offered.utf8.cend()) {
                account_->setItems(key, offered.texts, {});
                account_->setCurItem(key, offered.texts.at(static_cast<int>(saved - offered.utf8.cbegin())), -1);
            } else {
                const QString account = KZ::sToQs(info.account);
                QStringList withSaved = offered.texts;
                withSaved.append(account);
                account_->setItems(key, withSaved, {});
                account_->setCurItem(key, account, -1);
            }
        }
        if (volume_) {
            volume_->setItemVisible(key, winVolumeVisible);
            volume_->setItemText(key, volumeText(info.winBidAmount));
            volume_->setLineEditable(true);
        }
        if (operation_) {
            operation_->setItemText(key, operationText(info.isFixedRow()));
            operation_->setItemColorKey(key, operationColor(), true);
            operation_->setItemEnabled(key, true, true);
        }
    }

private:
    // Won volumes repeat across a tender (whole units of a basic unit): each distinct
    // volume is formatted once and its text shared.
    const QString& volumeText(double volume)
    {
        auto found = volumeTexts_.find(volume);
        if (found == volumeTexts_.end())
            found = volumeTexts_.emplace(volume, Helper::format4(volume, flag_)).first;
        return found->second;
    }

    const CProductDirectory::SAccountChoices& accountChoices(const CAllocationMixedInfo& info)
    {
        return products_.accountChoices(info.productName, static_cast<ttservice::ETenderMarket>(info.tenderMarket));
    }

    CProductDirectory& products_;   // the owner's, kept across loads
    CBaseTableColumnAutoLineEditDelegate* market_;        // owned by the table
    CBaseTableColumnAutoLineEditDelegate* purchaseType_;  // owned by the table
    CBaseTableColumnAutoLineEditDelegate* underWriter_;   // owned by the table
    CBaseTableColumnAutoLineEditDelegate* account_;       // owned by the table
    KZ::CBaseTableColumnLineeditDelegate* volume_;        // owned by the table
    KZ::CBaseTableColumnSimpleTextDelegate* operation_;   // owned by the table
    const int flag_;   // the user's segmented-number flag
    std::unordered_map<std::string, QString> texts_;
    std::unordered_map<double, QString> volumeTexts_;
    std::unordered_map<std::string, QString> underWriters_;   // the names met so far
    QSet<QString> offered_;   // the choices' names, so that a new name costs no scan of them
    bool offeredRead_ = false;
};

// Hands out the groups 1, 2, ... of a new fill. The previous fill numbered its groups the
// same way, so each of them is emptied and refilled in place, keeping its map node and its
// array: a reload of a large tender allocates no group. finish() removes the groups that
// the new fill did not reach.
class CPanelBondAllocationMixedTable::CGroupRefill {
public:
    // With no groups left, those last put aside by stashGroups are refilled.
    CGroupRefill(QMap<int, MixedGroup>& groups, QMap<int, MixedGroup>& spare)
        : groups_(swapInSpare(groups, spare)), next_(groups.begin())
    {
    }

    MixedGroup& next()
    {
        ++number_;
        if (next_ != groups_.end() && next_.key() == number_) {
            MixedGroup& group = next_.value();
            ++next_;
            group.clear();   // keeps the array's capacity
            return group;
        }
        finish();   // the old groups are numbered otherwise: none of them is reused
        return *groups_.insert(number_, MixedGroup());
    }

    void finish()
    {
        // Removed by key: the numbers past the new fill are collected first, as removing
        // invalidates the iterator.
        std::vector<int> unreached;
        for (; next_ != groups_.end(); ++next_)
            unreached.push_back(next_.key());
        for (const int number : unreached)
            groups_.remove(number);
    }

private:
    static QMap<int, MixedGroup>& swapInSpare(QMap<int, MixedGroup>& groups, QMap<int, MixedGroup>& spare)
    {
        if (groups.isEmpty())
            groups.swap(spare);
        return groups;
    }

    QMap<int, MixedGroup>& groups_;
    QMap<int, MixedGroup>::iterator next_;
    int number_ = 0;
};

// Positions of placed in byte-wise group key order, equal keys in placed order. The sort
// compares each key's leading bytes held beside its position, so it mostly stays within
// one small array instead of reaching into every row's key text.
void CPanelBondAllocationMixedTable::sortByGroupKey(const std::vector<SPlacedRow>& placed,
                                                    std::vector<size_t>* order)
{
    std::vector<SSortKey>& keys = placedSortKeys;
    keys.resize(placed.size());
    for (size_t i = 0; i < placed.size(); ++i)
        keys[i] = SSortKey{leadingBytes(placed[i].groupKey), i};
    std::sort(keys.begin(), keys.end(), [&placed](const SSortKey& a, const SSortKey& b) {
        if (a.leading != b.leading)
            return a.leading < b.leading;
        const int byKey = placed[a.position].groupKey.compare(placed[b.position].groupKey);
        return byKey != 0 ? byKey < 0 : a.position < b.position;
    });
    order->resize(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        (*order)[i] = keys[i].position;
}

void CPanelBondAllocationMixedTable::updateMixedTableDatas(const WinBidDetails& details, double marginal,
                                                           double weightedMean, std::string code,
                                                           QStringList& underWriters,
                                                           ttservice::ETenderTarget target,
                                                           ttservice::ETenderingType type, double unit,
                                                           std::string name)
{
    refreshMixedModel();
    releaseStoredRows();
    marginalPrice = marginal;
    weightedMeanPrice = weightedMean;
    bondCode = code;
    tenderTarget = target;
    basicTenderUnit = unit;
    bondName = name;
    underWriterList = underWriters;
    if (details.empty() || !table || !model) {
        stashGroups();
        initProductName2ProductIdMapWithWinBidInfo(details);
        return;
    }
    // The product ids by name are collected in the one pass over the details below, as
    // initProductName2ProductIdMapWithWinBidInfo would: reading every detail twice costs
    // a large tender more than the rest of the work on it.
    ProductIdsMet productIdsMet;

    CRowPresenter presenter(*this);
    // Each row's group key; the groups are formed by one sort of the rows by key.
    std::vector<SPlacedRow>& placed = placedRows;
    placed.clear();
    placed.reserve(details.size());
    std::unordered_map<double, std::string> positionTexts;   // a tender has few positions
    double bidSum = 0.0;
    double winSum = 0.0;
    int counter = 0;
    const ttservice::CWinBidInfoDetail* lastDetail = nullptr;
    for (const auto& detail : details) {
        if (!detail)
            continue;
        CAllocationMixedDataPtr row = spareRows.take(++counter);
        CAllocationMixedInfo& info = *row->info;
        info.productName = detail->productName;
        // A product's rows mostly follow each other: the name is looked up when it or its id changes.
        if (!lastDetail || lastDetail->productId != detail->productId || lastDetail->productName != detail->productName)
            productIdsMet.emplace_back(detail->productName, detail->productId);
        lastDetail = detail.get();
        info.tenderMarket = detail->tenderMarket;
        info.purchaseType = purchaseTypeText(detail->purchaseType);
        info.underWriter = detail->underWriter;
        if (type == ttservice::TT_DUTCH)
            info.bidPrice = ttservice::kInvalidDouble;
        else if (hasPositions(type))
            info.bidPrice = detail->bidPrice;
        info.bidAmount = detail->bidAmount;
        info.winBidPrice = Helper::getWinBidPrice(type, target, info.bidPrice, marginal, weightedMean);
        info.winBidAmount = Helper::roundTo4(detail->winBidAmount / 10000.0);
        // Summed while the info is at hand: every row joins a group below, and reading the
        // infos again there, in group order, met each of them out of the cache at L.
        bidSum += info.bidAmount;
        winSum += info.winBidAmount;
        info.account = detail->account;
        const bool added = detail->fixedRowIndex.empty();
        info.operationText = added ? kMixedDeleteText : kMixedAddText;

        // The underwriter choices grow with names that only saved rows still carry.
        const QString& underWriter = presenter.underWriterIn(underWriters, info.underWriter);
        const QString key = rowKey(row->rowNumber);
        presenter.showUnderWriter(key, underWriters, underWriter);
        presenter.showRow(*row, key, false);

        auto position = positionTexts.find(detail->bidPrice);
        if (position == positionTexts.end())
            position = positionTexts.emplace(detail->bidPrice, positionText(detail->bidPrice)).first;
        placed.push_back(SPlacedRow{intText(detail->productId) + position->second, std::move(row), added});
    }

    // Byte-wise key order; within a key the host's order, in which a fixed row goes to the
    // group's front and an added row to its end.
    std::vector<size_t>& order = placedOrder;
    sortByGroupKey(placed, &order);
    CGroupRefill refill(productDataMap, spareGroups);
    for (size_t begin = 0; begin < order.size();) {
        const std::string& groupKey = placed[order[begin]].groupKey;
        MixedGroup& group = refill.next();
        size_t end = begin;
        for (; end < order.size() && placed[order[end]].groupKey == groupKey; ++end) {
            SPlacedRow& entry = placed[order[end]];
            if (entry.added || group.isEmpty())
                group.append(std::move(entry.row));
            else
                group.prepend(std::move(entry.row));
        }
        for (const CAllocationMixedDataPtr& row : group) {
            model->addData(row);
            table->updateTable();
        }
        begin = end;
    }
    refill.finish();
    placed.clear();   // the rows are held by the groups and the model now
    setProductIds(productIdsMet);
    model->setTotalData(bidSum, winSum);
    table->updateTable();
    // Names that only saved rows carry gave the later rows a longer underwriter list than
    // a rebuild gives them: then the first click must rebuild every row.
    rowsAsLoaded = underWriters.size() == underWriterList.size() && counter <= kLargestRowKey;
    refreshedWithFlag = presenter.flag();
    spareRows.dropUntaken();
}

void CPanelBondAllocationMixedTable::refreshWinBidAllocationMixedTable(ProductRowMap& products,
                                                                       ttservice::ETenderingType type,
                                                                       std::string name)
{
    if (!table || !model)
        return;
    refreshMixedModel();
    releaseStoredRows();
    bondName = name;
    productDirectory.refresh();
    // The product ids by name are collected in the pass that makes the rows, as
    // initProductName2ProductIdMapWithProductData would collect them in a pass of its own.
    ProductIdsMet productIdsMet;
    CRowPresenter presenter(*this);
    CGroupRefill refill(productDataMap, spareGroups);

    double bidSum = 0.0;
    double winSum = 0.0;
    int counter = 0;
    bool namedLast = false;
    int lastProductId = 0;
    for (const auto& product : qAsConst(products)) {
        if (!product || !product->info)
            continue;
        CAllocationMixedDataPtr row = spareRows.take(++counter);
        CAllocationMixedInfo& info = *row->info;
        info.productName = productDirectory.nameOf(product->info->productId);
        if (!namedLast || product->info->productId != lastProductId) {   // the name follows from the id
            productIdsMet.emplace_back(info.productName, product->info->productId);
            lastProductId = product->info->productId;
            namedLast = true;
        }
        info.tenderMarket = ttservice::TM_NONE;
        if (type != ttservice::TT_DUTCH)
            info.purchaseType = purchaseTypeText(product->info->purchaseType);
        info.bidPrice = product->info->tenderPrice;
        info.bidAmount = Helper::roundTo4(product->info->bidAmount);
        info.winBidPrice = Helper::getWinBidPrice(type, tenderTarget, product->info->tenderPrice, marginalPrice,
                                                  weightedMeanPrice);
        info.winBidAmount = product->info->winAmount;
        info.operationText = kMixedAddText;

        const QString key = rowKey(counter);
        presenter.showUnderWriter(key, underWriterList, QString());
        presenter.showRow(*row, key, true);

        refill.next().append(row);
        bidSum += info.bidAmount;
        winSum += info.winBidAmount;
        model->addData(row);
        table->updateTable();
    }
    refill.finish();
    spareRows.dropUntaken();
    setProductIds(productIdsMet);
    model->setTotalData(bidSum, winSum);
    table->updateTable();
}

void CPanelBondAllocationMixedTable::refreshLoseBidAllocationMixedTable(ProductRowMap& products,
                                                                        ttservice::ETenderingType type)
{
    if (!table || !model)
        return;
    refreshMixedModel();
    const int flag = userFlag();
    productDirectory.refresh();

    double bidSum = 0.0;
    int counter = 0;
    for (const auto& product : qAsConst(products)) {
        if (!product || !product->info)
            continue;
        CAllocationMixedDataPtr row = spareRows.take(++counter);
        CAllocationMixedInfo& info = *row->info;
        info.productName = productDirectory.nameOf(product->info->productId);
        if (type == ttservice::TT_DUTCH)
            info.bidPrice = ttservice::kInvalidDouble;
        else if (hasPositions(type))
            info.bidPrice = product->info->tenderPrice;
        info.bidAmount = product->info->bidAmount;

        // Every choice column offers only the row's own (empty) value: nothing to pick.
        const QString key = rowKey(counter);
        static const QStringList onlyEmpty{QString()};
        for (int column : {COL_MARKET, COL_PURCHASE_TYPE, COL_UNDERWRITER, COL_ACCOUNT}) {
            if (auto* delegate = autoDelegate(column)) {
                delegate->setItems(key, onlyEmpty, {});
                delegate->setCurItem(key, QString(), -1);
            }
        }
        if (auto* volume = volumeDelegate()) {
            volume->setItemText(key, Helper::format4(0.0, flag));
            volume->setLineEditable(false);
        }
        if (auto* operation = operationDelegate()) {
            operation->setItemText(key, QString());
            operation->setItemColorKey(key, operationColor(), true);
            operation->setItemEnabled(key, false, false);
        }
        bidSum += info.bidAmount;
        model->addData(row);
    }
    model->setTotalData(bidSum, 0.0);
    table->updateTable();
}

void CPanelBondAllocationMixedTable::refreshMixedModel()
{
    if (!table || !model)
        return;
    rowsAsRefreshed = false;
    rowsAsLoaded = false;
    editedRows.clear();
    // Emptied at once: removing the stored rows one by one first would end the same way.
    model->setTotalData(0.0, 0.0);
    model->clear();
    model->clearFilter();
    table->clear();
    table->clearFilter();
    table->clearSort();
    table->updateTable();
}

void CPanelBondAllocationMixedTable::refreshTable()
{
    if (!table || !model)
        return;
    const bool fromEmptyModel = model->rowCount() == 0;
    const int offeredBefore = underWriterList.size();
    CRowPresenter presenter(*this);
    int counter = 0;
    for (MixedGroup& group : productDataMap) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (!row || !row->info)
                continue;
            row->rowNumber = ++counter;
            const QString& underWriter = presenter.underWriterIn(underWriterList, row->info->underWriter);
            const QString key = rowKey(counter);
            presenter.showUnderWriter(key, underWriterList, underWriter);
            presenter.showRow(*row, key, true);
            model->addData(row);
            table->updateTable();
        }
    }
    setStoredTotals();
    // A list that grew on the way gave the rows before the new name the shorter list; the
    // next rebuild would give them the longer one, so this state is not yet the rebuilt one.
    rowsAsRefreshed = fromEmptyModel && underWriterList.size() == offeredBefore;
    rowsAsLoaded = false;
    refreshedWithFlag = presenter.flag();
    editedRows.clear();
}

void CPanelBondAllocationMixedTable::releaseStoredRows()
{
    for (MixedGroup& group : productDataMap) {
        for (CAllocationMixedDataPtr& row : group)
            spareRows.keepIfUnshared(row);
        group.clear();   // the rows go, the arrays stay
    }
}

void CPanelBondAllocationMixedTable::stashGroups()
{
    spareGroups.clear();
    spareGroups.swap(productDataMap);
}

void CPanelBondAllocationMixedTable::setStoredTotals()
{
    double bidSum = 0.0;
    double winSum = 0.0;
    for (const MixedGroup& group : productDataMap) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (row && row->info) {
                bidSum += row->info->bidAmount;
                winSum += row->info->winBidAmount;
            }
        }
    }
    model->setTotalData(bidSum, winSum);
    table->updateTable();
}

void CPanelBondAllocationMixedTable::initProductName2ProductIdMapWithWinBidInfo(const WinBidDetails& details)
{
    ProductIdsMet met;
    for (const auto& detail : details) {
        if (detail)
            met.emplace_back(detail->productName, detail->productId);
    }
    setProductIds(met);
}

void CPanelBondAllocationMixedTable::setProductIds(ProductIdsMet& met)
{
    // In name order, the last pair of each name kept.
    std::stable_sort(met.begin(), met.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    size_t kept = 0;
    for (size_t i = 0; i < met.size(); ++i) {
        if (i + 1 < met.size() && met[i + 1].first == met[i].first)
            continue;
        if (kept != i)
            met[kept] = std::move(met[i]);
        ++kept;
    }
    met.resize(kept);
    // A reload of the same tender finds the same names and ids: the map, with a node per
    // product, then stays as it is; a save that looked up a name it lacks added one to it.
    if (met == productIdsSet && productName2ProductIdMap.size() == static_cast<int>(met.size()))
        return;
    productName2ProductIdMap.clear();
    for (const auto& entry : met)
        productName2ProductIdMap.insert(entry.first, entry.second);
    productIdsSet.swap(met);
}

void CPanelBondAllocationMixedTable::initProductName2ProductIdMapWithProductData(const ProductRowMap& products)
{
    productDirectory.refresh();
    ProductIdsMet met;   // the last row's id per name wins, as the map keeps it
    for (const auto& product : products) {
        if (product && product->info)
            met.emplace_back(productDirectory.nameOf(product->info->productId), product->info->productId);
    }
    setProductIds(met);
}

std::string CPanelBondAllocationMixedTable::getProductAndTenderKey(ttservice::ETenderingType type,
                                                                   std::string name, double price)
{
    return crossTableKey(type, name, price);
}

std::string CPanelBondAllocationMixedTable::getUnderWriterAndTenderkey(ttservice::ETenderingType type,
                                                                       std::string name, double price)
{
    return crossTableKey(type, name, price);
}

// ---------------------------------------------------------------------------
// editing

bool CPanelBondAllocationMixedTable::handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam,
                                                 void* pParam)
{
    switch (nEventID) {
    case KZ::EVT_SIMPLE_TEXT_CLICKED:
        handleDelegateSimpleTextCliecked(qsParam);
        return true;
    case KZ::EVT_LINEEDIT_FINISHED:
        if (nIntParam == COL_WIN_AMOUNT)
            handleDelegateLineEditFinish(qsParam, static_cast<const QString*>(pParam));
        return true;
    case KZ::EVT_AUTO_LINEEDIT_CHANGED:
        handleAutoKeyBoardLineEditChange(qsParam, nSenderID);
        return true;
    case KZ::EVT_COMBOX_CHANGED:
        // Only raised if a combo-box delegate is put into a choice column; the auto
        // line edits installed by createUi never raise it. Supported so that such a
        // column edits the row exactly as the auto line edit does.
        handleBaseTableComboxChange(qsParam, nSenderID);
        return true;
    default:
        return KZ::CBaseWidget::handleEvent(nEventID, nSenderID, nIntParam, qsParam, pParam);
    }
}

CAllocationMixedDataPtr CPanelBondAllocationMixedTable::getFixedRowData(int rowNumber) const
{
    for (const MixedGroup& group : productDataMap) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (row && row->rowNumber == rowNumber)
                return row;
        }
    }
    return CAllocationMixedDataPtr();
}

void CPanelBondAllocationMixedTable::handleAutoKeyBoardLineEditChange(const QString& text, int column)
{
    if (!table || !model)
        return;
    QString key;
    CBaseTableColumnAutoLineEditDelegate* delegate = autoDelegate(column);
    if (delegate) {
        key = delegate->getLastKey();
        delegate->hideAutoLineEdit();
    }
    applyChoice(key, column, text);
    if (delegate)
        delegate->setCurrentText(text);
    table->view()->viewport()->update();
}

void CPanelBondAllocationMixedTable::handleBaseTableComboxChange(const QString& key, int column)
{
    if (!table || !model)
        return;
    auto* combo = dynamic_cast<KZ::CBaseTableColumnComboxDelegate*>(table->columnDelegate(column));
    if (!combo)
        return;
    applyChoice(key, column, combo->getText(key));
    table->view()->viewport()->update();
}

// A choice is written to the model's row and to the stored row of the same number;
// both are normally one object, but a row missing from either is left alone.
void CPanelBondAllocationMixedTable::applyChoice(const QString& key, int column, const QString& text)
{
    const auto row = boost::dynamic_pointer_cast<CAllocationMixedData>(model->getDataByKey(KZ::qsToS(key)));
    const CAllocationMixedDataPtr stored = getFixedRowData(key.toInt());
    if (stored)
        editedRows.insert(stored.get());   // its cell may now show a text the rebuild would not
    if (!row || !stored || !row->info || !stored->info)
        return;
    const std::string value = KZ::qsToS(text);
    switch (column) {
    case COL_MARKET: {
        const int market = Helper::getETenderMarket(value);
        if (market == row->info->tenderMarket)
            return;
        row->info->tenderMarket = market;
        stored->info->tenderMarket = market;
        QStringList accounts;
        getAllocationAccounts(accounts, static_cast<ttservice::ETenderMarket>(market), row->info->productName);
        if (auto* accountDelegate = autoDelegate(COL_ACCOUNT)) {
            accountDelegate->setItems(key, accounts, {});
            accountDelegate->setCurItem(key, QString(), -1);
        }
        row->info->account.clear();
        stored->info->account.clear();
        break;
    }
    case COL_PURCHASE_TYPE:
        row->info->purchaseType = value;
        stored->info->purchaseType = value;
        break;
    case COL_UNDERWRITER:
        row->info->underWriter = value;
        stored->info->underWriter = value;
        break;
    case COL_ACCOUNT:
        row->info->account = value;
        stored->info->account = value;
        break;
    default:
        break;
    }
}

void CPanelBondAllocationMixedTable::handleDelegateLineEditFinish(const QString& key, const QString* typed)
{
    if (!table || !model)
        return;
    const int flag = userFlag();
    double amount = Helper::cutToWholeUnits(typed ? KZ::qsToS(*typed) : std::string(), basicTenderUnit);
    const auto row = boost::dynamic_pointer_cast<CAllocationMixedData>(model->getDataByKey(KZ::qsToS(key)));
    if (row && row->info && Helper::isGreater(amount, row->info->bidAmount))
        amount = row->info->bidAmount;
    if (auto* volume = volumeDelegate())
        volume->setItemText(key, Helper::format4(amount, flag));
    if (const CAllocationMixedDataPtr stored = getFixedRowData(key.toInt()))
        stored->info->winBidAmount = amount;
    setStoredTotals();
}

void CPanelBondAllocationMixedTable::handleDelegateSimpleTextCliecked(const QString& key)
{
    if (!table || !model)
        return;
    const int rowNumber = key.toInt();
    if (addOrRemoveOnLoadedRows(rowNumber) || addOrRemoveInPlace(rowNumber))
        return;
    model->clear();
    model->clearFilter();
    if (isAddOperation(rowNumber))
        addProductData2Map(rowNumber);
    else
        delProductData2Map(rowNumber);
    refreshTable();
}

void CPanelBondAllocationMixedTable::forEachDelegate(
    const std::function<void(KZ::CBaseTableColumnDelegate*)>& apply) const
{
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        if (KZ::CBaseTableColumnDelegate* delegate = table->columnDelegate(column))
            apply(delegate);
    }
}

// The result is what the full rebuild (empty the model, add or remove, refreshTable)
// gives, without touching the rows before the change: a click in a large tender costs
// the rows after the clicked group, and for them only a move of their delegate state.
bool CPanelBondAllocationMixedTable::addOrRemoveInPlace(int rowNumber)
{
    if (!rowsAsRefreshed || userFlag() != refreshedWithFlag || productsChangedSinceShown())
        return false;
    const int groupNumber = groupOfRow(rowNumber);
    if (groupNumber == 0 || hasEditedUnderWriterNotOffered())
        return false;

    MixedGroup& group = productDataMap[groupNumber];
    const bool add = isAddOperation(rowNumber);
    // The first number that changes: after the group's last row for an add, the removed
    // row's own for a delete.
    const int firstMoved = add ? group.last()->rowNumber + 1 : rowNumber;
    const int lastNumber = model->rowCount();
    for (int number = firstMoved; number <= lastNumber; ++number)
        model->removeDataByKey(CAllocationMixedData::keyOf(number));
    if (add) {
        addProductData2Map(rowNumber);
        forEachDelegate([firstMoved](KZ::CBaseTableColumnDelegate* delegate) {
            delegate->insertRowNumbers(firstMoved, 1);
        });
    } else {
        removeEditedRow(rowNumber);
        delProductData2Map(rowNumber);
        forEachDelegate([rowNumber](KZ::CBaseTableColumnDelegate* delegate) {
            delegate->removeRowNumbers(rowNumber, 1);
        });
    }

    CRowPresenter presenter(*this);
    int counter = firstMoved;
    for (auto it = productDataMap.find(groupNumber); it != productDataMap.end(); ++it) {
        for (const CAllocationMixedDataPtr& row : it.value()) {
            const bool added = row->rowNumber == 0;
            if (!added && row->rowNumber < firstMoved)
                continue;   // before the change: number and state stay
            row->rowNumber = counter++;
            if (added)
                showWholeRow(presenter, *row);
            model->addData(row);
        }
    }
    showEditedRows(presenter);
    table->updateTable();
    setStoredTotals();
    return true;
}

bool CPanelBondAllocationMixedTable::addOrRemoveOnLoadedRows(int rowNumber)
{
    if (!rowsAsLoaded || userFlag() != refreshedWithFlag || productsChangedSinceShown())
        return false;
    rowsAsLoaded = false;   // whichever way this click goes, the rows are not as loaded after it
    const int count = model->rowCount();
    if (!isStoredNumberedOneTo(count) || groupOfRow(rowNumber) == 0 || hasEditedUnderWriterNotOffered())
        return false;

    const bool add = isAddOperation(rowNumber);
    if (add) {
        addProductData2Map(rowNumber);
    } else {
        removeEditedRow(rowNumber);
        delProductData2Map(rowNumber);
    }
    // Old number -> number in group order, each number once. An added row takes the slot
    // after the loaded rows (it is written whole below); a removed row's state goes to the
    // last number, which is then dropped.
    const int slotCount = add ? count + 1 : count;
    std::vector<int> newNumbers(static_cast<size_t>(slotCount), 0);
    if (!add)
        newNumbers[static_cast<size_t>(rowNumber - 1)] = count;
    CAllocationMixedDataPtr added;
    model->clear();
    model->clearFilter();
    int counter = 0;
    for (const MixedGroup& group : productDataMap) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (row->rowNumber == 0)
                added = row;
            newNumbers[static_cast<size_t>((row->rowNumber == 0 ? slotCount : row->rowNumber) - 1)] = ++counter;
            row->rowNumber = counter;
            model->addData(row);
        }
    }
    forEachDelegate([&newNumbers, add, count](KZ::CBaseTableColumnDelegate* delegate) {
        delegate->renumberRows(newNumbers);
        if (!add)
            delegate->removeRowNumbers(count, 1);
    });
    if (KZ::CBaseTableColumnLineeditDelegate* volume = volumeDelegate()) {
        for (int number = 1; number <= counter; ++number)
            volume->setItemVisible(rowKey(number), true);   // a load hides the won volume inputs
    }
    CRowPresenter presenter(*this);
    if (added)
        showWholeRow(presenter, *added);
    showEditedRows(presenter);
    table->updateTable();
    setStoredTotals();
    rowsAsRefreshed = true;
    return true;
}

// The rows' account choices were read from the products of shownProductsRevision: other
// products offer other accounts, which only a full rebuild gives every row.
bool CPanelBondAllocationMixedTable::productsChangedSinceShown() const
{
    return shownProductsRevision != TC::getUserConfig()->getProductsRevision();
}

bool CPanelBondAllocationMixedTable::isStoredNumberedOneTo(int count) const
{
    std::vector<bool> seen(static_cast<size_t>(std::max(count, 0)), false);
    int stored = 0;
    for (const MixedGroup& group : productDataMap) {
        for (const CAllocationMixedDataPtr& row : group) {
            const int number = row && row->info ? row->rowNumber : 0;
            if (number < 1 || number > count || seen[static_cast<size_t>(number - 1)])
                return false;
            seen[static_cast<size_t>(number - 1)] = true;
            ++stored;
        }
    }
    return stored == count;
}

// An edited underwriter that the choices do not offer yet would lengthen the list from
// its row on: only a full rebuild gives every row its list then.
bool CPanelBondAllocationMixedTable::hasEditedUnderWriterNotOffered() const
{
    if (editedRows.isEmpty())
        return false;
    for (const MixedGroup& group : productDataMap) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (editedRows.contains(row.get()) && !underWriterList.contains(KZ::sToQs(row->info->underWriter)))
                return true;
        }
    }
    return false;
}

void CPanelBondAllocationMixedTable::removeEditedRow(int rowNumber)
{
    if (const CAllocationMixedDataPtr removed = getFixedRowData(rowNumber))
        editedRows.remove(removed.get());
}

void CPanelBondAllocationMixedTable::showWholeRow(CRowPresenter& presenter, const CAllocationMixedData& row) const
{
    const QString key = rowKey(row.rowNumber);
    presenter.showUnderWriter(key, underWriterList, presenter.text(row.info->underWriter));
    presenter.showRow(row, key, true);
}

void CPanelBondAllocationMixedTable::showEditedRows(CRowPresenter& presenter)
{
    if (editedRows.isEmpty())
        return;
    for (const MixedGroup& group : productDataMap) {
        for (const CAllocationMixedDataPtr& row : group) {
            if (editedRows.contains(row.get()))
                showWholeRow(presenter, *row);
        }
    }
    editedRows.clear();
}

bool CPanelBondAllocationMixedTable::isAddOperation(int rowNumber) const
{
    const auto* operation = operationDelegate();
    return operation && operation->getText(rowKey(rowNumber)) == operationText(true);
}

// The group is found by the row's number rather than by counting rows in group
// order: directly after a saved allocation is loaded the rows are numbered in the
// host's order, which need not be group order, and counting would then add to or
// remove from another group than the clicked row's.
int CPanelBondAllocationMixedTable::groupOfRow(int rowNumber) const
{
    for (auto it = productDataMap.cbegin(); it != productDataMap.cend(); ++it) {
        for (const CAllocationMixedDataPtr& row : it.value()) {
            if (row && row->rowNumber == rowNumber)
                return it.key();
        }
    }
    return 0;
}

void CPanelBondAllocationMixedTable::addProductData2Map(int rowNumber)
{
    const int groupNumber = groupOfRow(rowNumber);
    if (groupNumber == 0)
        return;
    MixedGroup& group = productDataMap[groupNumber];
    const CAllocationMixedDataPtr& first = group.first();
    if (!first || !first->info)
        return;
    CAllocationMixedDataPtr added = spareRows.take(0);   // numbered by refreshTable
    CAllocationMixedInfo& info = *added->info;
    const CAllocationMixedInfo& source = *first->info;
    info.productName = source.productName;
    info.purchaseType = source.purchaseType;
    info.underWriter = source.underWriter;
    info.bidPrice = source.bidPrice;
    info.bidAmount = source.bidAmount;
    info.winBidPrice = source.winBidPrice;
    info.winBidAmount = source.winBidAmount;
    info.account = source.account;
    info.tenderMarket = source.tenderMarket;
    group.append(added);
}

void CPanelBondAllocationMixedTable::delProductData2Map(int rowNumber)
{
    const int groupNumber = groupOfRow(rowNumber);
    if (groupNumber == 0)
        return;
    MixedGroup kept;
    for (const CAllocationMixedDataPtr& row : productDataMap[groupNumber]) {
        if (!row || row->rowNumber != rowNumber)
            kept.append(row);
    }
    productDataMap[groupNumber] = kept;
}

void CPanelBondAllocationMixedTable::disableMixedTableDelegate()
{
    if (!table || !model)
        return;
    rowsAsRefreshed = false;
    rowsAsLoaded = false;
    Helper::forEachRowOf<CAllocationMixedData>(*model, [&](const CAllocationMixedData& row) {
        if (!row.info)
            return;
        const QString key = rowKey(row.rowNumber);
        const std::pair<int, QString> onlyChoices[] = {
            {COL_MARKET, marketText(row.info->tenderMarket)},
            {COL_PURCHASE_TYPE, KZ::sToQs(row.info->purchaseType)},
            {COL_UNDERWRITER, KZ::sToQs(row.info->underWriter)},
            {COL_ACCOUNT, KZ::sToQs(row.info->account)},
        };
        for (const auto& choice : onlyChoices) {
            if (auto* delegate = autoDelegate(choice.first)) {
                delegate->setItems(key, QStringList{choice.second}, {});
                delegate->setCurItem(key, choice.second, -1);
            }
        }
        if (auto* volume = volumeDelegate()) {
            volume->setItemVisible(key, false);
            volume->setLineEditable(false);
        }
        if (auto* operation = operationDelegate()) {
            operation->setItemEnabled(key, false, false);
            operation->setItemColorKey(key, QString::fromUtf8(kDisabledColor), true);
        }
    });
    table->updateTable();
}

// ---------------------------------------------------------------------------
// validation

bool CPanelBondAllocationMixedTable::check(double totalWinBid, QString& msg, ProductRowMap& products,
                                           UnderWriterRows& underWriters, ttservice::ETenderingType type)
{
    if (!model)
        return false;
    const double total = model->getTotalWinBidAmount();
    if (!Helper::isGreaterThanZero(total)) {
        msg = QStringLiteral("表三中标合计数据必须大于0!");
        return false;
    }
    if (!Helper::isEqual(total, totalWinBid)) {
        msg = QStringLiteral("表三中标数量合计与表一中标总量不一致!");
        return false;
    }

    bool chosen = true;   // every row has its four choices
    Helper::forEachRowOf<CAllocationMixedData>(*model, [&](const CAllocationMixedData& row) {
        if (!row.info)
            return true;
        const char* missing = nullptr;
        if (row.info->tenderMarket == ttservice::TM_NONE)
            missing = " 行数据未选择投标市场!";
        else if (row.info->purchaseType.empty())
            missing = " 行数据未选择申购方式!";
        else if (row.info->underWriter.empty())
            missing = " 行数据未选择承销商!";
        else if (row.info->account.empty())
            missing = " 行数据未选择账号!";
        if (missing) {
            msg = QStringLiteral("表三第 ") + rowKey(row.rowNumber) + QString::fromUtf8(missing);
            chosen = false;
        }
        return chosen;
    });
    if (!chosen)
        return false;

    CCrossTableKeys keys(type);
    CSumsByKey allocatedByProduct;
    CSumsByKey allocatedByUnderWriter;
    for (const MixedGroup& group : productDataMap) {
        if (group.isEmpty() || !group.first() || !group.first()->info)
            continue;
        const std::string& productName = group.first()->info->productName;
        for (const CAllocationMixedDataPtr& row : group) {
            if (!row || !row->info)
                continue;
            allocatedByProduct.add(keys.idOf(productName, row->info->bidPrice), row->info->winBidAmount);
            allocatedByUnderWriter.add(keys.idOf(row->info->underWriter, row->info->bidPrice),
                                       row->info->winBidAmount);
        }
    }

    CSumsByKey wonByProduct;
    productDirectory.refresh();
    for (const auto& product : qAsConst(products)) {
        if (product && product->info)
            wonByProduct.add(keys.idOf(productDirectory.nameOf(product->info->productId), product->info->tenderPrice),
                             product->info->winAmount);
    }
    std::string key;
    if (findMismatch(keys, wonByProduct, allocatedByProduct, &key)) {
        setMismatchMessage(type, key, QStringLiteral("表三产品 "),
                           QStringLiteral("实际分配合计与表二中该产品该标位中标数量不一致,无法保存!"),
                           QStringLiteral("实际分配合计与表二中该产品中标数量不一致,无法保存!"), msg);
        return false;
    }

    CSumsByKey wonByUnderWriter;
    for (const auto& underWriter : underWriters) {
        if (!underWriter || !underWriter->info)
            continue;
        wonByUnderWriter.add(keys.idOf(underWriter->info->underWriter, underWriter->info->bidPrice),
                             underWriter->info->winBidAmount);
    }
    if (findMismatch(keys, wonByUnderWriter, allocatedByUnderWriter, &key)) {
        setMismatchMessage(type, key, QStringLiteral("表三承销商 "),
                           QStringLiteral("实际分配合计与表一中该承销商该标位中标数量不一致,无法保存!"),
                           QStringLiteral("实际分配合计与表一中该承销商中标量合计不一致,无法保存!"), msg);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// host storage

void CPanelBondAllocationMixedTable::placeMixedTableDatas()
{
    if (!model)
        return;
    // The commands are taken once per save, not once per row: a large tender has as many
    // commands as rows, and reading them all per row made a save quadratic.
    const boost::shared_ptr<const CBondTenderCommands> bondCommands = CBondTenderCommands::of(bondCode);
    const std::vector<CBondTenderCommands::SCommand>& commands = bondCommands->byProduct();
    std::vector<bool> productTaken(commands.size(), false);   // by the product's first command
    std::vector<int> ids;   // each product's commands once, in the order products first appear
    WinBidDetails records;
    records.reserve(static_cast<size_t>(model->rowCount()));
    int fixedCount = 0;
    const std::string tradingDay =
        KZ::qsToS(ttservice::getTimeService()->currentDateTime().toString(QStringLiteral("yyyyMMdd")));
    const auto* operation = operationDelegate();
    const std::string* lastProductName = nullptr;
    int lastProductId = 0;
    std::optional<int> commandsLookedUpFor;
    size_t commandsCursor = 0;

    Helper::forEachRowOf<CAllocationMixedData>(*model, [&](const CAllocationMixedData& row) {
        if (!row.info)
            return;
        const CAllocationMixedInfo& info = *row.info;
        const auto detail = Helper::makePooled<ttservice::CWinBidInfoDetail>();
        detail->tradingDay = tradingDay;
        detail->remark.clear();
        detail->portfolioId = ttservice::kInvalidInt;
        detail->productName = info.productName;
        if (lastProductName == nullptr || *lastProductName != info.productName) {
            lastProductName = &info.productName;   // a product's rows mostly follow each other
            lastProductId = productName2ProductIdMap[info.productName];
        }
        detail->productId = lastProductId;
        detail->bondCode = bondCode;
        detail->bondName = bondName;
        detail->tenderTarget = tenderTarget;
        detail->winBidPrice = info.winBidPrice;
        detail->account = info.account;
        detail->tenderMarket = info.tenderMarket;
        if (info.tenderMarket == ttservice::TM_SSE || info.tenderMarket == ttservice::TM_SZSE)
            detail->accountTypeText = "证券账号";
        else if (info.tenderMarket == ttservice::TM_INTERBANK)
            detail->accountTypeText = "银行间账号";
        detail->underWriter = info.underWriter;
        // Adding the unit (a fraction of one 0.0001) before the cut lifts a product like
        // 1.2345 * 10000 = 12344.999... back to 12345; stored allocations were written this way.
        detail->winBidAmount = static_cast<int>(info.winBidAmount * 10000.0 + basicTenderUnit);
        detail->bidAmount = info.bidAmount;
        detail->rowKey = row.key();
        if (operation && operation->getText(rowKey(row.rowNumber)) == operationText(true))
            detail->fixedRowIndex = intText(++fixedCount);
        detail->purchaseType = Helper::getEPurchaseType(info.purchaseType);
        detail->bidPrice = info.bidPrice;
        if (!commandsLookedUpFor || *commandsLookedUpFor != detail->productId) {   // once per run of a product's rows
            commandsLookedUpFor = detail->productId;
            const auto [first, end] = bondCommands->ofProduct(detail->productId, commandsCursor);
            const size_t firstIndex = static_cast<size_t>(first - commands.begin());
            if (first != end && !productTaken[firstIndex]) {
                productTaken[firstIndex] = true;
                for (auto command = first; command != end; ++command)
                    ids.push_back(command->commandId);
            }
        }
        records.push_back(detail);
    });
    ttservice::CTradeClient::instance()->updateTenderCmds_async(ttservice::TOP_SAVE_WIN_BID, withoutRepeats(ids),
                                                                records);
}

void CPanelBondAllocationMixedTable::clearMixedTableBackStageData()
{
    boost::shared_ptr<ttservice::CWinBidInfoDetail> clearing(new ttservice::CWinBidInfoDetail());
    clearing->bondCode = bondCode;
    clearing->productId = ttservice::kInvalidInt;
    clearing->productName.clear();
    ttservice::CTradeClient::instance()->updateTenderCmds_async(ttservice::TOP_SAVE_WIN_BID, std::vector<int>(),
                                                                WinBidDetails{clearing});
}

} // namespace TC
