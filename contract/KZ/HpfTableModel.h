#pragma once
// Rows and models of the high-performance table.

#include <QColor>
#include <QList>
#include <QString>
#include <QVariant>
#include <boost/shared_ptr.hpp>
#include <string>

namespace KZ {

class IBaseHpfTableData {
public:
    virtual ~IBaseHpfTableData();
    virtual QString getDisplayQString(int column) const;
    virtual QString getQString(int column) const;
    virtual int getInt(int column) const;
    virtual double getDouble(int column) const;
    virtual long long getLongLong(int column) const;
    virtual QColor getColor(int column) const;
    virtual std::string key() const = 0;
};
using IBaseHpfTableDataPtr = boost::shared_ptr<IBaseHpfTableData>;

class IBaseHpfTableModel {
public:
    explicit IBaseHpfTableModel(bool keyed);
    virtual ~IBaseHpfTableModel();
    virtual int columnCount() const = 0;
    virtual QString columnHeader(int column) const = 0;
    virtual QVariant::Type columnType(int column) const = 0;
    virtual QString getStatDispalyQString(int column) const;
    virtual bool columnFlashChange(int column) const;
    virtual QColor getBackgroundColor(int row) const;
    virtual int columnFlag(int column) const;

    void addData(const IBaseHpfTableDataPtr& row);
    QList<IBaseHpfTableDataPtr> getDatas() const;
    IBaseHpfTableDataPtr getDataByKey(const std::string& key) const;
    bool removeDataByKey(const std::string& key);
    void clear();
    void clearFilter();
};

} // namespace KZ
