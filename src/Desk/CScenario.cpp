#include "CScenario.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <boost/make_shared.hpp>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "CJsonFieldReader.h"
#include "KZ/Format.h"
#include "services/HostStore.h"
#include "ttservice/BondTenderRecords.h"

// The sample lives in this static library: its resources must be registered by hand.
static void registerDeskResources()
{
    Q_INIT_RESOURCE(desk);
}

namespace desk {

const QString CScenario::kBuiltInPath = QStringLiteral(":/scenarios/sample.json");

namespace {

// "line:column" (both from 1, column in characters) of a byte offset into UTF-8 text.
QString lineAndColumn(const QByteArray& text, int offset)
{
    offset = qBound(0, offset, text.size());
    const int lineStart = offset == 0 ? 0 : text.lastIndexOf('\n', offset - 1) + 1;
    const int line = text.left(lineStart).count('\n') + 1;
    const int column = QString::fromUtf8(text.mid(lineStart, offset - lineStart)).size() + 1;
    return QStringLiteral("%1:%2").arg(line).arg(column);
}

// What is wrong with malformed JSON, in the user's words.
QString syntaxProblem(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject: return QStringLiteral("对象没有结束（缺少 } 或逗号）");
    case QJsonParseError::MissingNameSeparator: return QStringLiteral("字段名后缺少冒号");
    case QJsonParseError::UnterminatedArray: return QStringLiteral("数组没有结束（缺少 ] 或逗号）");
    case QJsonParseError::MissingValueSeparator: return QStringLiteral("值之间缺少逗号");
    case QJsonParseError::IllegalValue: return QStringLiteral("无法识别的值");
    case QJsonParseError::TerminationByNumber: return QStringLiteral("文件在数字处意外结束");
    case QJsonParseError::IllegalNumber: return QStringLiteral("数字写法错误");
    case QJsonParseError::IllegalEscapeSequence: return QStringLiteral("文本中有非法的转义符");
    case QJsonParseError::IllegalUTF8String: return QStringLiteral("文本不是有效的 UTF-8 编码");
    case QJsonParseError::UnterminatedString: return QStringLiteral("文本没有结束（缺少引号）");
    case QJsonParseError::MissingObject: return QStringLiteral("此处应为对象");
    case QJsonParseError::DeepNesting: return QStringLiteral("嵌套层次过深");
    case QJsonParseError::DocumentTooLarge: return QStringLiteral("文件过大");
    case QJsonParseError::GarbageAtEnd: return QStringLiteral("文件末尾有多余内容");
    case QJsonParseError::NoError: break;
    }
    return QStringLiteral("无法解析");
}

QString whyUnreadable(const QString& path, const QFile& file)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("文件不存在");
    if (info.isDir())
        return QStringLiteral("这是一个文件夹，不是文件");
    if (file.error() == QFileDevice::PermissionsError || !info.isReadable())
        return QStringLiteral("没有读取权限");
    return file.errorString();
}

bool isKnownAccountType(int type)
{
    return type == ttservice::kExchangeAccountType || type == ttservice::kInterbankAccountType;
}

} // namespace

// Walks the document section by section; the first problem ends the walk. Json: QtJson or
// TextJson (CJsonFieldReader.h).
template <class Json>
class CScenarioParser {
public:
    using Reader = CJsonFieldReader<Json>;

    CScenarioParser(CScenario* out, QString* error) : out_(out), error_(error) {}

    bool parseDocument(const typename Json::Object& root)
    {
        const CJsonPath document;
        Reader reader(root, document, error_);
        std::string title;
        if (!reader.text(QLatin1String("title"), &title, false))
            return false;
        out_->title_ = QString::fromStdString(title);
        return parseBonds(reader) && parseUnderwriters(reader) && parseProducts(reader) && parseCommands(reader)
            && parseUnderwriterReports(reader) && parseProductReports(reader) && parseDefaultBond(reader);
    }

private:
    using ElementParser = bool (CScenarioParser::*)(Reader&);

    // Runs one element parser per object of the array "key".
    bool forEachObject(Reader& parent, QLatin1String key, bool required, ElementParser parse)
    {
        typename Json::Array items;
        if (!parent.array(key, &items, required))
            return false;
        const CJsonPath arrayPath(&parent.path(), key);
        for (int i = 0; i < items.size(); ++i) {
            const CJsonPath path(&arrayPath, i);
            const typename Json::Value item = items.at(i);
            if (item.type() != QJsonValue::Object) {
                *error_ = path.text() + QStringLiteral(": ") + Reader::wrongType("对象", item.type());
                return false;
            }
            Reader reader(item.toObject(), path, error_);
            if (!(this->*parse)(reader))
                return false;
        }
        return true;
    }

    bool parseBonds(Reader& root)
    {
        if (!forEachObject(root, QLatin1String("bonds"), true, &CScenarioParser::parseBond))
            return false;
        if (out_->bonds_.empty())
            return root.fail(QLatin1String("bonds"), QStringLiteral("场景至少需要一只债券"));
        return true;
    }

    bool parseBond(Reader& r)
    {
        SScenarioBond bond;
        std::string target, method;
        if (!r.nonEmptyText(QLatin1String("code"), &bond.code) || !r.nonEmptyText(QLatin1String("name"), &bond.name)
            || !r.number(QLatin1String("basicTenderUnit"), &bond.basicTenderUnit)
            || !r.text(QLatin1String("tenderTarget"), &target) || !r.text(QLatin1String("tenderingMethod"), &method)
            || !r.text(QLatin1String("lockDate"), &bond.lockDate, false)
            || !r.boolean(QLatin1String("settled"), &bond.settled, false))
            return false;
        if (QString::fromStdString(bond.code).size() > CScenario::kMaxBondCodeChars)
            return r.fail(QLatin1String("code"), QStringLiteral("债券代码过长：最多 %1 个字符").arg(CScenario::kMaxBondCodeChars));
        if (bondIndex_.count(bond.code))
            return r.fail(QLatin1String("code"), QStringLiteral("债券 %1 重复出现").arg(QString::fromStdString(bond.code)));
        // Volumes are counted in 0.0001 亿 and capped near 214748 亿: a unit outside these
        // bounds makes the bond impossible to allocate.
        if (!(bond.basicTenderUnit >= CScenario::kMinBasicTenderUnit && bond.basicTenderUnit <= CScenario::kMaxBasicTenderUnit))
            return r.fail(QLatin1String("basicTenderUnit"), QStringLiteral("基本投标单位应在 0.0001 到 1000000 之间"));
        if (target == "price")
            bond.target = ttservice::TTG_PRICE;
        else if (target == "rate")
            bond.target = ttservice::TTG_RATE;
        else
            return r.fail(QLatin1String("tenderTarget"),
                          QStringLiteral("未知的招标标的 \"%1\"（应为 price 或 rate）").arg(QString::fromStdString(target)));
        if (method == "dutch")
            bond.tenderingType = ttservice::TT_DUTCH;
        else if (method == "american")
            bond.tenderingType = ttservice::TT_AMERICAN;
        else if (method == "mixed")
            bond.tenderingType = ttservice::TT_MIXED;
        else
            return r.fail(QLatin1String("tenderingMethod"),
                          QStringLiteral("未知的招标方式 \"%1\"（应为 dutch、american 或 mixed）")
                              .arg(QString::fromStdString(method)));
        if (!bond.lockDate.empty()
            && !QDate::fromString(QString::fromStdString(bond.lockDate), QLatin1String("yyyyMMdd")).isValid())
            return r.fail(QLatin1String("lockDate"), QStringLiteral("日期格式错误：应写作 yyyyMMdd，如 20261230"));
        if (!parseResult(r, &bond))
            return false;
        bondIndex_[bond.code] = out_->bonds_.size();
        out_->bonds_.push_back(bond);
        return true;
    }

    bool parseResult(Reader& bondReader, SScenarioBond* bond)
    {
        if (!bondReader.has(QLatin1String("result")))
            return true;
        typename Json::Object result;
        if (!bondReader.object(QLatin1String("result"), &result))
            return false;
        const CJsonPath path(&bondReader.path(), QLatin1String("result"));
        Reader r(result, path, error_);
        bond->hasResult = true;
        if (!r.number(QLatin1String("marginalPrice"), &bond->marginalPrice)
            || !r.number(QLatin1String("weightedMeanPrice"), &bond->weightedMeanPrice, false)
            || !r.number(QLatin1String("couponRate"), &bond->couponRate, false))
            return false;
        if (bond->marginalPrice < 0.0)
            return r.fail(QLatin1String("marginalPrice"), QStringLiteral("边际价格不能为负数（0 表示未中标）"));
        if (bond->weightedMeanPrice < 0.0)
            return r.fail(QLatin1String("weightedMeanPrice"), QStringLiteral("加权平均价格不能为负数"));
        if (bond->couponRate < 0.0)
            return r.fail(QLatin1String("couponRate"), QStringLiteral("票面利率不能为负数"));
        return true;
    }

    bool parseUnderwriters(Reader& root)
    {
        typename Json::Array items;
        if (!root.array(QLatin1String("underwriters"), &items))
            return false;
        const CJsonPath arrayPath(&root.path(), QLatin1String("underwriters"));
        for (int i = 0; i < items.size(); ++i) {
            const typename Json::Value item = items.at(i);
            std::string name;
            int units = 0;
            if (item.type() == QJsonValue::String)
                Json::text(item, &name, &units);
            if (name.empty()) {
                *error_ = CJsonPath(&arrayPath, i).text() + QStringLiteral(": 应为承销商名称（非空文本）");
                return false;
            }
            if (units > Reader::kMaxTextChars) {
                *error_ = CJsonPath(&arrayPath, i).text() + QStringLiteral(": 文本过长：最多 %1 个字符").arg(Reader::kMaxTextChars);
                return false;
            }
            if (!underwriters_.insert(name).second) {
                *error_ = CJsonPath(&arrayPath, i).text() + QStringLiteral(": 承销商 %1 重复出现").arg(QString::fromStdString(name));
                return false;
            }
            out_->underwriters_.push_back(name);
        }
        return true;
    }

    bool parseProducts(Reader& root)
    {
        return forEachObject(root, QLatin1String("products"), true, &CScenarioParser::parseProduct);
    }

    bool parseProduct(Reader& r)
    {
        SScenarioProduct product;
        if (!r.integer(QLatin1String("id"), &product.id) || !r.nonEmptyText(QLatin1String("name"), &product.name))
            return false;
        if (product.id <= 0)
            return r.fail(QLatin1String("id"), QStringLiteral("产品编号必须大于 0"));
        if (!productIds_.insert(product.id).second)
            return r.fail(QLatin1String("id"), QStringLiteral("产品 %1 重复出现").arg(product.id));
        // Table three and the saved rows know a product by its name.
        if (!productNames_.insert(product.name).second)
            return r.fail(QLatin1String("name"),
                          QStringLiteral("产品名称 %1 重复出现（每个产品的名称须不同）").arg(QString::fromStdString(product.name)));
        current_ = &product;
        const bool ok = forEachObject(r, QLatin1String("accounts"), true, &CScenarioParser::parseAccount);
        current_ = nullptr;
        if (!ok)
            return false;
        out_->products_.push_back(product);
        return true;
    }

    bool parseAccount(Reader& r)
    {
        SScenarioAccount account;
        if (!r.integer(QLatin1String("type"), &account.type) || !r.nonEmptyText(QLatin1String("id"), &account.id))
            return false;
        if (!isKnownAccountType(account.type))
            return r.fail(QLatin1String("type"),
                          QStringLiteral("未知的账户类型 %1（应为 2 交易所账户或 15002 银行间账户）")
                              .arg(account.type));
        current_->accounts.push_back(account);
        return true;
    }

    bool parseCommands(Reader& root)
    {
        return forEachObject(root, QLatin1String("tenderCommands"), false, &CScenarioParser::parseCommand);
    }

    bool parseCommand(Reader& r)
    {
        SScenarioCommand command;
        typename Json::Object param;
        if (!r.integer(QLatin1String("commandId"), &command.commandId) || !r.integer(QLatin1String("productId"), &command.productId)
            || !r.object(QLatin1String("btdparam"), &param))
            return false;
        if (!commandIds_.insert(command.commandId).second)
            return r.fail(QLatin1String("commandId"), QStringLiteral("指令 %1 重复出现").arg(command.commandId));
        if (!checkProduct(r, QLatin1String("productId"), command.productId))
            return false;
        const CJsonPath path(&r.path(), QLatin1String("btdparam"));
        Reader p(param, path, error_);
        if (!p.nonEmptyText(QLatin1String("bondCode"), &command.bondCode) || !checkBond(p, command.bondCode)
            || !p.number(QLatin1String("tenderPrice"), &command.tenderPrice)
            || !p.integer(QLatin1String("purchaseType"), &command.purchaseType))
            return false;
        if (!(command.tenderPrice > 0.0))
            return p.fail(QLatin1String("tenderPrice"), QStringLiteral("投标价位必须大于 0"));
        if (command.purchaseType != ttservice::TPT_PRIMARY && command.purchaseType != ttservice::TPT_SECONDARY)
            return p.fail(QLatin1String("purchaseType"),
                          QStringLiteral("应为 1（一级分销）或 2（二级上市），实际为 %1").arg(command.purchaseType));
        out_->commands_.push_back(command);
        return true;
    }

    bool parseUnderwriterReports(Reader& root)
    {
        return forEachObject(root, QLatin1String("underwriterReports"), false, &CScenarioParser::parseUnderwriterReport);
    }

    bool parseUnderwriterReport(Reader& r)
    {
        SUnderwriterReport report;
        if (!r.nonEmptyText(QLatin1String("bondCode"), &report.bondCode) || !checkBond(r, report.bondCode)
            || !r.nonEmptyText(QLatin1String("underwriter"), &report.underwriter)
            || !r.number(QLatin1String("tenderPrice"), &report.tenderPrice)
            || !r.number(QLatin1String("bidAmount"), &report.bidAmount))
            return false;
        if (!underwriters_.count(report.underwriter))
            return r.fail(QLatin1String("underwriter"),
                          QStringLiteral("%1 不在承销商列表（underwriters）中").arg(QString::fromStdString(report.underwriter)));
        if (!(report.tenderPrice > 0.0))
            return r.fail(QLatin1String("tenderPrice"), QStringLiteral("投标价位必须大于 0"));
        if (!(report.bidAmount > 0.0))
            return r.fail(QLatin1String("bidAmount"), QStringLiteral("投标量必须大于 0"));
        out_->underwriterReports_.push_back(report);
        return true;
    }

    bool parseProductReports(Reader& root)
    {
        return forEachObject(root, QLatin1String("productReports"), false, &CScenarioParser::parseProductReport);
    }

    bool parseProductReport(Reader& r)
    {
        SProductReport report;
        typename Json::Object details;
        if (!r.nonEmptyText(QLatin1String("bondCode"), &report.bondCode) || !checkBond(r, report.bondCode)
            || !r.integer(QLatin1String("productId"), &report.productId) || !checkProduct(r, QLatin1String("productId"), report.productId)
            || !r.object(QLatin1String("bidDetails"), &details))
            return false;
        if (details.isEmpty())
            return r.fail(QLatin1String("bidDetails"), QStringLiteral("至少需要一个标位及其投标量"));
        const CJsonPath path(&r.path(), QLatin1String("bidDetails"));
        Reader d(details, path, error_);
        std::map<double, QString> positions;   // a position written twice ("2.5", "2.50") would count twice
        const bool ok = Json::forEachMember(details, [&](const QString& key, const typename Json::Value& value) {
            const std::string text = key.toStdString();
            bool isPrice = false;
            const double price = KZ::parseDouble(text, &isPrice);
            if (!isPrice || !(price > 0.0))
                return d.fail(key, QStringLiteral("标位必须是大于 0 的数字"));
            const auto known = positions.emplace(price, key);
            if (!known.second)
                return d.fail(key, QStringLiteral("与标位 %1 是同一标位").arg(known.first->second));
            double volume = 0.0;
            if (!d.memberNumber(key, value, &volume))
                return false;
            if (volume < 0.0)
                return d.fail(key, QStringLiteral("投标量不能为负数"));
            report.bidDetails[text] = volume;
            return true;
        });
        if (!ok)
            return false;
        out_->productReports_.push_back(std::move(report));
        return true;
    }

    bool parseDefaultBond(Reader& root)
    {
        std::string code;
        if (!root.text(QLatin1String("defaultBond"), &code, false))
            return false;
        if (code.empty()) {
            out_->defaultBond_ = out_->bonds_.front().code;
            return true;
        }
        if (!checkBond(root, code, QLatin1String("defaultBond")))
            return false;
        out_->defaultBond_ = code;
        return true;
    }

    bool checkBond(Reader& r, const std::string& code, QLatin1String key = QLatin1String("bondCode"))
    {
        if (bondIndex_.count(code))
            return true;
        return r.fail(key, QStringLiteral("未知的债券 %1（不在 bonds 中）").arg(QString::fromStdString(code)));
    }

    bool checkProduct(Reader& r, QLatin1String key, int productId)
    {
        if (productIds_.count(productId))
            return true;
        return r.fail(key, QStringLiteral("未知的产品 %1（不在 products 中）").arg(productId));
    }

    CScenario* out_;                       // not owned
    QString* error_;                       // not owned
    SScenarioProduct* current_ = nullptr;  // product whose accounts are being read
    std::map<std::string, size_t> bondIndex_;
    std::set<std::string> underwriters_;
    std::set<int> productIds_;
    std::set<std::string> productNames_;
    std::set<int> commandIds_;
};

bool CScenario::parse(const QByteArray& json, const QString& source, CScenario* out, QString* error)
{
    // Plain JSON that keeps every rule is read in one pass; anything else goes to Qt's
    // document, which finds and names the first problem.
    {
        CJsonText text;
        CScenario scenario;
        QString fieldError;
        if (text.read(json) && CScenarioParser<TextJson>(&scenario, &fieldError).parseDocument(text.root())) {
            *out = std::move(scenario);
            return true;
        }
    }
    return parseWithQtDocument(json, source, out, error);
}

bool CScenario::parseWithQtDocument(const QByteArray& json, const QString& source, CScenario* out, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1:%2: JSON 格式错误：%3")
                     .arg(source, lineAndColumn(json, parseError.offset), syntaxProblem(parseError.error));
        return false;
    }
    if (!document.isObject()) {
        *error = source + QStringLiteral(": 顶层应为 JSON 对象");
        return false;
    }
    CScenario scenario;
    QString fieldError;
    if (!CScenarioParser<QtJson>(&scenario, &fieldError).parseDocument(document.object())) {
        *error = source + QStringLiteral(": ") + fieldError;
        return false;
    }
    *out = std::move(scenario);
    return true;
}

bool CScenario::loadFile(const QString& path, CScenario* out, QString* error, qint64 maxBytes)
{
    if (path.startsWith(QLatin1Char(':')))
        registerDeskResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || QFileInfo(path).isDir()) {
        *error = path + QStringLiteral(": 无法读取场景文件：") + whyUnreadable(path, file);
        return false;
    }
    // Read into one buffer, as large as the file says it is (and a byte more, to see its
    // end), grown by pieces up to a byte over the limit where that was not enough: a device
    // or a pipe has no size, and may never end. One buffer, filled once: at a large tender
    // every page of memory touched costs more than reading what goes into it.
    constexpr qint64 kPiece = 1 << 20;
    const qint64 limit = maxBytes + 1;
    QByteArray json(static_cast<int>(std::min(limit, std::max(file.size() + 1, kPiece))), Qt::Uninitialized);
    qint64 filled = 0;
    for (;;) {
        if (filled == json.size()) {
            if (filled >= limit)
                break;
            json.resize(static_cast<int>(std::min(limit, filled + kPiece)));
        }
        const qint64 got = file.read(json.data() + filled, json.size() - filled);
        if (got <= 0)
            break;
        filled += got;
    }
    json.resize(static_cast<int>(filled));
    if (json.size() > maxBytes) {
        *error = path + QStringLiteral(": 场景文件超过 %1 MB（或是不会结束的设备、管道），未读取").arg(maxBytes >> 20);
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = path + QStringLiteral(": 无法读取场景文件：") + file.errorString();
        return false;
    }
    return parse(json, path, out, error);
}

const SScenarioBond* CScenario::bond(const std::string& code) const
{
    for (const SScenarioBond& b : bonds_)
        if (b.code == code)
            return &b;
    return nullptr;
}

namespace {

bool same(double a, double b)
{
    return a == b && std::signbit(a) == std::signbit(b);
}

bool same(const SScenarioBond& a, const SScenarioBond& b)
{
    return a.code == b.code && a.name == b.name && same(a.basicTenderUnit, b.basicTenderUnit) && a.target == b.target
        && a.tenderingType == b.tenderingType && a.lockDate == b.lockDate && a.settled == b.settled
        && a.hasResult == b.hasResult && same(a.marginalPrice, b.marginalPrice)
        && same(a.weightedMeanPrice, b.weightedMeanPrice) && same(a.couponRate, b.couponRate);
}

bool same(const SScenarioAccount& a, const SScenarioAccount& b)
{
    return a.type == b.type && a.id == b.id;
}

bool same(const SScenarioProduct& a, const SScenarioProduct& b);

bool same(const SScenarioCommand& a, const SScenarioCommand& b)
{
    return a.commandId == b.commandId && a.productId == b.productId && a.bondCode == b.bondCode
        && same(a.tenderPrice, b.tenderPrice) && a.purchaseType == b.purchaseType;
}

bool same(const SUnderwriterReport& a, const SUnderwriterReport& b)
{
    return a.bondCode == b.bondCode && a.underwriter == b.underwriter && same(a.tenderPrice, b.tenderPrice)
        && same(a.bidAmount, b.bidAmount);
}

bool same(const std::pair<const std::string, double>& a, const std::pair<const std::string, double>& b)
{
    return a.first == b.first && same(a.second, b.second);
}

bool same(const SProductReport& a, const SProductReport& b);

template <class Range>
bool sameRanges(const Range& a, const Range& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) { return same(x, y); });
}

bool same(const SScenarioProduct& a, const SScenarioProduct& b)
{
    return a.id == b.id && a.name == b.name && sameRanges(a.accounts, b.accounts);
}

bool same(const SProductReport& a, const SProductReport& b)
{
    return a.bondCode == b.bondCode && a.productId == b.productId && sameRanges(a.bidDetails, b.bidDetails);
}

} // namespace

bool CScenario::operator==(const CScenario& other) const
{
    return title_ == other.title_ && defaultBond_ == other.defaultBond_ && sameRanges(bonds_, other.bonds_)
        && sameRanges(products_, other.products_) && underwriters_ == other.underwriters_
        && sameRanges(commands_, other.commands_) && sameRanges(underwriterReports_, other.underwriterReports_)
        && sameRanges(productReports_, other.productReports_);
}

void CScenario::releaseStoredParts()
{
    // Swapped with empty ones, so that their memory goes too.
    std::vector<SScenarioProduct>().swap(products_);
    std::vector<std::string>().swap(underwriters_);
    std::vector<SScenarioCommand>().swap(commands_);
    std::vector<SUnderwriterReport>().swap(underwriterReports_);
    std::vector<SProductReport>().swap(productReports_);
}

void CScenario::applyTo(ttservice::CHostStore& store) const
{
    using namespace ttservice;
    std::vector<boost::shared_ptr<CProduct>> products;
    for (const SScenarioProduct& p : products_) {
        auto product = boost::make_shared<CProduct>();
        product->productId = p.id;
        product->productName = p.name;
        for (const SScenarioAccount& a : p.accounts) {
            auto account = boost::make_shared<CAccountInfo>();
            account->accountType = a.type;
            account->accountId = a.id;
            product->accounts.push_back(account);
        }
        products.push_back(product);
    }
    store.setProducts(products);

    for (const SScenarioBond& b : bonds_) {
        CTenderBondInfoDetail detail;
        detail.bondCode = b.code;
        detail.bondName = b.name;
        detail.lockDate = b.lockDate;
        store.setTenderBondInfo(detail);
        if (b.hasResult) {
            auto params = boost::make_shared<CIBondTenderAllocParams>();
            params->bondCode = b.code;
            params->marginalPrice = b.marginalPrice;
            params->weightedMeanPrice = b.weightedMeanPrice;
            params->couponRate = b.couponRate;
            store.putRecords(b.code, RT_ALLOC_PARAMS, {params});
        }
    }

    for (const SScenarioCommand& c : commands_) {
        const SScenarioBond* b = bond(c.bondCode);
        CBondTendersParam param;
        param.bondCode = c.bondCode;
        param.tenderPrice = c.tenderPrice;
        param.purchaseType = c.purchaseType;
        param.tenderTarget = b->target;
        param.tenderingType = b->tenderingType;
        auto command = boost::make_shared<CTenderCommandInfo>();
        command->commandId = c.commandId;
        command->productId = c.productId;
        BSONObjBuilder extension;
        extension.append("btdparam", param.bsonValueToObj());
        command->extension = extension.obj();
        store.addTenderCommand(command);
    }

    std::map<std::string, IDataList> external, internal;
    for (const SUnderwriterReport& r : underwriterReports_) {
        auto report = boost::make_shared<CIBondTenderExecExternalReportInfo>();
        report->bondCode = r.bondCode;
        report->bondName = bond(r.bondCode)->name;
        report->underWriterName = r.underwriter;
        report->tenderPrice = r.tenderPrice;
        report->bidAmount = r.bidAmount;
        external[r.bondCode].push_back(report);
    }
    for (const SProductReport& r : productReports_) {
        auto report = boost::make_shared<CIBondTenderExecInternalReportInfo>();
        report->bondCode = r.bondCode;
        report->bondName = bond(r.bondCode)->name;
        report->tenderTarget = bond(r.bondCode)->target;
        report->productId = r.productId;
        report->bidDetails = r.bidDetails;
        internal[r.bondCode].push_back(report);
    }
    for (const auto& entry : external)
        store.putRecords(entry.first, RT_EXEC_EXTERNAL_REPORT, entry.second);
    for (const auto& entry : internal)
        store.putRecords(entry.first, RT_EXEC_INTERNAL_REPORT, entry.second);
}

} // namespace desk
