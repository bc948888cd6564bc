#pragma once
// Column delegates of the high-performance table; per-row state by row key.

#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>

#include "KZ/EventDeliverer.h"

namespace KZ {

class CBaseTableColumnDelegate : public QStyledItemDelegate, public CEventDeliverer {
    Q_OBJECT
public:
    CBaseTableColumnDelegate(int id, QObject* deliverer);
};

class CBaseTableColumnLineeditDelegate : public CBaseTableColumnDelegate {
    Q_OBJECT
public:
    CBaseTableColumnLineeditDelegate(int id, QObject* deliverer);
    void setDoubleRange(double bottom, double top, int decimals);
    void setItemText(const QString& key, const QString& text);
    void setItemVisible(const QString& key, bool visible);
    void setLineEditable(bool editable);
};

class CBaseTableColumnSimpleTextDelegate : public CBaseTableColumnDelegate {
    Q_OBJECT
public:
    CBaseTableColumnSimpleTextDelegate(int id, QObject* deliverer);
    void setItemText(const QString& key, const QString& text);
    QString getText(const QString& key) const;
    void setItemEnabled(const QString& key, bool enabled, bool clickable);
    void setItemColorKey(const QString& key, const QString& colorKey, bool update);
};

class CBaseTableColumnComboxDelegate : public CBaseTableColumnDelegate {
    Q_OBJECT
public:
    CBaseTableColumnComboxDelegate(int id, QObject* deliverer);
    void setItems(const QString& key, const QStringList& items);
    QString getText(const QString& key) const;
};

} // namespace KZ
