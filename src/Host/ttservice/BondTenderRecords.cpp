#include "ttservice/BondTenderRecords.h"

#include <boost/make_shared.hpp>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <vector>

namespace ttservice {

namespace {

// Fixed six decimals, independent of the process locale (keys must not change with it).
std::string fixed6(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

std::string intText(long long value)
{
    char buffer[24];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof(buffer), value).ptr);
}

// Keys are built for every row a save replaces and every key a tick looks up: the parts
// are read in place and the text sized once, instead of copying each part first.
std::string joinKey(std::initializer_list<std::string_view> parts)
{
    std::size_t length = parts.size() - 1;
    for (std::string_view part : parts)
        length += part.size();
    std::string out;
    out.reserve(length);
    bool first = true;
    for (std::string_view part : parts) {
        if (!first)
            out += '|';
        out.append(part.data(), part.size());
        first = false;
    }
    return out;
}

// Fills fields from a document: a field absent or of the wrong BSON type keeps its value.
// The document is walked once and its elements looked at in place; each field is then
// looked for among its few elements (a search of the document per field walked it from
// the start for every field, and copies of the elements cost more than the reading).
class FieldReader {
public:
    explicit FieldReader(const std::vector<BSONElementView>& elements) : elements_(elements) {}

    void operator()(const char* name, std::string& field) const
    {
        const BSONElementView& e = element(name);
        if (e.type() == BSON_STRING)
            field.assign(e.str().data(), e.str().size());
    }
    void operator()(const char* name, int& field) const
    {
        const BSONElementView& e = element(name);
        if (e.isNumber())
            field = e.numberInt();
    }
    void operator()(const char* name, double& field) const
    {
        const BSONElementView& e = element(name);
        if (e.isNumber())
            field = e.numberDouble();
    }
    void operator()(const char* name, BSONObj& field) const
    {
        const BSONElementView& e = element(name);
        if (e.type() == BSON_OBJECT)
            field = e.embeddedObject();
    }
    // price text -> volume; entries that are not numbers are skipped
    void operator()(const char* name, std::map<std::string, double>& field) const
    {
        const BSONElementView& e = element(name);
        if (e.type() != BSON_OBJECT)
            return;
        field.clear();
        const BSONObj details = e.embeddedObject();
        for (const BSONElementView& entry : details.elementViews())
            if (entry.isNumber())
                field[std::string(entry.fieldName())] = entry.numberDouble();
    }

private:
    // The first element of the name, as a search of the document finds it. A record's
    // document holds its fields in the order they are read here, so the element after the
    // last one found this way is tried first: each element before it carries a field read
    // already (every field is read once), so it is the first of its name. A field then
    // costs one comparison instead of a search.
    const BSONElementView& element(std::string_view name) const
    {
        if (next_ < elements_.size() && elements_[next_].fieldName() == name)
            return elements_[next_++];
        for (const BSONElementView& e : elements_)
            if (e.fieldName() == name)
                return e;
        return missing_;
    }

    const std::vector<BSONElementView>& elements_;   // not owned; point into the caller's document
    const BSONElementView missing_;
    mutable std::size_t next_ = 0;   // the element after the last one found in order
};

class FieldWriter {
public:
    template <class T>
    void operator()(const char* name, const T& field) { builder_.append(name, field); }

    void operator()(const char* name, const std::map<std::string, double>& field)
    {
        BSONObjBuilder details;
        for (const auto& entry : field)
            details.append(entry.first, entry.second);
        builder_.append(name, details.obj());
    }

    BSONObj obj() const { return builder_.obj(); }

private:
    BSONObjBuilder builder_;
};

// One field list per record serves both directions (R is the record, const or not).
template <class R, class V> void fields(R& r, V&& v, CIBondTenderAllocParams*)
{
    v("bondCode", r.bondCode); v("bondName", r.bondName);
    v("marginalPrice", r.marginalPrice); v("weightedMeanPrice", r.weightedMeanPrice);
    v("issuePrice", r.issuePrice); v("couponRate", r.couponRate);
}

template <class R, class V> void fields(R& r, V&& v, CIBondTenderAllocUnderWriterInfo*)
{
    v("bondCode", r.bondCode); v("bondName", r.bondName); v("tenderingType", r.tenderingType);
    v("underWriterName", r.underWriterName); v("tenderPrice", r.tenderPrice); v("bidAmount", r.bidAmount);
    v("winBidPrice", r.winBidPrice); v("winAmount", r.winAmount);
}

template <class R, class V> void fields(R& r, V&& v, CIBondTenderExecExternalReportInfo*)
{
    v("bondCode", r.bondCode); v("bondName", r.bondName); v("underWriterName", r.underWriterName);
    v("tenderPrice", r.tenderPrice); v("bidAmount", r.bidAmount);
}

template <class R, class V> void fields(R& r, V&& v, CIBondTenderAllocProductInfo*)
{
    v("bondCode", r.bondCode); v("bondName", r.bondName); v("portfolioId", r.portfolioId);
    v("productId", r.productId); v("productName", r.productName); v("tenderPrice", r.tenderPrice);
    v("bidAmount", r.bidAmount); v("winAmount", r.winAmount); v("purchaseType", r.purchaseType);
}

template <class R, class V> void fields(R& r, V&& v, CIBondTenderExecInternalReportInfo*)
{
    v("bondCode", r.bondCode); v("bondName", r.bondName); v("tenderTarget", r.tenderTarget);
    v("productId", r.productId); v("bidDetails", r.bidDetails);
}

template <class R, class V> void fields(R& r, V&& v, CWinBidInfoDetail*)
{
    v("tradingDay", r.tradingDay); v("remark", r.remark); v("portfolioId", r.portfolioId);
    v("productId", r.productId); v("productName", r.productName); v("bondCode", r.bondCode);
    v("bondName", r.bondName); v("tenderTarget", r.tenderTarget); v("winBidPrice", r.winBidPrice);
    v("account", r.account); v("accountTypeText", r.accountTypeText); v("underWriter", r.underWriter);
    v("winBidAmount", r.winBidAmount); v("rowKey", r.rowKey); v("purchaseType", r.purchaseType);
    v("tenderMarket", r.tenderMarket); v("bidAmount", r.bidAmount); v("bidPrice", r.bidPrice);
    v("fixedRowIndex", r.fixedRowIndex);
}

template <class R, class V> void fields(R& r, V&& v, CBondTendersParam*)
{
    v("bondCode", r.bondCode); v("tenderPrice", r.tenderPrice); v("purchaseType", r.purchaseType);
    v("tenderTarget", r.tenderTarget); v("tenderingType", r.tenderingType);
}

template <class R, class V> void fields(R& r, V&& v, CTenderCommandInfo*)
{
    v("commandId", r.commandId); v("productId", r.productId); v("extension", r.extension);
}

template <class R>
bool readFields(R& record, const std::vector<BSONElementView>& elements)
{
    if (elements.empty())
        return false;
    fields(record, FieldReader(elements), static_cast<R*>(nullptr));
    return true;
}

template <class R>
BSONObj writeFields(const R& record)
{
    FieldWriter writer;
    fields(record, writer, static_cast<R*>(nullptr));
    return writer.obj();
}

} // namespace

#define BTA_RECORD_BSON(Record)                                                                   \
    bool Record::bsonValueFromObj(const BSONObj& obj, bool, const IData*) { return readFields(*this, obj.elementViews()); } \
    bool Record::bsonValueFromElements(const std::vector<BSONElementView>& elements) { return readFields(*this, elements); } \
    BSONObj Record::bsonValueToObj() const { return writeFields(*this); }

BTA_RECORD_BSON(CIBondTenderAllocParams)
BTA_RECORD_BSON(CIBondTenderAllocUnderWriterInfo)
BTA_RECORD_BSON(CIBondTenderExecExternalReportInfo)
BTA_RECORD_BSON(CIBondTenderAllocProductInfo)
BTA_RECORD_BSON(CIBondTenderExecInternalReportInfo)
BTA_RECORD_BSON(CWinBidInfoDetail)
BTA_RECORD_BSON(CBondTendersParam)
BTA_RECORD_BSON(CTenderCommandInfo)

#undef BTA_RECORD_BSON

std::string CIBondTenderAllocParams::getKey() const { return bondCode; }

std::string CIBondTenderAllocUnderWriterInfo::getKey() const
{
    return joinKey({bondCode, underWriterName, fixed6(tenderPrice)});
}

std::string CIBondTenderExecExternalReportInfo::getKey() const
{
    return joinKey({bondCode, underWriterName, fixed6(tenderPrice)});
}

std::string CIBondTenderAllocProductInfo::getKey() const
{
    return joinKey({bondCode, intText(productId), fixed6(tenderPrice)});
}

std::string CIBondTenderExecInternalReportInfo::getKey() const
{
    return joinKey({bondCode, intText(productId)});
}

std::string CWinBidInfoDetail::getKey() const { return joinKey({bondCode, rowKey}); }

std::string CBondTendersParam::getKey() const { return bondCode; }

std::string CTenderCommandInfo::getKey() const { return intText(commandId); }

boost::shared_ptr<CBondTendersParam> CTenderCommandInfo::tenderParam() const
{
    const boost::shared_ptr<const CBondTendersParam> param = sharedTenderParam();
    if (!param)
        return {};
    return boost::make_shared<CBondTendersParam>(*param);
}

boost::shared_ptr<const CBondTendersParam> CTenderCommandInfo::sharedTenderParam() const
{
    // Copies of a document share its bytes, and a new document never has the bytes of one
    // still held here: the same bytes mean the same extension.
    boost::shared_ptr<const SParsedParam> parsed = boost::atomic_load(&parsed_);
    if (!parsed || !parsed->source.sharesBytesWith(extension)) {
        auto fresh = boost::make_shared<SParsedParam>();
        fresh->source = extension;
        const BSONElement element = extension.getField("btdparam");
        if (element.type() == BSON_OBJECT) {
            auto param = boost::make_shared<CBondTendersParam>();
            param->bsonValueFromObj(element.embeddedObject(), true, nullptr);
            fresh->param = param;
        }
        boost::atomic_store(&parsed_, boost::shared_ptr<const SParsedParam>(fresh));
        parsed = fresh;
    }
    return parsed->param;
}

std::string CAccountInfo::getKey() const { return joinKey({intText(accountType), accountId}); }

IDataPtr createRecord(int dataType)
{
    switch (dataType) {
    case RT_TENDER_COMMAND: return IDataPtr(new CTenderCommandInfo());
    case RT_WIN_BID_DETAIL: return IDataPtr(new CWinBidInfoDetail());
    case RT_ALLOC_PARAMS: return IDataPtr(new CIBondTenderAllocParams());
    case RT_ALLOC_PRODUCT: return IDataPtr(new CIBondTenderAllocProductInfo());
    case RT_EXEC_EXTERNAL_REPORT: return IDataPtr(new CIBondTenderExecExternalReportInfo());
    case RT_EXEC_INTERNAL_REPORT: return IDataPtr(new CIBondTenderExecInternalReportInfo());
    case RT_ALLOC_UNDERWRITER: return IDataPtr(new CIBondTenderAllocUnderWriterInfo());
    default: return IDataPtr();
    }
}

} // namespace ttservice
