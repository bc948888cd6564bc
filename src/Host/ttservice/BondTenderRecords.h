#pragma once
// The host's bond-tender records. Fields the panel uses lie in this order;
// numbers start at the no-value marks, texts empty.

#include <boost/shared_ptr.hpp>
#include <map>
#include <string>
#include <vector>

#include "ttservice/IData.h"
#include "ttservice/TenderEnums.h"

namespace ttservice {

// Stored bid parameters of one bond (30101).
class CIBondTenderAllocParams : public IData {
public:
    std::string bondCode;
    std::string bondName;
    double marginalPrice = kInvalidDouble;
    double weightedMeanPrice = kInvalidDouble;
    double issuePrice = kInvalidDouble;     // not used by the allocation; zero in the clearing record
    double couponRate = kInvalidDouble;

    std::string getKey() const override;    // bondCode
    int dataType() const override { return RT_ALLOC_PARAMS; }
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    bool bsonValueFromElements(const std::vector<BSONElementView>& elements) override;
    BSONObj bsonValueToObj() const override;
};

// Stored row of table one (30109).
class CIBondTenderAllocUnderWriterInfo : public IData {
public:
    std::string bondCode;
    std::string bondName;
    int tenderingType = kInvalidInt;
    std::string underWriterName;
    double tenderPrice = kInvalidDouble;
    double bidAmount = kInvalidDouble;
    double winBidPrice = kInvalidDouble;
    double winAmount = kInvalidDouble;

    std::string getKey() const override;    // bondCode|underWriterName|tenderPrice
    int dataType() const override { return RT_ALLOC_UNDERWRITER; }
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    bool bsonValueFromElements(const std::vector<BSONElementView>& elements) override;
    BSONObj bsonValueToObj() const override;
};

// Execution report per underwriter and tender position (30105, read only).
class CIBondTenderExecExternalReportInfo : public IData {
public:
    std::string bondCode;
    std::string bondName;
    std::string underWriterName;
    double tenderPrice = kInvalidDouble;
    double bidAmount = kInvalidDouble;

    std::string getKey() const override;
    int dataType() const override { return RT_EXEC_EXTERNAL_REPORT; }
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    bool bsonValueFromElements(const std::vector<BSONElementView>& elements) override;
    BSONObj bsonValueToObj() const override;
};

// Stored row of table two (30103).
class CIBondTenderAllocProductInfo : public IData {
public:
    std::string bondCode;
    std::string bondName;
    int portfolioId = kInvalidInt;          // no value; written as such
    int productId = kInvalidInt;
    std::string productName;
    double tenderPrice = kInvalidDouble;
    double bidAmount = kInvalidDouble;
    double winAmount = kInvalidDouble;
    int purchaseType = kInvalidInt;

    std::string getKey() const override;
    int dataType() const override { return RT_ALLOC_PRODUCT; }
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    bool bsonValueFromElements(const std::vector<BSONElementView>& elements) override;
    BSONObj bsonValueToObj() const override;
};

// Execution report per product (30107, read only).
class CIBondTenderExecInternalReportInfo : public IData {
public:
    std::string bondCode;
    std::string bondName;
    int tenderTarget = kInvalidInt;
    int productId = kInvalidInt;
    // price text (tender position) -> bid volume in 亿; kInvalidDouble means no bid
    std::map<std::string, double> bidDetails;

    std::string getKey() const override;
    int dataType() const override { return RT_EXEC_INTERNAL_REPORT; }
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    bool bsonValueFromElements(const std::vector<BSONElementView>& elements) override;
    BSONObj bsonValueToObj() const override;
};

// One row of table three: won volume given to one account (30097).
class CWinBidInfoDetail : public IData {
public:
    std::string tradingDay;                 // yyyyMMdd
    std::string remark;
    int portfolioId = kInvalidInt;          // no value; written as such
    int productId = kInvalidInt;
    std::string productName;
    std::string bondCode;
    std::string bondName;
    int tenderTarget = kInvalidInt;
    double winBidPrice = kInvalidDouble;
    std::string account;
    std::string accountTypeText;
    std::string underWriter;
    int winBidAmount = kInvalidInt;         // units of 0.0001 亿
    std::string rowKey;
    int purchaseType = kInvalidInt;
    int tenderMarket = kInvalidInt;
    double bidAmount = kInvalidDouble;
    double bidPrice = kInvalidDouble;
    std::string fixedRowIndex;

    std::string getKey() const override;    // bondCode|rowKey
    int dataType() const override { return RT_WIN_BID_DETAIL; }
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    bool bsonValueFromElements(const std::vector<BSONElementView>& elements) override;
    BSONObj bsonValueToObj() const override;
};

// Tender parameters of a command, read from its "btdparam" document.
class CBondTendersParam : public IData {
public:
    std::string bondCode;
    double tenderPrice = kInvalidDouble;
    int purchaseType = kInvalidInt;
    int tenderTarget = kInvalidInt;
    int tenderingType = kInvalidInt;

    std::string getKey() const override;
    int dataType() const override { return 0; }
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    bool bsonValueFromElements(const std::vector<BSONElementView>& elements) override;
    BSONObj bsonValueToObj() const override;
};

// The host's record of a tender command (535, read only).
class CTenderCommandInfo : public IData {
public:
    int commandId = kInvalidInt;
    int productId = kInvalidInt;
    BSONObj extension;                      // carries "btdparam" as an embedded document

    // The command's tender parameters: null when "btdparam" is missing or not an embedded
    // document. Each call returns a copy of its own; the document is parsed once per extension.
    boost::shared_ptr<CBondTendersParam> tenderParam() const;
    // The same parameters without the copy, shared with every other reader: for readers
    // that go through all of a large tender's commands.
    boost::shared_ptr<const CBondTendersParam> sharedTenderParam() const;

    std::string getKey() const override;    // commandId
    int dataType() const override { return RT_TENDER_COMMAND; }
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    bool bsonValueFromElements(const std::vector<BSONElementView>& elements) override;
    BSONObj bsonValueToObj() const override;

private:
    // The parameters as parsed from `source`, an extension this record had: a large tender
    // has thousands of commands, and the panel reads all of them on every rebuild and save.
    struct SParsedParam {
        BSONObj source;
        boost::shared_ptr<const CBondTendersParam> param;   // null: no parameters in source
    };
    mutable boost::shared_ptr<const SParsedParam> parsed_;   // read and replaced atomically
};

// The exchange's detail of a bond in tender.
class CTenderBondInfoDetail {
public:
    std::string bondCode;
    std::string bondName;
    std::string lockDate;                   // yyyyMMdd
};

// The account types a product's accounts come in: an exchange (securities) account, used
// for the exchanges' markets, and an interbank account.
constexpr int kExchangeAccountType = 2;
constexpr int kInterbankAccountType = 15002;

class CAccountInfo {
public:
    int accountType = kInvalidInt;          // kExchangeAccountType or kInterbankAccountType
    std::string accountId;
    std::string getKey() const;             // accountType|accountId
};

class CProduct {
public:
    int productId = kInvalidInt;
    std::string productName;
    std::vector<boost::shared_ptr<CAccountInfo>> accounts;
};

} // namespace ttservice
