#include "CAllocationTransfer.h"

#include <QWidget>
#include <QAbstractButton>
#include <limits>
#include <map>

#include "CPanelBondTenderAllocationHelper.h"
#include "CPanelTableDriver.h"
#include "KZ/MessageBox.h"
#include "services/HostStore.h"

namespace desk {

namespace {

using Helper = TC::CPanelBondTenderAllocationHelper;
using Csv = CAllocationCsv;
using Driver = CPanelTableDriver;

const double kNoPosition = std::numeric_limits<double>::max();
const QString kAddText = QStringLiteral("+添加");
const QString kDutchText = QStringLiteral("荷兰式");

bool samePosition(double a, double b)
{
    return a == kNoPosition || b == kNoPosition ? a == b : Helper::isEqual(a, b);
}

// Table three's columns, by the file's titles, plus its operation cells.
struct SThreeColumns {
    int at[Csv::C_COUNT];
    int operation;

    bool read(const Driver& driver)
    {
        for (int c = 0; c < Csv::C_COUNT; ++c)
            if ((at[c] = driver.column(Driver::T_THREE, Csv::columnTitles()[c])) < 0)
                return false;
        operation = driver.column(Driver::T_THREE, QStringLiteral("操作"));
        return operation >= 0;
    }
};

// One product at one position: a group of table three and the file's rows for it.
struct SGroup {
    QString product;
    double position = 0.0;
    QStringList keys;                            // table three's rows, in the order shown
    std::vector<const SAllocationCsvRow*> rows;  // the file's rows, in the file's order

    bool is(const QString& p, double pos) const { return product == p && samePosition(position, pos); }
    int wanted() const { return rows.empty() ? 1 : static_cast<int>(rows.size()); }
};

// Every message box the panel shows while the import runs, answered as a user who reads it.
class CBoxCatcher {
public:
    CBoxCatcher()
        : hints_(ttservice::CHostStore::instance().hintBeforeOrder()),
          globalHints_(ttservice::CHostStore::instance().globalOrderHint())
    {
        // The panel shows its verdict only with a hint setting on; the import needs it said.
        ttservice::CHostStore::instance().setHintSettings(true, true);
        KZ::CMessageBox::setHandler([this](KZ::CMessageBox::EKind kind, const QString&, const QString& text, int) {
            kind_ = kind;
            text_ = text;
            ++count_;
            return kind == KZ::CMessageBox::Question ? int(KZ::CMessageBox::Cancel) : int(KZ::CMessageBox::Ok);
        });
    }
    ~CBoxCatcher()
    {
        KZ::CMessageBox::setHandler(KZ::CMessageBox::Handler());
        ttservice::CHostStore::instance().setHintSettings(hints_, globalHints_);
    }
    CBoxCatcher(const CBoxCatcher&) = delete;
    CBoxCatcher& operator=(const CBoxCatcher&) = delete;

    int count() const { return count_; }
    KZ::CMessageBox::EKind kind() const { return kind_; }
    const QString& text() const { return text_; }

private:
    bool hints_;
    bool globalHints_;
    int count_ = 0;
    KZ::CMessageBox::EKind kind_ = KZ::CMessageBox::Information;
    QString text_;
};

class CImport {
public:
    CImport(QWidget* panel, const std::vector<SAllocationCsvRow>& rows) : driver_(panel), rows_(rows) {}

    CAllocationTransfer::EOutcome run(QString* message)
    {
        if (!driver_.isComplete() || !three_.read(driver_))
            return fail(message, QStringLiteral("面板中找不到三张分配表"));
        QWidget* save = driver_.saveButton();
        if (!save || !save->isEnabled())
            return fail(message, QStringLiteral("该债券的中标分配现在不能保存（未中标、已结算或已锁定）"));
        readGroups();
        for (const SAllocationCsvRow& row : rows_) {
            SGroup* group = groupOf(row.product, row.bidPrice);
            if (!group) {
                *message = QStringLiteral("%1:1: 表三中没有产品“%2”在标位 %3 的行")
                               .arg(row.line).arg(row.product, Csv::numberText(row.bidPrice));
                return CAllocationTransfer::O_UNMATCHED;
            }
            group->rows.push_back(&row);
        }
        if (!fillTableTwo(message) || !fillTableOne(message) || !shapeTableThree(message) || !fillTableThree(message))
            return CAllocationTransfer::O_FAILED;
        return pressSave(save, message);
    }

private:
    static CAllocationTransfer::EOutcome fail(QString* message, const QString& why)
    {
        *message = why;
        return CAllocationTransfer::O_FAILED;
    }

    void readGroups()
    {
        std::vector<SGroup> old = std::move(groups_);
        groups_.clear();
        for (const QString& key : driver_.keys(Driver::T_THREE)) {
            const QString product = driver_.text(Driver::T_THREE, key, three_.at[Csv::C_PRODUCT]);
            const double position = driver_.number(Driver::T_THREE, key, three_.at[Csv::C_PRICE]);
            SGroup* group = groupOf(product, position);
            if (!group) {
                groups_.push_back(SGroup{product, position, {}, {}});
                group = &groups_.back();
                for (const SGroup& before : old)
                    if (before.is(product, position))
                        group->rows = before.rows;
            }
            group->keys << key;
        }
    }

    SGroup* groupOf(const QString& product, double position)
    {
        for (SGroup& group : groups_)
            if (group.is(product, position))
                return &group;
        return nullptr;
    }

    // Types a volume where the cell holds another one.
    bool setVolume(Driver::ETable table, const QString& key, int column, double value, QString* message)
    {
        if (Helper::isEqual(driver_.number(table, key, column), value))
            return true;
        if (driver_.type(table, key, column, Csv::numberText(value)))
            return true;
        *message = QStringLiteral("表格中键为 %1 的行不能录入中标量").arg(key);
        return false;
    }

    bool fillTableTwo(QString* message)
    {
        const int product = driver_.column(Driver::T_TWO, QStringLiteral("产品"));
        const int position = driver_.column(Driver::T_TWO, QStringLiteral("标位"));
        const int won = driver_.column(Driver::T_TWO, QStringLiteral("中标量(亿)"));
        for (const QString& key : driver_.keys(Driver::T_TWO)) {
            double sum = 0.0;
            if (const SGroup* group = groupOf(driver_.text(Driver::T_TWO, key, product),
                                              driver_.number(Driver::T_TWO, key, position)))
                for (const SAllocationCsvRow* row : group->rows)
                    sum += row->winBidAmount;
            if (!setVolume(Driver::T_TWO, key, won, sum, message))
                return false;
        }
        return true;
    }

    // Table one holds an underwriter per position; in a Dutch tender the rows of table
    // three have no position of their own, so an underwriter's sum is spread over its
    // positions in the order shown, each up to its bid, unless its rows already add up to it.
    bool fillTableOne(QString* message)
    {
        const int underwriter = driver_.column(Driver::T_ONE, QStringLiteral("承销商"));
        const int position = driver_.column(Driver::T_ONE, QStringLiteral("标位"));
        const int bid = driver_.column(Driver::T_ONE, QStringLiteral("投标量(亿)"));
        const int won = driver_.column(Driver::T_ONE, QStringLiteral("中标量(亿)"));
        const int method = driver_.column(Driver::T_ONE, QStringLiteral("招标方式"));
        const QStringList keys = driver_.keys(Driver::T_ONE);
        const bool dutch = !keys.isEmpty() && driver_.text(Driver::T_ONE, keys.front(), method) == kDutchText;

        std::map<QString, double> wanted;    // by underwriter, and position unless Dutch
        const auto keyOf = [dutch](const QString& name, double pos) {
            return dutch ? name : name + QLatin1Char('|') + Csv::numberText(pos);
        };
        for (const SAllocationCsvRow& row : rows_)
            wanted[keyOf(row.underwriter, row.bidPrice)] += row.winBidAmount;

        std::map<QString, double> shown;     // what the rows of each key add up to now
        for (const QString& key : keys)
            shown[keyOf(driver_.text(Driver::T_ONE, key, underwriter), driver_.number(Driver::T_ONE, key, position))]
                += driver_.number(Driver::T_ONE, key, won);
        for (const QString& key : keys) {
            const QString sumKey =
                keyOf(driver_.text(Driver::T_ONE, key, underwriter), driver_.number(Driver::T_ONE, key, position));
            if (Helper::isEqual(shown[sumKey], wanted[sumKey]))
                continue;
            const double value = dutch ? std::min(wanted[sumKey], driver_.number(Driver::T_ONE, key, bid)) : wanted[sumKey];
            wanted[sumKey] = std::max(0.0, wanted[sumKey] - value);
            if (!setVolume(Driver::T_ONE, key, won, value, message))
                return false;
        }
        return true;
    }

    // Adds and removes rows of table three's groups, one click at a time, until each has
    // a row per file row (at least the group's first).
    bool shapeTableThree(QString* message)
    {
        for (int clicks = 0;; ++clicks) {
            readGroups();
            QString target;
            for (const SGroup& group : groups_) {
                if (group.keys.size() > group.wanted())
                    target = lastAddedRow(group);
                else if (group.keys.size() < group.wanted())
                    target = firstRow(group);
                if (!target.isEmpty())
                    break;
            }
            if (target.isEmpty())
                return true;
            const int before = driver_.keys(Driver::T_THREE).size();
            if (clicks > static_cast<int>(rows_.size()) + before || !driver_.click(Driver::T_THREE, target, three_.operation)
                || driver_.keys(Driver::T_THREE).size() == before) {
                *message = QStringLiteral("表三不能增删行");
                return false;
            }
        }
    }

    QString firstRow(const SGroup& group) const
    {
        for (const QString& key : group.keys)
            if (driver_.delegateText(Driver::T_THREE, key, three_.operation) == kAddText)
                return key;
        return QString();
    }

    QString lastAddedRow(const SGroup& group) const
    {
        for (int i = group.keys.size() - 1; i >= 0; --i)
            if (driver_.delegateText(Driver::T_THREE, group.keys[i], three_.operation) != kAddText)
                return group.keys[i];
        return QString();
    }

    bool setChoice(const QString& key, int field, const QString& text, QString* message)
    {
        const int column = three_.at[field];
        if (driver_.text(Driver::T_THREE, key, column) == text || driver_.type(Driver::T_THREE, key, column, text))
            return true;
        *message = QStringLiteral("表三第 %1 行的“%2”不能编辑").arg(key, Csv::columnTitles()[field]);
        return false;
    }

    bool fillTableThree(QString* message)
    {
        for (const SGroup& group : groups_) {
            for (int i = 0; i < group.keys.size(); ++i) {
                const QString& key = group.keys[i];
                if (i >= static_cast<int>(group.rows.size())) {   // a group the file leaves out: nothing won
                    if (!setVolume(Driver::T_THREE, key, three_.at[Csv::C_WIN], 0.0, message))
                        return false;
                    continue;
                }
                const SAllocationCsvRow& row = *group.rows[static_cast<size_t>(i)];
                // The market first: choosing another one empties the account.
                if (!setChoice(key, Csv::C_MARKET, row.market, message)
                    || !setChoice(key, Csv::C_PURCHASE, row.purchaseType, message)
                    || !setChoice(key, Csv::C_UNDERWRITER, row.underwriter, message)
                    || !setChoice(key, Csv::C_ACCOUNT, row.account, message)
                    || !setVolume(Driver::T_THREE, key, three_.at[Csv::C_WIN], row.winBidAmount, message))
                    return false;
            }
        }
        return true;
    }

    static CAllocationTransfer::EOutcome pressSave(QWidget* save, QString* message)
    {
        const CBoxCatcher boxes;
        if (auto* button = qobject_cast<QAbstractButton*>(save))
            button->click();
        if (boxes.count() == 0)
            return fail(message, QStringLiteral("面板没有给出保存结果"));
        *message = boxes.text();
        if (boxes.kind() == KZ::CMessageBox::Critical)
            return CAllocationTransfer::O_REFUSED;
        return boxes.text() == QStringLiteral("保存成功!") ? CAllocationTransfer::O_SAVED : CAllocationTransfer::O_FAILED;
    }

    Driver driver_;
    const std::vector<SAllocationCsvRow>& rows_;
    SThreeColumns three_ = {};
    std::vector<SGroup> groups_;
};

} // namespace

bool CAllocationTransfer::exportRows(QWidget* panel, std::vector<SAllocationCsvRow>* rows)
{
    const Driver driver(panel);
    SThreeColumns three = {};
    if (!driver.isComplete() || !three.read(driver))
        return false;
    rows->clear();
    for (const QString& key : driver.keys(Driver::T_THREE)) {
        SAllocationCsvRow row;
        row.product = driver.text(Driver::T_THREE, key, three.at[Csv::C_PRODUCT]);
        row.market = driver.text(Driver::T_THREE, key, three.at[Csv::C_MARKET]);
        row.purchaseType = driver.text(Driver::T_THREE, key, three.at[Csv::C_PURCHASE]);
        row.underwriter = driver.text(Driver::T_THREE, key, three.at[Csv::C_UNDERWRITER]);
        row.bidPrice = driver.number(Driver::T_THREE, key, three.at[Csv::C_PRICE]);
        row.bidAmount = driver.number(Driver::T_THREE, key, three.at[Csv::C_BID]);
        row.winBidPrice = driver.number(Driver::T_THREE, key, three.at[Csv::C_WIN_PRICE]);
        row.winBidAmount = driver.number(Driver::T_THREE, key, three.at[Csv::C_WIN]);
        row.account = driver.text(Driver::T_THREE, key, three.at[Csv::C_ACCOUNT]);
        rows->push_back(row);
    }
    return true;
}

CAllocationTransfer::EOutcome CAllocationTransfer::importRows(QWidget* panel, const std::vector<SAllocationCsvRow>& rows,
                                                              QString* message)
{
    return CImport(panel, rows).run(message);
}

} // namespace desk
