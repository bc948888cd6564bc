#include "CBondTenderCommands.h"

#include <algorithm>
#include <mutex>

#include "CPanelBondTenderAllocationHelper.h"
#include "services/HostServices.h"

namespace TC {

namespace {

bool byProductId(const CBondTenderCommands::SCommand& a, const CBondTenderCommands::SCommand& b)
{
    return a.productId < b.productId;
}

} // namespace

CBondTenderCommands::CBondTenderCommands(std::string bondCode, uint64_t revision)
    : bondCode_(std::move(bondCode)), revision_(revision)
{
}

boost::shared_ptr<const CBondTenderCommands> CBondTenderCommands::of(const std::string& bondCode)
{
    // The panel shows one bond at a time: the last bond's commands are the ones kept.
    static std::mutex mutex;
    static boost::shared_ptr<const CBondTenderCommands> last;

    ttservice::TraderCenter* center = ttservice::TraderCenter::instance();
    ttservice::CDataCenter* dataCenter = center ? center->getDataCenter() : nullptr;
    const boost::shared_ptr<ttservice::CAccountData> accountData =
        dataCenter ? dataCenter->getAccountData(std::string()) : boost::shared_ptr<ttservice::CAccountData>();
    if (!accountData)
        return boost::shared_ptr<const CBondTenderCommands>(new CBondTenderCommands(bondCode, 0));

    // The revision is read before the records: a command added in between makes the next
    // call read them again, never keeps a list without it.
    ttservice::IDataList records;
    uint64_t revision = 0;
    {
        ttservice::CAccountData::Lock lock(*accountData);
        revision = accountData->getDatasRevision(ttservice::RT_TENDER_COMMAND);
        std::lock_guard<std::mutex> guard(mutex);
        if (last && last->revision_ == revision && last->bondCode_ == bondCode)
            return last;
        records = accountData->getDatas(ttservice::RT_TENDER_COMMAND);
    }
    boost::shared_ptr<CBondTenderCommands> commands(new CBondTenderCommands(bondCode, revision));
    commands->read(records);
    std::lock_guard<std::mutex> guard(mutex);
    last = commands;
    return commands;
}

void CBondTenderCommands::read(const ttservice::IDataList& records)
{
    for (const ttservice::IDataPtr& record : records) {
        const auto* command = dynamic_cast<const ttservice::CTenderCommandInfo*>(record.get());
        if (!command)
            continue;
        const boost::shared_ptr<const ttservice::CBondTendersParam> param = command->sharedTenderParam();
        if (!param || param->bondCode != bondCode_)
            continue;
        if (!first_)
            first_ = param;
        byProduct_.push_back({command->productId, command->commandId, param->tenderPrice, param->purchaseType});
    }
    std::stable_sort(byProduct_.begin(), byProduct_.end(), byProductId);
}

std::pair<CBondTenderCommands::Iterator, CBondTenderCommands::Iterator>
CBondTenderCommands::ofProduct(int productId, size_t& cursor) const
{
    const Iterator begin = byProduct_.cbegin();
    const Iterator end = byProduct_.cend();
    const auto ofOtherProduct = [](int id) {
        return [id](const SCommand& command) { return command.productId != id; };
    };
    Iterator first = begin + static_cast<std::ptrdiff_t>(std::min(cursor, byProduct_.size()));
    if (first != end && first->productId != productId)
        first = std::find_if(first, end, ofOtherProduct(first->productId));   // the next product's
    if (first == end || first->productId != productId) {
        const SCommand wanted{productId, 0, 0.0, 0};
        first = std::lower_bound(begin, end, wanted, byProductId);
    }
    cursor = static_cast<size_t>(first - begin);
    return {first, std::find_if(first, end, ofOtherProduct(productId))};
}

ttservice::ETenderPurchaseType CBondTenderCommands::purchaseTypeOf(int productId, double price, size_t& cursor) const
{
    for (auto [command, end] = ofProduct(productId, cursor); command != end; ++command) {
        if (CPanelBondTenderAllocationHelper::isEqual(command->tenderPrice, price))
            return static_cast<ttservice::ETenderPurchaseType>(command->purchaseType);
    }
    return ttservice::TPT_NONE;
}

ttservice::ETenderPurchaseType CBondTenderCommands::purchaseTypeOf(int productId, double price) const
{
    size_t cursor = 0;
    return purchaseTypeOf(productId, price, cursor);
}

} // namespace TC
