#pragma once
// A small keyed table inside an owner widget that records the events reaching it,
// shared by the framework tests.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <algorithm>
#include <cfloat>
#include <functional>
#include <iterator>
#include <memory>

#include "KZ/BaseWidget.h"
#include "KZ/ColumnDelegates.h"
#include "KZ/Format.h"
#include "KZ/HpfTableModel.h"
#include "KZ/StandardHpfTable.h"

namespace fwtest {

struct SEvent {
    int id;
    int sender;
    int intParam;
    QString text;
    QString typed;   // the QString behind the pointer of 226
};

// A widget owning children, as a panel does: records what reaches it.
class CRecordingWidget : public KZ::CBaseWidget {
public:
    explicit CRecordingWidget(QWidget* parent = nullptr, bool consume = true)
        : KZ::CBaseWidget(QStringLiteral("test"), false, parent), consume_(consume) {}
    bool handleEvent(int nEventID, int nSenderID, int nIntParam, QString qsParam, void* pParam) override
    {
        SEvent event{nEventID, nSenderID, nIntParam, qsParam, QString()};
        if (nEventID == KZ::EVT_LINEEDIT_FINISHED && pParam != nullptr)
            event.typed = *static_cast<QString*>(pParam);
        events.push_back(event);
        if (onEvent)
            onEvent(event);
        return consume_;
    }
    std::vector<SEvent> eventsWithId(int id) const
    {
        std::vector<SEvent> result;
        std::copy_if(events.begin(), events.end(), std::back_inserter(result), [id](const SEvent& e) { return e.id == id; });
        return result;
    }
    std::vector<SEvent> events;
    std::function<void(const SEvent&)> onEvent;

private:
    bool consume_;
};

// A row of a name (columns 0 and 2) and an amount (column 1).
class CTestRow : public KZ::IBaseHpfTableData {
public:
    CTestRow(std::string key, QString name, double amount) : key_(std::move(key)), name_(std::move(name)), amount_(amount) {}
    QString getDisplayQString(int column) const override
    {
        return column == 1 ? KZ::formatDoubleNumber(amount_, 4, utils::FNF_NONE, false, QStringLiteral("-")) : name_;
    }
    double getDouble(int column) const override { return column == 1 ? amount_ : DBL_MAX; }
    std::string key() const override { return key_; }

private:
    std::string key_;
    QString name_;
    double amount_;
};

class CTestModel : public KZ::IBaseHpfTableModel {
public:
    CTestModel() : KZ::IBaseHpfTableModel(true) {}
    int columnCount() const override { return 3; }
    QString columnHeader(int column) const override { return QStringList{"产品", "中标量(亿)", "备注"}.value(column); }
    QVariant::Type columnType(int column) const override { return column == 1 ? QVariant::Double : QVariant::String; }
    QString getStatDispalyQString(int column) const override { return column == 0 ? QStringLiteral("合计") : total; }
    QString total = QStringLiteral("0.0000");
};

inline KZ::IBaseHpfTableDataPtr row(const std::string& key, const QString& name, double amount)
{
    return KZ::IBaseHpfTableDataPtr(new CTestRow(key, name, amount));
}

// The row keys in the order the view shows them.
inline QStringList shownKeys(const KZ::CStandardHpfTable& table)
{
    QStringList keys;
    for (int r = 0; r < table.qtModel()->rowCount(); ++r)
        keys << table.qtModel()->index(r, 0).data(KZ::kRowKeyRole).toString();
    return keys;
}

// An editable, sortable table with a statistics row, filling its recording owner.
struct TableFixture : ::testing::Test {
    void SetUp() override
    {
        owner = std::make_unique<CRecordingWidget>();
        table = new KZ::CStandardHpfTable(0, owner.get(), 255);
        table->setFlag(table->flag() | KZ::CStandardHpfTable::TF_EDITABLE | KZ::CStandardHpfTable::TF_HEADER_SORT
                       | KZ::CStandardHpfTable::TF_STAT_ROW);
        owner->setInnerStretchWidget(table);
        model = new CTestModel;
        table->setDataModel(model);
    }
    // Rows "1" to "4"; "2" and "4" have the same amount.
    void fill()
    {
        model->addData(row("1", QStringLiteral("乙基金"), 3.0));
        model->addData(row("2", QStringLiteral("甲基金"), 1.0));
        model->addData(row("3", QStringLiteral("丙组合"), 2.0));
        model->addData(row("4", QStringLiteral("丁基金"), 1.0));
        sync();
    }
    void sync()
    {
        table->updateTable();
        table->syncNow();
    }
    void show()
    {
        owner->resize(400, 300);
        owner->show();
        QApplication::setActiveWindow(owner.get());
    }
    QModelIndex cell(int row, int column) const { return table->qtModel()->index(row, column); }

    std::unique_ptr<CRecordingWidget> owner;
    KZ::CStandardHpfTable* table = nullptr;   // owned by owner
    CTestModel* model = nullptr;              // owned by table
};

} // namespace fwtest
