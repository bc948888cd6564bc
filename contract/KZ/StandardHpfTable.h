#pragma once

#include <QString>

#include "KZ/BaseWidget.h"

namespace KZ {

class IBaseHpfTableModel;
class CBaseTableColumnDelegate;

class CStandardHpfTable : public CBaseWidget {
    Q_OBJECT
public:
    enum ETableFlag { TF_NONE = 0, TF_EDITABLE = 0x8, TF_STAT_ROW = 0x40, TF_HEADER_SORT = 0x200 };

    CStandardHpfTable(int id, QWidget* parent, int menuFlags);
    int flag() const;
    void setFlag(int flags);
    void setColumnWidth(int column, int width);
    void setDataModel(IBaseHpfTableModel* model);
    void setColumnDelegate(int column, CBaseTableColumnDelegate* delegate);
    CBaseTableColumnDelegate* columnDelegate(int column) const;
    void setColumnFilterable(int column, bool on);
    void setColumnSortable(int column, bool on);
    void clear();
    void clearFilter();
    void clearSort();
    void updateTable();
    QString saveConfigStr() const;
    bool loadConfigStr(const QString& config);
};

} // namespace KZ
