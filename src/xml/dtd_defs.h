#pragma once
// Declarations read from a document type declaration: elements with their attribute
// declarations, entities and notations, and the record handed to TXMLParser::DtdElementFound.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nvp_list.h"

// One declared attribute: Name is the attribute's name, Value its default value.
class TAttrDef : public TNvpNode {
public:
    using TNvpNode::TNvpNode;
    TAttrType AttrType = atUnknown;
    TAttrDefault DefaultType = adDefault;
    std::string TypeDef;    // enumeration text, e.g. "(a|b|c)"
    std::string Notations;  // notation list text, e.g. "(gif|jpeg)"
};

// One declared element and the attributes declared for it.
class TElemDef : public TNvpListOf<TAttrDef> {
public:
    std::string Name;
    TElemType ElemType = etAny;
    std::string Definition;  // the content model without whitespace
};

// The declared elements, sorted by name.
class TElemList {
public:
    int Count() const { return static_cast<int>(elems_.size()); }
    TElemDef* Node(std::string_view name) const;
    TElemDef* Node(int index) const;
    // Inserts `def` keeping the order (before elements of the same name); returns it.
    TElemDef* Add(std::unique_ptr<TElemDef> def);
    void Clear() { elems_.clear(); }

private:
    std::size_t lowerBound(std::string_view name) const;
    std::vector<std::unique_ptr<TElemDef>> elems_;
};

// A declared entity: Name and replacement text (Value; empty for an external entity).
class TEntityDef : public TNvpNode {
public:
    using TNvpNode::TNvpNode;
    std::string SystemId;
    std::string PublicId;
    std::string NotationName;  // after NDATA
};

// A declared notation: Name and system literal (Value).
class TNotationDef : public TNvpNode {
public:
    using TNvpNode::TNvpNode;
    std::string PublicId;
};

using TEntityList = TNvpListOf<TEntityDef>;
using TNotationList = TNvpListOf<TNotationDef>;

// What DtdElementFound is told about one item of a document type declaration.
struct TDtdElementRec {
    const char* Start = nullptr;  // first character of the item
    const char* Final = nullptr;  // last character of the item
    TDtdElemType ElementType = deError;
    TElemDef* ElemDef = nullptr;          // deElement, deAttList
    TEntityDef* EntityDef = nullptr;      // deEntity
    TNotationDef* NotationDef = nullptr;  // deNotation
    std::string Target;                   // dePI
    std::string Content;                  // dePI
    const TAttrList* AttrList = nullptr;  // dePI
};
