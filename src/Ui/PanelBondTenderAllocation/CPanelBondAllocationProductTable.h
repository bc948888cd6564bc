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
    // Row number -> won volume of each row that gets a share of total.
    QMap<int, double> getFairDistributionMap(double total, const QList<boost::shared_ptr<KZ::IBaseHpfTableData>>& rows);
    // Gives each pooled row its proportion of the amount in whole units; returns the rest.
    double round1Distribution(RowPool pool, QMap<int, double>& shares, double amount);
    // Deals the rest one unit each to the first rows of a random order.
    void round2Distribution(RowPool pool, QMap<int, double>& shares, double remainder);

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
    // The model's rows of this table, in order.
    ProductRows productRows() const;
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
};

} // namespace TC
