#pragma once
// Name-value lists of the XML scanner: nodes kept sorted by name (plain byte order, with case;
// a node whose name equals existing ones goes before them, so a lookup finds the newest), and
// the attribute list of a tag.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml_types.h"

class TNvpNode {
public:
    TNvpNode() = default;
    TNvpNode(std::string name, std::string value)
        : Name(std::move(name)), Value(std::move(value)) {}
    virtual ~TNvpNode() = default;
    TNvpNode(const TNvpNode&) = delete;
    TNvpNode& operator=(const TNvpNode&) = delete;

    std::string Name;
    std::string Value;
};

// An owning list of nodes of type N (TNvpNode or a type built on it), sorted by Name. Nodes
// removed by Clear are kept as spares so that a list filled again and again (a tag's
// attributes) reuses their memory.
template <class N>
class TNvpListOf {
public:
    TNvpListOf() = default;
    TNvpListOf(const TNvpListOf&) = delete;
    TNvpListOf& operator=(const TNvpListOf&) = delete;
    virtual ~TNvpListOf() = default;

    int Count() const { return static_cast<int>(count_); }

    // Inserts `node` before the first node of an equal or greater name; returns it.
    N* Add(std::unique_ptr<N> node) {
        if (count_ < nodes_.size()) {
            nodes_[count_] = std::move(node);
        } else {
            nodes_.push_back(std::move(node));
        }
        ++count_;
        return placeLast();
    }

    // The first node named `name` (the newest of equal names), or none.
    N* Node(std::string_view name) const {
        const std::size_t i = lowerBound(name);
        return i < count_ && nodes_[i]->Name == name ? nodes_[i].get() : nullptr;
    }
    N* Node(int index) const {
        return index >= 0 && static_cast<std::size_t>(index) < count_ ? nodes_[index].get()
                                                                      : nullptr;
    }
    // Index of the first node named `name`, or -1.
    int IndexOf(std::string_view name) const {
        const std::size_t i = lowerBound(name);
        return i < count_ && nodes_[i]->Name == name ? static_cast<int>(i) : -1;
    }
    const std::string& Value(std::string_view name) const {
        const N* n = Node(name);
        return n ? n->Value : empty();
    }
    const std::string& Value(int index) const {
        const N* n = Node(index);
        return n ? n->Value : empty();
    }
    const std::string& Name(int index) const {
        const N* n = Node(index);
        return n ? n->Name : empty();
    }

    // Takes the node at `index` out of the list and hands it to the caller.
    std::unique_ptr<N> Extract(int index) {
        if (index < 0 || static_cast<std::size_t>(index) >= count_) return nullptr;
        std::unique_ptr<N> n = std::move(nodes_[index]);
        nodes_.erase(nodes_.begin() + index);
        --count_;
        return n;
    }

    void Clear() { count_ = 0; }
    // Frees the spare nodes as well.
    void Free() {
        nodes_.clear();
        count_ = 0;
    }

protected:
    // A node for reuse (a spare one when there is one), appended unsorted; call placeLast()
    // once its Name is set.
    N* appendSpare() {
        if (count_ == nodes_.size()) nodes_.push_back(std::make_unique<N>());
        if (!nodes_[count_]) nodes_[count_] = std::make_unique<N>();
        return nodes_[count_++].get();
    }
    // Sorts nodes appended with appendSpare (without placeLast) into order, newest first among
    // equal names: insertion for the usual handful, O(n log n) for many.
    void sortAppended() {
        if (count_ <= 32) {
            for (std::size_t i = 1; i < count_; ++i) {
                std::size_t j = i;
                while (j > 0 && !(std::string_view(nodes_[j - 1]->Name) < nodes_[i]->Name)) --j;
                std::rotate(nodes_.begin() + j, nodes_.begin() + i, nodes_.begin() + i + 1);
            }
            return;
        }
        std::reverse(nodes_.begin(), nodes_.begin() + count_);
        std::stable_sort(nodes_.begin(), nodes_.begin() + count_,
                         [](const auto& a, const auto& b) { return a->Name < b->Name; });
    }
    N* placeLast() {
        const std::size_t last = count_ - 1;
        const std::size_t pos = lowerBound(nodes_[last]->Name, last);
        std::rotate(nodes_.begin() + pos, nodes_.begin() + last, nodes_.begin() + last + 1);
        return nodes_[pos].get();
    }

private:
    static const std::string& empty() {
        static const std::string e;
        return e;
    }
    std::size_t lowerBound(std::string_view name) const { return lowerBound(name, count_); }
    std::size_t lowerBound(std::string_view name, std::size_t n) const {
        std::size_t lo = 0, hi = n;
        while (lo < hi) {
            const std::size_t mid = (lo + hi) / 2;
            if (std::string_view(nodes_[mid]->Name) < name)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }

    std::vector<std::unique_ptr<N>> nodes_;  // [0, count_) live, the rest spares
    std::size_t count_ = 0;
};

using TNvpList = TNvpListOf<TNvpNode>;

// An attribute of the current tag (or a pseudo-attribute of a prolog or processing instruction).
class TAttr : public TNvpNode {
public:
    using TNvpNode::TNvpNode;
    TValueType ValueSource = vtNormal;
    TAttrType DeclaredType = atUnknown;
};

class TAttrList : public TNvpListOf<TAttr> {
public:
    // Empties the list and reads attributes from `start`: name="value" or name='value' pairs
    // separated by whitespace. Stops at '>' or the end of the text, or at a character that
    // cannot start a name where a name is expected; `end` is that character.
    void Analyze(const char* start, const char*& end);
    // Adds an attribute with the given name and value (reusing spare nodes).
    TAttr* AddAttr(std::string_view name, std::string_view value, TValueType source = vtNormal);
};
