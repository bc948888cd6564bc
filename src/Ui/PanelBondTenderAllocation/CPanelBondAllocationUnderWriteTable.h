#pragma once
// Table one (表一): won volume per underwriter and tender position. Filled from the
// host's stored allocation or from the execution reports; the user types each won
// volume in whole basic tender units.

#include <QString>
#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "KZ/BaseWidget.h"
#include "ttservice/BondTenderRecords.h"
#include "ttservice/TenderEnums.h"

#include "CAllocationUnderWriteData.h"

namespace KZ {
class CStandardHpfTable;
class CBaseTableColumnLineeditDelegate;
}

namespace TC {

class CAllocationUnderWriteModel;

class CPanelBondAllocationUnderWriteTable : public KZ::CBaseWidget {
    Q_OBJECT
public:
    CPanelBondAllocationUnderWriteTable(int id, QWidget* parent);
    ~CPanelBondAllocationUnderWriteTable() override;

    // The stored allocation: won positions of this bond only.
    void updateUnderWriterTableDatas(const std::vector<boost::shared_ptr<ttservice::CIBondTenderAllocUnderWriterInfo>>& records,
                                     double marginalPrice, double weightedMeanPrice, ttservice::ETenderTarget target,
                                     ttservice::ETenderingType type, std::string bondCode, double basicTenderUnit);
    // The won positions of the execution reports with nothing won yet, ready for typing.
    void refreshWinBidAllocationUnderWriteTable(
        const std::vector<boost::shared_ptr<ttservice::CIBondTenderExecExternalReportInfo>>& reports,
        ttservice::ETenderingType type, double weightedMeanPrice);
    // Every bid of a lost tender, read-only.
    void refreshLoseBidAllocationUnderWriteTable(
        const std::vector<boost::shared_ptr<ttservice::CIBondTenderExecExternalReportInfo>>& reports,
        ttservice::ETenderingType type);

    std::vector<boost::shared_ptr<CAllocationUnderWriteData>> getUnderWriterData() const;
    // The total WON volume: the figure table three has to match.
    double getTotalBidAmount() const;
    bool isUnderWriterTableHasData() const;
    bool check(QString& msg);
    void placeUnderWriteTableDatas();
    void clearUnderWriterTableBackStageData();
    void refreshUnderWriterModel();
    void disableUnderWriterTableDelegate();

    KZ::CStandardHpfTable* getTable() const { return table; }
    CAllocationUnderWriteModel* getModel() const { return model; }
    KZ::CBaseTableColumnLineeditDelegate* getWinAmountDelegate() const { return winAmountDelegate; }

protected:
    void createUi();
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override;

private:
    enum class EEditor { Editable, ReadOnly };
    void handleDelegateLineEditFinish(const QString& key, void* pText);
    // Appends the row, shows its won volume in the editor and adds it to the totals.
    void appendRow(const boost::shared_ptr<CAllocationUnderWriteInfo>& info, EEditor editor, int numberFormat,
                   double* bidTotal, double* winTotal);
    void recomputeTotals();
    void finishFill(double bidTotal, double winTotal);
    bool hasTable() const { return table && model; }

    KZ::CStandardHpfTable* table = nullptr;                          // owned by Qt parent
    CAllocationUnderWriteModel* model = nullptr;                     // owned by table
    KZ::CBaseTableColumnLineeditDelegate* winAmountDelegate = nullptr;  // owned by table
    std::string bondCode;
    double basicTenderUnit = 0.0;
    ttservice::ETenderTarget tenderTarget = ttservice::TTG_NONE;
    double marginalPrice = 0.0;
};

} // namespace TC
