#include "CProductDirectory.h"

#include <algorithm>

#include "KZ/Format.h"
#include "services/HostServices.h"
#include "ttservice/BondTenderRecords.h"

namespace TC {

namespace {

// Index into a vector sorted by key, of the element with that key, or size() if none.
// Looks at the cursor and the element after it first, as consecutive rows ask for the
// same product or the next one, and leaves the cursor on what it found.
template <class Entry, class Key, class KeyOf>
size_t findFrom(const std::vector<Entry>& sorted, const Key& key, KeyOf keyOf, size_t& cursor)
{
    for (size_t probe = cursor; probe < std::min(cursor + 2, sorted.size()); ++probe) {
        if (keyOf(sorted[probe]) == key)
            return cursor = probe;
    }
    const auto found = std::lower_bound(sorted.begin(), sorted.end(), key,
                                        [&keyOf](const Entry& entry, const Key& k) { return keyOf(entry) < k; });
    if (found == sorted.end() || !(keyOf(*found) == key))
        return sorted.size();
    return cursor = static_cast<size_t>(found - sorted.begin());
}

const CProductDirectory::SAccountChoices& emptyChoiceOnly()
{
    static const CProductDirectory::SAccountChoices choices{QStringList{QString()}, {std::string()}};
    return choices;
}

} // namespace

void CProductDirectory::refresh()
{
    ttservice::CUserConfig* config = TC::getUserConfig();
    const uint64_t revision = config->getProductsRevision();
    if (revision == revision_ && revision_ != 0)
        return;
    revision_ = revision;
    byId_.clear();
    byName_.clear();
    idCursor_ = nameCursor_ = 0;
    // In the host's order, so that a stable sort keeps the first product of an id or a
    // name first, the one the host itself finds.
    for (const auto& product : config->getAllProducts()) {
        if (!product)
            continue;
        // Through QString, as the host hands a name to its displays.
        byId_.push_back(SNamed{product->productId, KZ::qsToS(QString::fromStdString(product->productName))});
        byName_.push_back(SOffered{product->productName, product, {}});
    }
    std::stable_sort(byId_.begin(), byId_.end(),
                     [](const SNamed& a, const SNamed& b) { return a.productId < b.productId; });
    byId_.erase(std::unique(byId_.begin(), byId_.end(),
                            [](const SNamed& a, const SNamed& b) { return a.productId == b.productId; }),
                byId_.end());
    std::stable_sort(byName_.begin(), byName_.end(),
                     [](const SOffered& a, const SOffered& b) { return a.name < b.name; });
    byName_.erase(std::unique(byName_.begin(), byName_.end(),
                              [](const SOffered& a, const SOffered& b) { return a.name == b.name; }),
                  byName_.end());
}

const std::string& CProductDirectory::nameOf(int productId)
{
    static const std::string unknown;
    const size_t at = findFrom(byId_, productId, [](const SNamed& entry) { return entry.productId; }, idCursor_);
    return at < byId_.size() ? byId_[at].name : unknown;
}

const CProductDirectory::SAccountChoices& CProductDirectory::accountChoices(const std::string& productName,
                                                                            ttservice::ETenderMarket market)
{
    size_t slot = 0;
    int accountType = 0;
    if (market == ttservice::TM_SSE || market == ttservice::TM_SZSE) {
        accountType = ttservice::kExchangeAccountType;
    } else if (market == ttservice::TM_INTERBANK) {
        slot = 1;
        accountType = ttservice::kInterbankAccountType;
    } else {
        return emptyChoiceOnly();
    }
    const size_t at = findFrom(byName_, productName, [](const SOffered& entry) -> const std::string& {
        return entry.name;
    }, nameCursor_);
    if (at == byName_.size())
        return emptyChoiceOnly();
    SOffered& offered = byName_[at];
    std::optional<SAccountChoices>& choices = offered.byAccountType[slot];
    if (!choices) {
        choices.emplace(emptyChoiceOnly());
        for (const auto& account : offered.product->accounts) {
            if (account && account->accountType == accountType) {
                const QString text = KZ::sToQs(account->accountId);
                choices->texts.append(text);
                choices->utf8.push_back(KZ::qsToS(text));   // as the row holds a chosen text
            }
        }
    }
    return *choices;
}

} // namespace TC
