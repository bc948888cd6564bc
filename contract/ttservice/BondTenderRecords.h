#pragma once
// The host's bond-tender records: the fields the panel uses, in the order they lie in.

#include <boost/shared_ptr.hpp>
#include <map>
#include <string>
#include <vector>

#include "ttservice/IData.h"
#include "ttservice/TenderEnums.h"

namespace ttservice {

class CIBondTenderAllocParams : public IData {
public:
    std::string getKey() const override;
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    std::string bondCode;
    std::string bondName;
    double marginalPrice;
    double weightedMeanPrice;
    double issuePrice;
    double couponRate;
};

class CIBondTenderAllocUnderWriterInfo : public IData {
public:
    std::string getKey() const override;
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    std::string bondCode;
    std::string bondName;
    int tenderingType;
    std::string underWriterName;
    double tenderPrice;
    double bidAmount;
    double winBidPrice;
    double winAmount;
};

class CIBondTenderExecExternalReportInfo : public IData {
public:
    std::string getKey() const override;
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    std::string bondCode;
    std::string bondName;
    std::string underWriterName;
    double tenderPrice;
    double bidAmount;
};

class CIBondTenderAllocProductInfo : public IData {
public:
    std::string getKey() const override;
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    std::string bondCode;
    std::string bondName;
    int portfolioId;
    int productId;
    std::string productName;
    double tenderPrice;
    double bidAmount;
    double winAmount;
    int purchaseType;
};

class CIBondTenderExecInternalReportInfo : public IData {
public:
    std::string getKey() const override;
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    std::string bondCode;
    std::string bondName;
    int tenderTarget;
    int productId;
    std::map<std::string, double> bidDetails;
};

class CWinBidInfoDetail : public IData {
public:
    std::string getKey() const override;
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    std::string tradingDay;
    std::string remark;
    int portfolioId;
    int productId;
    std::string productName;
    std::string bondCode;
    std::string bondName;
    int tenderTarget;
    double winBidPrice;
    std::string account;
    std::string accountTypeText;
    std::string underWriter;
    int winBidAmount;
    std::string rowKey;
    int purchaseType;
    int tenderMarket;
    double bidAmount;
    double bidPrice;
    std::string fixedRowIndex;
};

// A tender command (535).
class CTenderCommandInfo : public IData {
public:
    std::string getKey() const override;
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    int commandId;
    int productId;
    BSONObj extension;
};

class CBondTendersParam : public IData {
public:
    std::string getKey() const override;
    bool bsonValueFromObj(const BSONObj& obj, bool partial, const IData* templateRecord = nullptr) override;
    std::string bondCode;
    double tenderPrice;
    int purchaseType;
    int tenderTarget;
    int tenderingType;
};

class CTenderBondInfoDetail {
public:
    std::string lockDate;
};

class CAccountInfo {
public:
    int accountType;
    std::string accountId;
    std::string getKey() const;
};

class CProduct {
public:
    std::string productName;
    std::vector<boost::shared_ptr<CAccountInfo>> accounts;
};

} // namespace ttservice
