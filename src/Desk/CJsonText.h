#pragma once
// A JSON text read in one pass into a flat list of its values, for the scenario reader.
// Much lighter than Qt's document (no copy of the names and texts, no per-value objects),
// it reads only plain JSON that Qt's parser reads to the same values, and refuses the rest
// (then the caller reads the text with Qt's parser, which names the problem):
//   - the document is one object; names are plain ASCII without escapes, each once in its
//     object (an object of at most kMaxMembers);
//   - texts are well-formed UTF-8 without raw control characters, noncharacters or escaped
//     surrogates;
//   - numbers are finite normal doubles in JSON's own notation, zero without a sign;
//   - at most kMaxDepth levels, at most kMaxBytes.

#include <QByteArray>
#include <QJsonValue>
#include <QLatin1String>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace desk {

class CJsonText {
public:
    static constexpr int kMaxDepth = 64;
    static constexpr uint32_t kMaxMembers = 64;
    static constexpr int kMaxBytes = 256 << 20;

    class View;
    class Value;
    class Object;
    class Array;

    // False when the text is not plain JSON as above; the list is then empty.
    bool read(const QByteArray& text);
    Object root() const;

private:
    friend class CJsonTextScanner;

    struct Node {
        QJsonValue::Type type = QJsonValue::Undefined;
        bool escaped = false;       // a text holding escapes
        uint32_t nameBegin = 0;     // a member's name within the text
        uint32_t nameLength = 0;
        uint32_t begin = 0;         // a text's bytes between its quotes
        uint32_t length = 0;
        uint32_t units = 0;         // a text's length in UTF-16 units; members or elements of a container
        uint32_t end = 0;           // the node after this one and everything inside it
        double number = 0.0;        // a number, or a boolean as 0 and 1
    };

    const Node& node(uint32_t index) const { return nodes_[index]; }
    QLatin1String nameOf(uint32_t index) const;
    void decodeText(const Node& node, std::string* out) const;

    QByteArray text_;
    std::vector<Node> nodes_;
};

// What a value, an object and an array are: a document and one of its nodes.
class CJsonText::View {
protected:
    View() = default;
    View(const CJsonText* doc, uint32_t index) : doc_(doc), index_(index) {}
    const CJsonText* doc_ = nullptr;
    uint32_t index_ = 0;
};

class CJsonText::Value : public View {
public:
    Value() = default;
    QJsonValue::Type type() const { return doc_ ? doc_->node(index_).type : QJsonValue::Undefined; }
    double toDouble() const { return doc_->node(index_).number; }
    bool toBool() const { return doc_->node(index_).number != 0.0; }
    // The text as UTF-8 and its length in UTF-16 units (as QString counts it).
    void toText(std::string* out, int* units) const;
    Object toObject() const;
    Array toArray() const;

private:
    friend class CJsonText;
    Value(const CJsonText* doc, uint32_t index) : View(doc, index) {}
};

class CJsonText::Object : public View {
public:
    Object() = default;
    // Undefined when the object has no such member.
    Value value(QLatin1String name) const;
    bool isEmpty() const { return !doc_ || doc_->node(index_).units == 0; }
    // fn(name, value) for each member in the order written; stops at the first false.
    template <class Fn>
    bool forEachMember(Fn fn) const
    {
        const uint32_t end = doc_ ? doc_->node(index_).end : 0;
        for (uint32_t i = index_ + 1; i < end; i = doc_->node(i).end)
            if (!fn(QString(doc_->nameOf(i)), Value(doc_, i)))
                return false;
        return true;
    }

private:
    friend class CJsonText;
    Object(const CJsonText* doc, uint32_t index) : View(doc, index) {}
};

// Elements are read in order: at(i) after at(i - 1) is one step, not a walk from the start.
class CJsonText::Array : public View {
public:
    Array() = default;
    int size() const { return doc_ ? int(doc_->node(index_).units) : 0; }
    Value at(int i) const;

private:
    friend class CJsonText;
    Array(const CJsonText* doc, uint32_t index) : View(doc, index) {}
    mutable int lastIndex_ = -1;     // the element found last, and its node
    mutable uint32_t lastNode_ = 0;
};

} // namespace desk
