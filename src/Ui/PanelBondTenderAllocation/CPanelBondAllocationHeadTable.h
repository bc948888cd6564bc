#pragma once
// The strip above the tables: tender result (won / not won), marginal and weighted mean
// price or rate, coupon rate, and a save button for the bid parameters alone.

#include <QString>
#include <string>

#include "KZ/BaseWidget.h"
#include "ttservice/TenderEnums.h"

namespace KZ {
class CWidgetList;
class CSimpleTextWidget;
class CRadioButtonGroup;
class CParameterCell;
}

namespace TC {

class COpButton;

class CPanelBondAllocationHeadTable : public KZ::CBaseWidget {
    Q_OBJECT
public:
    // Ids of the strip's children; the panel tells the events apart by them.
    enum EId {
        ID_RESULT_WON = 10,
        ID_RESULT_LOST = 11,
        ID_MARGINAL_PRICE = 12,
        ID_WEIGHTED_MEAN_PRICE = 13,
        ID_COUPON_RATE = 14,
        ID_SAVE = 15,
    };
    // Raised with the chosen result id (10 won, 11 not won) as sender.
    static constexpr int kResultChosenEvent = 95;

    CPanelBondAllocationHeadTable(int id, QWidget* parent);
    ~CPanelBondAllocationHeadTable() override;

    void setMarginalPrice(double value);
    void setWeightedMeanPrice(double value);
    void setCouponRate(double value);
    void setStep(double step);
    double getMarginalPrice() const;
    double getWeightedMeanPrice() const;
    // Whether the result radios take input; price edits recompute the tables only then.
    bool isControllorEnable() const;

    void showWinBidHeadTable();
    void showLoseBidHeadTable();
    void disableBidHeadTable();
    void refreshAllocationHeadTableButton(bool on);

    // The first failing rule's message in msg; true when the shown values may be saved.
    bool check(QString& msg, std::string bondCode, ttservice::ETenderingType type);
    // Stores the shown values as the bond's bid parameters (hidden cells count as 0).
    void placeHeadTableDatas(std::string& bondCode);
    // Stores all-zero bid parameters for the bond.
    void clearHeadTableBackStageData(std::string bondCode);

    // Read access for the panel and tests.
    KZ::CRadioButtonGroup* resultGroup() const { return resultGroup_; }
    KZ::CParameterCell* marginalPriceCell() const { return marginalPriceCell_; }
    KZ::CParameterCell* weightedMeanPriceCell() const { return weightedMeanPriceCell_; }
    KZ::CParameterCell* couponRateCell() const { return couponRateCell_; }
    COpButton* saveButton() const { return saveButton_; }
    KZ::CSimpleTextWidget* resultCaption() const { return resultCaption_; }
    double step() const { return step_; }

protected:
    void createUi();
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override;

private:
    KZ::CParameterCell* createPriceCell(int id, const QString& caption, double top, int numberFormat);
    static double visibleValue(const KZ::CParameterCell* cell);
    void sendParams(const std::string& bondCode, double marginal, double weightedMean, double coupon,
                    bool zeroIssuePrice);

    double step_ = 0.0;
    KZ::CWidgetList* widgetList_ = nullptr;                // owned by Qt parent
    KZ::CSimpleTextWidget* resultCaption_ = nullptr;       // owned by Qt parent
    KZ::CRadioButtonGroup* resultGroup_ = nullptr;         // owned by Qt parent
    KZ::CParameterCell* marginalPriceCell_ = nullptr;      // owned by Qt parent
    KZ::CParameterCell* weightedMeanPriceCell_ = nullptr;  // owned by Qt parent
    KZ::CParameterCell* couponRateCell_ = nullptr;         // owned by Qt parent
    COpButton* saveButton_ = nullptr;                      // owned by Qt parent
};

} // namespace TC
