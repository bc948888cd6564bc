#pragma once
// A small bar of operation buttons under tables two and three. It turns clicks into
// events for the panel and lets the panel enable the buttons; it decides nothing.

#include <QString>

#include "KZ/BaseWidget.h"

namespace KZ {
class CWidgetList;
}

namespace TC {

class COpButton;

class CPanelBondAllocationButtonTable : public KZ::CBaseWidget {
    Q_OBJECT
public:
    enum EButtonId { ID_SAVE = 32, ID_FAIR_ALLOCATION = 33, ID_RETURN = 34 };

    CPanelBondAllocationButtonTable(int id, QWidget* parent);
    ~CPanelBondAllocationButtonTable() override;

    // The bar under table two: fair allocation.
    void createProductInfoButton();
    // The bar under table three: save, then return to tender execution.
    void createMixedInfoButton();
    void refreshAllocationProductTableButton(bool enable);
    void refreshAllocationMixedTableButton(bool saveEnabled, bool returnEnabled);

    // Null until the matching create operation ran.
    COpButton* saveButton() const { return saveButton_; }
    COpButton* fairAllocButton() const { return fairAllocButton_; }
    COpButton* returnButton() const { return returnButton_; }

    // An operation button as the panel's strips show it (operation fonts, bold on hover,
    // strong focus, disabled until enabled), appended to list; owner watches its events.
    static COpButton* addOperationButton(KZ::CWidgetList* list, QObject* owner, int id, int buttonType,
                                         const QString& text, int width);

protected:
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override;

private:
    struct SButtonLayout { int id; int buttonType; const char* text; int width; };
    void createBar(const SButtonLayout* layouts, int count, COpButton** created);
    COpButton* addButton(const SButtonLayout& layout);

    KZ::CWidgetList* widgetList_ = nullptr;   // owned by Qt parent
    COpButton* saveButton_ = nullptr;         // owned by Qt parent
    COpButton* fairAllocButton_ = nullptr;    // owned by Qt parent
    COpButton* returnButton_ = nullptr;       // owned by Qt parent
};

} // namespace TC
