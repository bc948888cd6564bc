#include "CAllocationTransfer.h"

#include <QWidget>
#include <QAbstractButton>
#include <QHash>
#include <cstdlib>
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

const QString kAddText = QStringLiteral("+添加");
const QString kDutchText = QStringLiteral("荷兰式");

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
        const QHash<QString, size_t> oldIndex = std::move(groupIndex_);
        groups_.clear();
        groupIndex_.clear();
        for (const QString& key : driver_.keys(Driver::T_THREE)) {
            const QString product = driver_.text(Driver::T_THREE, key, three_.at[Csv::C_PRODUCT]);
            const double position = driver_.number(Driver::T_THREE, key, three_.at[Csv::C_PRICE]);
            SGroup* group = groupOf(product, position);
            if (!group) {
                const QString name = groupName(product, position);
                groupIndex_.insert(name, groups_.size());
                groups_.push_back(SGroup{product, position, {}, {}});
                group = &groups_.back();
                if (oldIndex.contains(name))
                    group->rows = old[oldIndex.value(name)].rows;
            }
            group->keys << key;
        }
    }

    // Positions carry 4 decimals in every table, so their text tells them apart.
    static QString groupName(const QString& product, double position)
    {
        return product + QLatin1Char('\x1f') + Csv::numberText(position);
    }

    SGroup* groupOf(const QString& product, double position)
    {
        const auto found = groupIndex_.constFind(groupName(product, position));
        return found == groupIndex_.cend() ? nullptr : &groups_[*found];
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
    // a row per file row (at least the group's first). The table numbers its rows in group
    // order after a click, so the clicks of one pass go from the last group to the first
    // and from a group's last row up: none of them moves a row a later click is aimed at.
    // The first pass makes one click only, as the first click after a saved allocation was
    // loaded renumbers every row.
    bool shapeTableThree(QString* message)
    {
        for (int pass = 0;; ++pass) {
            readGroups();
            const QStringList clicks = plannedClicks(pass == 0 ? 1 : -1);
            if (clicks.isEmpty())
                return true;
            const int before = mismatch();
            for (const QString& key : clicks)
                driver_.click(Driver::T_THREE, key, three_.operation);
            readGroups();
            if (mismatch() >= before) {   // a locked table takes no click
                *message = QStringLiteral("表三不能增删行");
                return false;
            }
        }
    }

    // How many rows are still to add or remove.
    int mismatch() const
    {
        int rows = 0;
        for (const SGroup& group : groups_)
            rows += std::abs(group.keys.size() - group.wanted());
        return rows;
    }

    // The operation cells to click, last group first; at most `most` of them (-1: all).
    QStringList plannedClicks(int most) const
    {
        QStringList clicks;
        for (auto group = groups_.rbegin(); group != groups_.rend() && clicks.size() != most; ++group) {
            const int extra = group->keys.size() - group->wanted();
            QStringList added;
            for (int i = group->keys.size() - 1; i >= 0 && added.size() < extra; --i)
                if (driver_.delegateText(Driver::T_THREE, group->keys[i], three_.operation) != kAddText)
                    added << group->keys[i];
            const QString first = firstRow(*group);
            for (int i = 0; i < -extra && !first.isEmpty(); ++i)
                added << first;
            for (const QString& key : added)
                if (clicks.size() != most)
                    clicks << key;
        }
        return clicks;
    }

    QString firstRow(const SGroup& group) const
    {
        for (const QString& key : group.keys)
            if (driver_.delegateText(Driver::T_THREE, key, three_.operation) == kAddText)
                return key;
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
    QHash<QString, size_t> groupIndex_;   // groupName -> place in groups_
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
