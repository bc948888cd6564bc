// The store's lookups by key and by product stay right while records and products change.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include "services/HostServices.h"
#include "services/HostStore.h"
#include "support/TestSupport.h"

using namespace ttservice;

namespace {

boost::shared_ptr<CWinBidInfoDetail> detail(const std::string& bond, const std::string& rowKey, int productId = 1)
{
    auto d = boost::make_shared<CWinBidInfoDetail>();
    d->bondCode = bond;
    d->rowKey = rowKey;
    d->productId = productId;
    d->productName = "产品";
    return d;
}

boost::shared_ptr<CProduct> product(int id, const std::string& name)
{
    auto p = boost::make_shared<CProduct>();
    p->productId = id;
    p->productName = name;
    return p;
}

} // namespace

TEST(HostStoreIndex, shouldFindExactlyTheStoredRecordsAfterEveryKindOfChange)
{
    // Given details of two bonds, looked up once
    testsupport::resetHost();
    CHostStore& store = CHostStore::instance();
    store.putRecords("B1", RT_WIN_BID_DETAIL, {detail("B1", "1"), detail("B1", "2")});
    ASSERT_TRUE(store.recordByKey(RT_WIN_BID_DETAIL, "B1|1"));

    // When a row is appended, an update replaces B1's rows and a clearing record drops B2's
    store.addRecord("B2", RT_WIN_BID_DETAIL, detail("B2", "1"));
    EXPECT_TRUE(store.recordByKey(RT_WIN_BID_DETAIL, "B2|1"));
    const auto replacement = detail("B1", "3");
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {}, {replacement});
    auto clearing = detail("B2", "");
    clearing->productId = kInvalidInt;
    clearing->productName.clear();
    store.applyTenderCmds(TOP_SAVE_WIN_BID, {}, {clearing});

    // Then each lookup answers what the store holds now, through the account data too
    EXPECT_FALSE(store.recordByKey(RT_WIN_BID_DETAIL, "B1|1"));
    EXPECT_FALSE(store.recordByKey(RT_WIN_BID_DETAIL, "B2|1"));
    EXPECT_EQ(store.recordByKey(RT_WIN_BID_DETAIL, "B1|3"), replacement);
    EXPECT_FALSE(store.recordByKey(RT_ALLOC_PRODUCT, "B1|3"));
    const auto data = TraderCenter::instance()->getDataCenter()->getAccountData(std::string());
    EXPECT_EQ(data->getData(RT_WIN_BID_DETAIL, "B1|3"), replacement);

    // And after a reset nothing is found
    store.reset();
    EXPECT_FALSE(store.recordByKey(RT_WIN_BID_DETAIL, "B1|3"));
}

TEST(HostStoreIndex, shouldFindTheFirstProductOfAnIdOrNameUntilTheProductsAreReplaced)
{
    // Given products where an id and a name appear twice
    testsupport::resetHost();
    CHostStore& store = CHostStore::instance();
    const auto first = product(1, "稳健一号");
    store.setProducts({first, nullptr, product(1, "其他"), product(2, "稳健一号")});
    CUserConfig* config = TC::getUserConfig();

    // Then the first one wins, unknown ones are null
    EXPECT_EQ(config->getProductByID(1), first);
    EXPECT_EQ(config->getProductByName("稳健一号"), first);
    EXPECT_EQ(config->getProductName(2), QStringLiteral("稳健一号"));
    EXPECT_FALSE(config->getProductByID(3));
    EXPECT_FALSE(config->getProductByName("未知"));

    // When the products are replaced, the old ones are gone
    store.setProducts({product(3, "平衡三号")});
    EXPECT_FALSE(config->getProductByID(1));
    EXPECT_FALSE(config->getProductByName("稳健一号"));
    EXPECT_EQ(config->getProductName(3), QStringLiteral("平衡三号"));
}
