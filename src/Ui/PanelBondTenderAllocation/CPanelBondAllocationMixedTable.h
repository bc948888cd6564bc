#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CAllocationMixedData.h"
#include "CProductDirectory.h"
#include "CSpareRows.h"
#include "KZ/BaseWidget.h"
#include "ttservice/BondTenderRecords.h"

namespace KZ {
class CBaseTableColumnDelegate;
class CStandardHpfTable;
class CBaseTableColumnLineeditDelegate;
class CBaseTableColumnSimpleTextDelegate;
} // namespace KZ

namespace TC {

class CAllocationMixedModel;
class CAllocationProductData;
class CAllocationUnderWriteData;
class CBaseTableColumnAutoLineEditDelegate;

// Table three: the final split of the won volume per product, tender position,
// market, purchase type, underwriter and account. Rows are kept in groups (one
// product at one position); a group's first row is its fixed row, the rows after it
// were added by the user to split the volume over more accounts.
class CPanelBondAllocationMixedTable : public KZ::CBaseWidget {
    Q_OBJECT
public:
    // Table two's rows. Only read here, through a const view: a map that table two still
    // shares is then not copied.
    using ProductRowMap = QMap<int, boost::shared_ptr<CAllocationProductData>>;
    using UnderWriterRows = std::vector<boost::shared_ptr<CAllocationUnderWriteData>>;
    using WinBidDetails = std::vector<boost::shared_ptr<ttservice::CWinBidInfoDetail>>;
    using MixedGroup = QVector<CAllocationMixedDataPtr>;

    CPanelBondAllocationMixedTable(int id, QWidget* parent);
    ~CPanelBondAllocationMixedTable() override;

    CAllocationMixedModel* getAllocationMixedModel() const { return model; }
    KZ::CStandardHpfTable* getTable() const { return table; }
    bool isMixedTableHasData() const;
    // group number (1-based) -> rows of the group, fixed row first
    const QMap<int, MixedGroup>& getProductDataMap() const { return productDataMap; }

    // --- filling ---
    // A saved allocation: one row per win-bid detail, numbered in the details' order.
    void updateMixedTableDatas(const WinBidDetails& details, double marginalPrice, double weightedMeanPrice,
                               std::string bondCode, QStringList& underWriters, ttservice::ETenderTarget target,
                               ttservice::ETenderingType type, double basicTenderUnit, std::string bondName);
    // A fresh allocation of a won bid: one fixed row per row of table two.
    void refreshWinBidAllocationMixedTable(ProductRowMap& products, ttservice::ETenderingType type,
                                           std::string bondName);
    // A lost bid: read-only rows showing the bids, held by the model only.
    void refreshLoseBidAllocationMixedTable(ProductRowMap& products, ttservice::ETenderingType type);
    // Empties the model; the stored groups stay.
    void refreshMixedModel();
    // Puts the stored groups back into an emptied model, numbered 1..n in group order.
    void refreshTable();
    // Appends the empty entry and the accounts of productName that trade in market.
    void getAllocationAccounts(QStringList& out, ttservice::ETenderMarket market, std::string productName) const;
    void initProductName2ProductIdMapWithWinBidInfo(const WinBidDetails& details);
    void initProductName2ProductIdMapWithProductData(const ProductRowMap& products);

    // --- cross-table keys: the name alone (Dutch), name|"%f" position (American, mixed) ---
    static std::string getProductAndTenderKey(ttservice::ETenderingType type, std::string name, double price);
    static std::string getUnderWriterAndTenderkey(ttservice::ETenderingType type, std::string name, double price);

    // --- editing ---
    void disableMixedTableDelegate();
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override;

    // --- validation against tables one and two; the first failing rule's message goes to msg ---
    bool check(double totalWinBid, QString& msg, ProductRowMap& products, UnderWriterRows& underWriters,
               ttservice::ETenderingType type);

    // --- host storage ---
    void placeMixedTableDatas();
    void clearMixedTableBackStageData();

protected:
    void handleAutoKeyBoardLineEditChange(const QString& text, int column);
    void handleBaseTableComboxChange(const QString& key, int column);
    void handleDelegateLineEditFinish(const QString& key, const QString* typed);
    void handleDelegateSimpleTextCliecked(const QString& key);

    CAllocationMixedDataPtr getFixedRowData(int rowNumber) const;
    bool isAddOperation(int rowNumber) const;
    void addProductData2Map(int rowNumber);
    void delProductData2Map(int rowNumber);

private:
    class CRowPresenter;
    class CGroupRefill;
    // A row of a saved allocation being loaded, with the key of the group it joins.
    struct SPlacedRow {
        std::string groupKey;
        CAllocationMixedDataPtr row;
        bool added;
    };

    void createUi();
    void applyChoice(const QString& key, int column, const QString& text);
    int groupOfRow(int rowNumber) const;   // group number, 0 when no stored row has that number
    void setStoredTotals();
    // A fill lets go of the stored rows before it makes its own, so that the new rows take
    // the memory the old ones leave; the groups and their arrays stay to be refilled.
    void releaseStoredRows();
    // Empties productDataMap, keeping its groups' nodes and arrays for the next fill. Its
    // groups must have been emptied by releaseStoredRows: a walk over ten thousand groups
    // is not made twice.
    void stashGroups();
    // Adds to or removes from the clicked row's group and renumbers only the rows after
    // it, moving their delegate state with them; false (nothing changed) when the table
    // is not as refreshTable left it, and the whole table must be rebuilt instead.
    bool addOrRemoveInPlace(int rowNumber);
    // The same for the first click after a saved allocation is loaded, when the rows are
    // numbered in the host's order: every row's delegate state moves to its number in
    // group order in one pass, and only the added row and the edited ones are written.
    bool addOrRemoveOnLoadedRows(int rowNumber);
    bool isStoredNumberedOneTo(int count) const;   // each of 1..count once, nothing else
    bool productsChangedSinceShown() const;
    bool hasEditedUnderWriterNotOffered() const;
    void removeEditedRow(int rowNumber);
    void showWholeRow(CRowPresenter& presenter, const CAllocationMixedData& row) const;
    void showEditedRows(CRowPresenter& presenter);   // and forgets that they were edited
    void forEachDelegate(const std::function<void(KZ::CBaseTableColumnDelegate*)>& apply) const;
    void sortByGroupKey(const std::vector<SPlacedRow>& placed, std::vector<size_t>* order);
    // Product name -> id pairs in the order a fill meets them; a later pair of a name wins.
    using ProductIdsMet = std::vector<std::pair<std::string, int>>;
    void setProductIds(ProductIdsMet& met);   // leaves met in an unspecified state

    CBaseTableColumnAutoLineEditDelegate* autoDelegate(int column) const;
    KZ::CBaseTableColumnLineeditDelegate* volumeDelegate() const;
    KZ::CBaseTableColumnSimpleTextDelegate* operationDelegate() const;

    KZ::CStandardHpfTable* table = nullptr;      // owned by Qt parent
    CAllocationMixedModel* model = nullptr;      // owned by table
    QMap<int, MixedGroup> productDataMap;
    QMap<int, MixedGroup> spareGroups;   // emptied groups of an earlier fill, refilled by the next
    CSpareRows<CAllocationMixedData> spareRows;
    double basicTenderUnit = 0.0;
    double marginalPrice = 0.0;
    double weightedMeanPrice = 0.0;
    std::string bondCode;
    std::string bondName;
    ttservice::ETenderTarget tenderTarget = ttservice::TTG_NONE;
    QStringList underWriterList;
    QMap<std::string, int> productName2ProductIdMap;
    ProductIdsMet productIdsSet;   // the map's pairs in name order, as setProductIds last made it
    // True while the model holds exactly the stored rows, numbered 1..n in group order,
    // and the delegates hold what refreshTable writes for them, but for editedRows.
    bool rowsAsRefreshed = false;
    int refreshedWithFlag = 0;                      // the number format of that rebuild or load
    // True while the model holds exactly the rows of the last saved allocation's load, in
    // the host's order, every row's delegates as the load wrote them but for editedRows.
    bool rowsAsLoaded = false;
    QSet<const CAllocationMixedData*> editedRows;   // rows whose choices were edited since
    // Scratch of a saved allocation's load, kept from one load to the next: a reload
    // reuses their arrays instead of allocating them again.
    std::vector<SPlacedRow> placedRows;
    std::vector<size_t> placedOrder;
    struct SSortKey {
        std::pair<uint64_t, uint64_t> leading;   // the group key's first 16 bytes
        size_t position;                         // in placedRows
    };
    std::vector<SSortKey> placedSortKeys;
    // The user's products, names and account choices, kept from one load to the next while
    // the host's products stay the same.
    mutable CProductDirectory productDirectory;
    mutable uint64_t shownProductsRevision = 0;   // the host products' revision the rows were shown with
};

} // namespace TC
