#pragma once
// The scanner's resume stack: while an entity's replacement text is being scanned, where to go
// on in the enclosing text once it ends.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TXMLParser;

struct TEntityStackNode {
    TEntityStackNode();
    TEntityStackNode(TEntityStackNode&&) noexcept;
    TEntityStackNode& operator=(TEntityStackNode&&) noexcept;
    ~TEntityStackNode();

    const char* ResumePos = nullptr;           // where scanning goes on after the replacement text
    std::string SavedEncoding;                 // TextEncoding in force when the entry was pushed
    std::unique_ptr<TXMLParser> EntityParser;  // holds an external entity's text, or none
    // The replacement text read above this entry, up to its end (its first NUL), when known.
    const char* TextBegin = nullptr;
    const char* TextEnd = nullptr;
};

class TEntityStack {
public:
    // `textEncoding` is the owning scanner's TextEncoding, saved by Push and restored by Pop.
    explicit TEntityStack(std::string& textEncoding);
    ~TEntityStack();
    TEntityStack(const TEntityStack&) = delete;
    TEntityStack& operator=(const TEntityStack&) = delete;

    int Count() const { return static_cast<int>(nodes_.size()); }
    const TEntityStackNode& Node(int index) const {
        return nodes_[static_cast<std::size_t>(index)];
    }

    void Push(const char* pos);
    void Push(std::unique_ptr<TXMLParser> entityParser, const char* pos);
    // As Push, remembering the replacement text that is read from now on (TextBegin, TextEnd).
    void Push(std::unique_ptr<TXMLParser> entityParser, const char* pos, std::string_view text);
    // Removes the top entry and returns its resume position (none when the stack is empty).
    // Restores TextEncoding when the entry saved a non-empty one. The entry's external-entity
    // scanner is kept alive until ReleaseRetired, since part positions may still point into it.
    const char* Pop();
    // Empties the stack (as Pop does, without restoring the encoding).
    void Clear();
    // Keeps a scanner whose text was read (an external subset) alive like a popped entry's.
    void Retire(std::unique_ptr<TXMLParser> parser);
    // Frees the external-entity scanners of popped entries.
    void ReleaseRetired();

private:
    std::string& encoding_;
    std::vector<TEntityStackNode> nodes_;
    std::vector<std::unique_ptr<TXMLParser>> retired_;
};
