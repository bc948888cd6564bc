#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <boost/shared_ptr.hpp>
#include <string>
#include <unordered_set>
#include <vector>

#include "CAllocationMixedData.h"
#include "KZ/BaseWidget.h"
#include "ttservice/BondTenderRecords.h"

namespace KZ {
class CStandardHpfTable;
class CBaseTableColumnLineeditDelegate;
class CBaseTableColumnSimpleTextDelegate;
} // namespace KZ

namespace TC {

class CAllocationMixedModel;
class CAllocationProductData;
class CAllocationUnderWriteData;
class CBaseTableColumnAutoLineEditDelegate;
class CMixedRowPresenter;

// Table three: the final split of the won volume per product, tender position,
// market, purchase type, underwriter and account. Rows are kept in groups (one
// product at one position); a group's first row is its fixed row, the rows after it
// were added by the user to split the volume over more accounts.
//
// The class is defined in several files, one responsibility each: this widget and its
// editing (CPanelBondAllocationMixedTable.cpp), filling (…MixedTableFill.cpp), the groups
// (…MixedTableGroups.cpp), the check against tables one and two (…MixedTableCheck.cpp)
// and the host records (…MixedTableRecords.cpp). What a row's cells show is written by
// CMixedRowPresenter.
class CPanelBondAllocationMixedTable : public KZ::CBaseWidget {
    Q_OBJECT
public:
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
    // Puts the stored groups back into an emptied model, numbered 1..n in group order, and
    // tells every row's cells again: the whole rebuild. A click does only what it changed.
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
    // How the rows' cells were last shown, so that a click tells only what differs from how a
    // click leaves them: numbered 1..n in group order, editable, one underwriter list, with
    // the user's number format and products read then (shownFlag, shownProducts).
    enum class ERowsShown {
        Unknown,    // after a lost bid, a lock or an emptied model: a click puts back and tells every row
        AsStored,   // a saved allocation: won-volume inputs hidden, each row's underwriter list as it
                    // grew over the host's order, numbered in that order (storedInGroupOrder: it was group order)
        Editable,   // as a click leaves them: a click tells only the row it adds and the rows edited since
    };

    void createUi();
    // Sets a choice column's field on the model's row and the stored row of key; false
    // (nothing changed) when either is missing.
    bool applyChoice(const QString& key, int column, const QString& text);
    // The group holding the row numbered rowNumber; productDataMap.end() when none does.
    QMap<int, MixedGroup>::iterator groupOfRow(int rowNumber);
    void setStoredTotals();
    // After a group changed: numbers the stored rows 1..n in group order, moves the rows whose
    // number changed to their new keys in the model and tells the cells of the rows that need it.
    void showGroupsRenumbered();
    // Notes how the rows were just shown, with the sources the presenter read.
    void noteRowsShown(ERowsShown shown, const CMixedRowPresenter& presenter);
    // Appends the product's tender command ids that ids does not hold yet.
    void getProductCommandIdVec(int productId, QVector<int>& ids);

    CBaseTableColumnAutoLineEditDelegate* autoDelegate(int column) const;
    KZ::CBaseTableColumnLineeditDelegate* volumeDelegate() const;
    KZ::CBaseTableColumnSimpleTextDelegate* operationDelegate() const;

    KZ::CStandardHpfTable* table = nullptr;      // owned by Qt parent
    CAllocationMixedModel* model = nullptr;      // owned by table
    QMap<int, MixedGroup> productDataMap;
    double basicTenderUnit = 0.0;
    double marginalPrice = 0.0;
    double weightedMeanPrice = 0.0;
    std::string bondCode;
    std::string bondName;
    ttservice::ETenderTarget tenderTarget = ttservice::TTG_NONE;
    QStringList underWriterList;
    QMap<std::string, int> productName2ProductIdMap;

    ERowsShown rowsShown = ERowsShown::Unknown;
    bool storedInGroupOrder = false;
    int shownFlag = 0;
    std::vector<boost::shared_ptr<ttservice::CProduct>> shownProducts;
    std::unordered_set<const CAllocationMixedData*> rowsEditedSinceShown;
};

} // namespace TC
