#include "CJsonText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace desk {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Characters the reader leaves to Qt's document, which has its own ways with them:
// noncharacters, and the byte order mark, which it drops from the start of a text.
bool isLeftToQtDocument(uint32_t code)
{
    return (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE || code == 0xFEFF;
}

// The length of the well-formed UTF-8 sequence of a character at p (not ASCII), 0 when it
// is not one or is left to Qt's document.
int utf8SequenceLength(const unsigned char* p, const unsigned char* end)
{
    const unsigned char lead = p[0];
    int length = 0;
    uint32_t code = 0;
    unsigned char low = 0x80, high = 0xBF;   // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;   // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;   // at most U+10FFFF
    } else {
        return 0;
    }
    if (end - p < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    return isLeftToQtDocument(code) ? 0 : length;
}

void appendUtf8(uint32_t code, std::string* out)
{
    if (code < 0x80) {
        out->push_back(char(code));
    } else if (code < 0x800) {
        out->push_back(char(0xC0 | (code >> 6)));
        out->push_back(char(0x80 | (code & 0x3F)));
    } else {
        out->push_back(char(0xE0 | (code >> 12)));
        out->push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(char(0x80 | (code & 0x3F)));
    }
}

// The code of the four hex digits at p, or -1.
int32_t escapedCode(const char* p, const char* end)
{
    if (end - p < 4)
        return -1;
    int32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexDigit(p[i]);
        if (digit < 0)
            return -1;
        code = code * 16 + digit;
    }
    return code;
}

} // namespace

// Reads the text into the list of nodes, depth first; every step that meets something
// outside plain JSON answers false.
class CJsonTextScanner {
public:
    CJsonTextScanner(const QByteArray& text, std::vector<CJsonText::Node>* nodes)
        : base_(text.constData()), p_(base_), end_(base_ + text.size()), nodes_(*nodes)
    {
    }

    bool document()
    {
        skipSpace();
        if (p_ == end_ || *p_ != '{' || !value(0, 0))
            return false;
        skipSpace();
        return p_ == end_;
    }

private:
    using Node = CJsonText::Node;

    void skipSpace()
    {
        while (p_ != end_ && isSpace(*p_))
            ++p_;
    }

    bool value(uint32_t nameBegin, uint32_t nameLength)
    {
        const uint32_t index = uint32_t(nodes_.size());
        nodes_.emplace_back();
        nodes_.back().nameBegin = nameBegin;
        nodes_.back().nameLength = nameLength;
        bool ok = false;
        switch (*p_) {
        case '{': ok = object(index); break;
        case '[': ok = array(index); break;
        case '"': ok = text(index); break;
        case 't': ok = literal("true", QJsonValue::Bool, 1.0, index); break;
        case 'f': ok = literal("false", QJsonValue::Bool, 0.0, index); break;
        case 'n': ok = literal("null", QJsonValue::Null, 0.0, index); break;
        default: ok = number(index); break;
        }
        nodes_[index].end = uint32_t(nodes_.size());
        return ok;
    }

    bool literal(const char* word, QJsonValue::Type type, double number, uint32_t index)
    {
        const size_t length = strlen(word);
        if (size_t(end_ - p_) < length || memcmp(p_, word, length) != 0)
            return false;
        p_ += length;
        nodes_[index].type = type;
        nodes_[index].number = number;
        return true;
    }

    // Then ',' and another, or the closing character.
    bool next(char close, bool* more)
    {
        skipSpace();
        if (p_ == end_)
            return false;
        if (*p_ == ',') {
            ++p_;
            skipSpace();
            *more = true;
            return p_ != end_;
        }
        *more = false;
        return *p_++ == close;
    }

    // An object or an array: item(count) reads each member or element after the first
    // blanks; the count includes it.
    template <class Item>
    bool container(uint32_t index, char close, QJsonValue::Type type, Item item)
    {
        if (++depth_ > CJsonText::kMaxDepth)
            return false;
        ++p_;
        skipSpace();
        if (p_ == end_)
            return false;
        uint32_t count = 0;
        bool more = *p_ != close;
        if (!more)
            ++p_;
        while (more)
            if (!item(++count) || !next(close, &more))
                return false;
        nodes_[index].type = type;
        nodes_[index].units = count;
        --depth_;
        return true;
    }

    bool object(uint32_t index)
    {
        return container(index, '}', QJsonValue::Object, [this, index](uint32_t count) {
            uint32_t nameBegin = 0, nameLength = 0;
            if (count > CJsonText::kMaxMembers || !name(&nameBegin, &nameLength) || isTaken(index, nameBegin, nameLength))
                return false;
            skipSpace();
            if (p_ == end_ || *p_ != ':')
                return false;
            ++p_;
            skipSpace();
            return p_ != end_ && value(nameBegin, nameLength);
        });
    }

    bool array(uint32_t index)
    {
        return container(index, ']', QJsonValue::Array, [this](uint32_t) { return p_ != end_ && value(0, 0); });
    }

    bool name(uint32_t* begin, uint32_t* length)
    {
        if (p_ == end_ || *p_ != '"')
            return false;
        const char* first = ++p_;
        while (p_ != end_ && *p_ != '"') {
            const unsigned char c = static_cast<unsigned char>(*p_);
            if (c < 0x20 || c >= 0x80 || c == '\\')
                return false;
            ++p_;
        }
        if (p_ == end_)
            return false;
        *begin = uint32_t(first - base_);
        *length = uint32_t(p_ - first);
        ++p_;
        return true;
    }

    bool isTaken(uint32_t object, uint32_t nameBegin, uint32_t nameLength) const
    {
        for (uint32_t i = object + 1; i < nodes_.size(); i = nodes_[i].end)
            if (nodes_[i].nameLength == nameLength && memcmp(base_ + nodes_[i].nameBegin, base_ + nameBegin, nameLength) == 0)
                return true;
        return false;
    }

    bool text(uint32_t index)
    {
        const char* first = ++p_;
        uint32_t units = 0;
        bool escaped = false;
        while (p_ != end_ && *p_ != '"') {
            const unsigned char c = static_cast<unsigned char>(*p_);
            int length = 1;
            if (c == '\\') {
                escaped = true;
                length = escape();
            } else if (c < 0x20) {
                return false;
            } else if (c >= 0x80) {
                length = utf8SequenceLength(reinterpret_cast<const unsigned char*>(p_),
                                            reinterpret_cast<const unsigned char*>(end_));
            }
            if (length == 0)
                return false;
            units += length == 4 ? 2 : 1;
            p_ += length;
        }
        if (p_ == end_)
            return false;
        Node& node = nodes_[index];
        node.type = QJsonValue::String;
        node.begin = uint32_t(first - base_);
        node.length = uint32_t(p_ - first);
        node.units = units;
        node.escaped = escaped;
        ++p_;
        return true;
    }

    // The length of the escape at p_, 0 when it is not one this reader takes.
    int escape() const
    {
        if (end_ - p_ < 2)
            return 0;
        if (strchr("\"\\/bfnrt", p_[1]) != nullptr && p_[1] != '\0')
            return 2;
        if (p_[1] != 'u')
            return 0;
        const int32_t code = escapedCode(p_ + 2, end_);
        if (code < 0 || (code >= 0xD800 && code <= 0xDFFF) || isLeftToQtDocument(uint32_t(code)))
            return 0;
        return 6;
    }

    bool number(uint32_t index)
    {
        const char* first = p_;
        if (*p_ == '-')
            ++p_;
        if (p_ == end_ || !isDigit(*p_))
            return false;
        bool nonZero = false;
        if (*p_ == '0')
            ++p_;
        else
            nonZero = digits();
        if (p_ != end_ && *p_ == '.') {
            ++p_;
            if (p_ == end_ || !isDigit(*p_))
                return false;
            nonZero = digits() || nonZero;
        }
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            ++p_;
            if (p_ != end_ && (*p_ == '+' || *p_ == '-'))
                ++p_;
            if (p_ == end_ || !isDigit(*p_))
                return false;
            digits();
        }
        double number = 0.0;
        const auto result = std::from_chars(first, p_, number);
        if (result.ec != std::errc() || result.ptr != p_)
            return false;
        // Zero only as written without a sign (Qt keeps "-0" as the integer 0, "-0.0" as
        // minus zero); nothing out of range or rounded to zero or below the normal doubles.
        if (number == 0.0 ? nonZero || *first == '-' : !std::isnormal(number))
            return false;
        nodes_[index].type = QJsonValue::Double;
        nodes_[index].number = number;
        return true;
    }

    // Skips digits; true when one of them is not zero.
    bool digits()
    {
        bool nonZero = false;
        for (; p_ != end_ && isDigit(*p_); ++p_)
            nonZero = nonZero || *p_ != '0';
        return nonZero;
    }

    const char* const base_;
    const char* p_;
    const char* const end_;
    std::vector<CJsonText::Node>& nodes_;
    int depth_ = 0;
};

bool CJsonText::read(const QByteArray& text)
{
    nodes_.clear();
    text_.clear();
    if (text.size() > kMaxBytes)
        return false;
    text_ = text;
    // About one value in twenty bytes of a scenario.
    nodes_.reserve(size_t(text.size() / 24) + 16);
    if (!CJsonTextScanner(text_, &nodes_).document()) {
        std::vector<Node>().swap(nodes_);
        text_.clear();
        return false;
    }
    return true;
}

CJsonText::Object CJsonText::root() const
{
    return nodes_.empty() ? Object() : Object(this, 0);
}

QLatin1String CJsonText::nameOf(uint32_t index) const
{
    const Node& n = nodes_[index];
    return QLatin1String(text_.constData() + n.nameBegin, int(n.nameLength));
}

void CJsonText::decodeText(const Node& node, std::string* out) const
{
    const char* p = text_.constData() + node.begin;
    const char* const end = p + node.length;
    if (!node.escaped) {
        out->assign(p, end);
        return;
    }
    out->clear();
    out->reserve(node.length);
    while (p != end) {
        if (*p != '\\') {
            out->push_back(*p++);
            continue;
        }
        const char kind = p[1];
        if (kind == 'u') {
            appendUtf8(uint32_t(escapedCode(p + 2, end)), out);
            p += 6;
            continue;
        }
        static const char kFrom[] = "\"\\/bfnrt";
        static const char kTo[] = "\"\\/\b\f\n\r\t";
        out->push_back(kTo[strchr(kFrom, kind) - kFrom]);
        p += 2;
    }
}

void CJsonText::Value::toText(std::string* out, int* units) const
{
    const Node& n = doc_->node(index_);
    *units = int(n.units);
    doc_->decodeText(n, out);
}

CJsonText::Object CJsonText::Value::toObject() const
{
    return type() == QJsonValue::Object ? Object(doc_, index_) : Object();
}

CJsonText::Array CJsonText::Value::toArray() const
{
    return type() == QJsonValue::Array ? Array(doc_, index_) : Array();
}

CJsonText::Value CJsonText::Object::value(QLatin1String name) const
{
    if (!doc_)
        return Value();
    const uint32_t end = doc_->node(index_).end;
    for (uint32_t i = index_ + 1; i < end; i = doc_->node(i).end)
        if (doc_->nameOf(i) == name)
            return Value(doc_, i);
    return Value();
}

CJsonText::Value CJsonText::Array::at(int i) const
{
    if (!doc_ || i < 0 || i >= size())
        return Value();
    if (lastIndex_ < 0 || i < lastIndex_) {
        lastIndex_ = 0;
        lastNode_ = index_ + 1;
    }
    for (; lastIndex_ < i; ++lastIndex_)
        lastNode_ = doc_->node(lastNode_).end;
    return Value(doc_, lastNode_);
}

} // namespace desk
