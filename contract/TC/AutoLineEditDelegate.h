#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "KZ/ColumnDelegates.h"

namespace TC {

class CBaseTableColumnAutoLineEditDelegate : public KZ::CBaseTableColumnDelegate {
    Q_OBJECT
public:
    CBaseTableColumnAutoLineEditDelegate(int id, QObject* deliverer);
    void setItems(const QString& key, const QStringList& items, const std::vector<int>& values);
    void setCurItem(const QString& key, const QString& text, int index);
    void setCurrentText(const QString& text);
    QString getLastKey() const;
    void hideAutoLineEdit();
};

} // namespace TC
