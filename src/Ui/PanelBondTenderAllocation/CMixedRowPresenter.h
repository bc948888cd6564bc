#pragma once
// What the cells of table three's rows show beyond the row's own values: the choices and
// current texts of the four choice columns, the won volume's input and the operation
// cell. One presenter serves one operation over many rows: it reads the user's number
// format and products when it is made, so every row of a load sees the same ones.

#include <QString>
#include <QStringList>
#include <boost/shared_ptr.hpp>
#include <string>
#include <unordered_map>
#include <vector>

#include "ttservice/BondTenderRecords.h"

namespace KZ {
class CStandardHpfTable;
class CBaseTableColumnLineeditDelegate;
class CBaseTableColumnSimpleTextDelegate;
} // namespace KZ

namespace TC {

class CAllocationMixedInfo;
class CBaseTableColumnAutoLineEditDelegate;

// The underwriters table three's rows may choose from: the list the table offers, grown by
// the underwriter of each row as it is shown, in the order met.
class COfferedUnderWriters {
public:
    explicit COfferedUnderWriters(QStringList& list);
    bool offer(const std::string& name);   // true when the list grew
    // The list's text of name, shared with the list; made anew when name was not offered.
    QString text(const std::string& name) const;

private:
    QStringList& list_;
    std::unordered_map<std::string, int> positions_;   // where each name first is in the list
};

class CMixedRowPresenter {
public:
    explicit CMixedRowPresenter(const KZ::CStandardHpfTable* table);

    int flag() const { return flag_; }
    // The user's products as read when this presenter was made, in the host's order.
    const std::vector<boost::shared_ptr<ttservice::CProduct>>& products() const { return allProducts_; }

    // The empty entry, then the accounts of the product that trade in market.
    QStringList accountChoices(int market, const std::string& productName);

    // An editable row as the win-bid builders and the rebuild after a click show it: the
    // row's current choices (a saved account the product no longer offers is still
    // offered, after the product's own), its won volume and an enabled operation cell.
    // underWriter is the row's underwriter as the choices show it.
    void showEditableRow(const QString& key, const CAllocationMixedInfo& info, const QStringList& underWriters,
                         const QString& underWriter, bool volumeVisible);
    // A row shown by showEditableRow(..., false) as part of a saved allocation, shown editable:
    // the rest of what it shows is the same, from the same row, number format and products.
    void showStoredRowEditable(const QString& key, const QStringList& underWriters);
    // A row of a lost bid: nothing to choose, no won volume to type, no operation.
    void showLostRow(const QString& key, const CAllocationMixedInfo& info);
    // A locked row: each choice column offers only the row's value.
    void showLockedRow(const QString& key, const CAllocationMixedInfo& info);

    // The market column's choices: empty, "上交所", "深交所", "银行间".
    static QStringList marketChoices();

private:
    // A product's account choices in one market, with the account ids they show.
    struct SAccountChoices {
        QStringList texts;
        std::vector<std::string> ids;   // texts[i] shows ids[i]
    };
    // A product's account choices by market, made as the markets are met.
    struct SProductChoices {
        boost::shared_ptr<ttservice::CProduct> product;   // null: the user has no product of the name
        std::vector<std::pair<int, SAccountChoices>> byMarket;
    };
    const SAccountChoices& accountChoicesOf(int market, const std::string& productName);
    SProductChoices& productChoicesOf(const std::string& productName);
    // The texts a row shows, taken from the choices where the row's value is one of them, so
    // that the rows share them.
    const QString& marketText(int market) const;
    QString purchaseTypeText(const std::string& purchaseType) const;
    void setChoices(CBaseTableColumnAutoLineEditDelegate* delegate, const QString& key, const QStringList& items,
                    const QString& current);

    CBaseTableColumnAutoLineEditDelegate* market_;        // owned by the table
    CBaseTableColumnAutoLineEditDelegate* purchaseType_;  // owned by the table
    CBaseTableColumnAutoLineEditDelegate* underWriter_;   // owned by the table
    CBaseTableColumnAutoLineEditDelegate* account_;       // owned by the table
    KZ::CBaseTableColumnLineeditDelegate* volume_;        // owned by the table
    KZ::CBaseTableColumnSimpleTextDelegate* operation_;   // owned by the table
    const int flag_;   // the user's segmented-number flag
    // The fixed choice lists, made once and shared by every row told them.
    const QStringList marketChoices_;
    const QStringList purchaseTypeChoices_;
    const QString emptyText_;
    const QString sseText_, szseText_, interbankText_;   // the markets as the host names them
    const QString primaryText_, secondaryText_;           // the purchase types as the host names them
    const QString addText_, deleteText_;                  // the operation cell's texts
    const std::vector<boost::shared_ptr<ttservice::CProduct>> allProducts_;
    // The user's products by name, the first of a name as the host's own lookup finds it;
    // made when the first account choices are asked for.
    std::unordered_map<std::string, boost::shared_ptr<ttservice::CProduct>> products_;
    std::unordered_map<std::string, SProductChoices> accountChoices_;   // by product name, as met
    // The product looked up last: a load's rows come product by product, its markets mixed.
    std::string lastProductName_;
    SProductChoices* lastProduct_ = nullptr;
};

} // namespace TC
