#pragma once
// Table two: won volume per product (and per tender position for American and mixed
// tenders). Only the won volume (column 6) is editable; the fair distribution fills it
// from a total in whole basic tender units.

#include <QList>
#include <QMap>
#include <QString>
#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <string>
#include <vector>

#include "KZ/BaseWidget.h"
#include "KZ/HpfTableModel.h"
#include "ttservice/BondTenderRecords.h"
#include "ttservice/TenderEnums.h"

#include "CAllocationProductData.h"
#include "CProductDirectory.h"
#include "CSpareRows.h"

namespace KZ {
class CStandardHpfTable;
class CBaseTableColumnLineeditDelegate;
}

namespace TC {

class CAllocationProductModel;

class CPanelBondAllocationProductTable : public KZ::CBaseWidget {
    Q_OBJECT
public:
    using ProductInfoList = std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocProductInfo>>;
    using InternalReportList = std::vector<boost::shared_ptr<ttservice::CIBondTenderExecInternalReportInfo>>;
    using RowPool = QMap<int, boost::shared_ptr<CAllocationProductData>>;

    CPanelBondAllocationProductTable(int id, QWidget* parent);
    ~CPanelBondAllocationProductTable() override;

    // Loads the stored rows and takes over the bond context (the target is not used).
    void updateProductTableDatas(const ProductInfoList& products, double marginalPrice, std::string bondCode,
                                 ttservice::ETenderingType type, double basicTenderUnit,
                                 ttservice::ETenderTarget target);

    // Won view rebuilt from the execution reports, by the stored tendering type.
    void refreshWinBidAllocationProductTable(InternalReportList reports);
    void refreshHollandWinBidAllocationProductTable(InternalReportList reports);
    void refreshUSAAndMixedWinBidAllocationProductTable(InternalReportList reports);
    // Not-won view: every bid with won volume 0, read-only.
    void refreshLoseBidAllocationProductTable(InternalReportList reports, ttservice::ETenderingType type);

    // Fair distribution of a won total over the rows.
    void refreshFairWinBidAllocationProductTable(double total);
    // A row that shares in the distribution. A pool lists them in ascending row numbers:
    // the proportions are summed, and the shuffled leftover units dealt, in that order.
    struct SFairShare {
        int rowNumber = 0;
        double bidAmount = 0.0;
        double share = 0.0;
        std::size_t rowIndex = 0;   // where the row's share goes in the caller's list
    };
    using SharePool = std::vector<SFairShare>;
    // Gives each pooled row its proportion of the amount in whole units; returns the rest.
    double round1Distribution(SharePool& pool, double amount) const;
    // Deals the rest one unit each to the first rows of a random order.
    void round2Distribution(SharePool& pool, double remainder) const;

    void refreshProductModel();   // empties table and model
    RowPool getRowNum2ProductData() const;
    bool check(double tableOneTotal, QString& msg) const;
    void placeProductTableDatas() const;
    void clearProductTableBackStageData() const;
    void disableProductTableDelegate();
    bool isProductTableHasData() const;

    KZ::CStandardHpfTable* getTable() const { return table; }
    CAllocationProductModel* getModel() const { return model; }
    double getBasicTenderUnit() const { return basicTenderUnit; }
    ttservice::ETenderingType getTenderingType() const { return tenderingType; }

protected:
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override;

private:
    struct STotals {
        double bid = 0.0;
        double win = 0.0;
    };

    using ProductRows = std::vector<boost::shared_ptr<CAllocationProductData>>;

    void createUi();
    // The view's part of emptying the table: editors, filter, sort and totals.
    void resetView();
    // The model's rows in order; reading them in place spares a copy of the row list.
    ProductRows productRows() const;
    // Calls visit(const CAllocationProductData&) for each row in order, without collecting
    // them first; a visit that returns false ends the walk.
    template <class Visit>
    void forEachRow(Visit&& visit) const;
    // The won volume of each row (same order) when total is distributed fairly.
    std::vector<double> fairShares(double total, const ProductRows& rows) const;
    KZ::CBaseTableColumnLineeditDelegate* winAmountDelegate() const;
    boost::shared_ptr<CAllocationProductData> newRow(int rowNumber,
                                                     const ttservice::CIBondTenderExecInternalReportInfo& report);
    void appendRow(const boost::shared_ptr<CAllocationProductData>& row, STotals& totals);
    STotals sumRows() const;
    // The price of a bid of the report that this bond won; false for an unreadable price or a lost bid.
    bool readWonBidPrice(const std::string& priceText, const ttservice::CIBondTenderExecInternalReportInfo& report,
                         double& price) const;
    // What every rebuilt row starts with, looked up and formatted once per rebuild: the
    // won volume's editor and its text for 0.
    struct SEditableStart {
        KZ::CBaseTableColumnLineeditDelegate* delegate;   // owned by table
        QString zeroText;
    };
    SEditableStart editableStart() const;
    // A rebuilt row of the won view: editable won volume starting at 0.
    void appendEditableRow(const boost::shared_ptr<CAllocationProductData>& row, const SEditableStart& start,
                           STotals& totals);
    void onWinAmountEdited(const QString& key, const QString& typedText);

    double basicTenderUnit = 0.0;
    std::string bondCode;
    ttservice::ETenderingType tenderingType = ttservice::TT_NONE;
    double marginalPrice = 0.0;
    KZ::CStandardHpfTable* table = nullptr;   // owned by Qt parent
    CAllocationProductModel* model = nullptr; // owned by table
    // getRowNum2ProductData's map as of the model's revision: the checks, the save and the
    // panel ask for it several times between two changes of the rows.
    mutable RowPool rowsByNumber;
    mutable unsigned long long rowsByNumberRevision = ~0ULL;
    // The products' names as the save writes them, kept while the host's products stay the same.
    mutable CProductDirectory productDirectory;
    CSpareRows<CAllocationProductData> spareRows;
};

} // namespace TC
