#include "entity_stack.h"

#include "libxmlparser.h"

TEntityStackNode::TEntityStackNode() = default;
TEntityStackNode::TEntityStackNode(TEntityStackNode&&) noexcept = default;
TEntityStackNode& TEntityStackNode::operator=(TEntityStackNode&&) noexcept = default;
TEntityStackNode::~TEntityStackNode() = default;

TEntityStack::TEntityStack(std::string& textEncoding) : encoding_(textEncoding) {}
TEntityStack::~TEntityStack() = default;

void TEntityStack::Push(const char* pos) {
    Push(nullptr, pos);
}

void TEntityStack::Push(std::unique_ptr<TXMLParser> entityParser, const char* pos) {
    Push(std::move(entityParser), pos, std::string_view());
}

void TEntityStack::Push(std::unique_ptr<TXMLParser> entityParser, const char* pos,
                        std::string_view text) {
    TEntityStackNode n;
    n.ResumePos = pos;
    n.SavedEncoding = encoding_;
    n.EntityParser = std::move(entityParser);
    if (text.data() != nullptr) {
        // The scanner stops at a NUL: that is where the text ends for it.
        const std::size_t nul = text.find('\0');
        n.TextBegin = text.data();
        n.TextEnd = text.data() + (nul == std::string_view::npos ? text.size() : nul);
    }
    nodes_.push_back(std::move(n));
}

const char* TEntityStack::Pop() {
    if (nodes_.empty()) return nullptr;
    TEntityStackNode& n = nodes_.back();
    const char* pos = n.ResumePos;
    if (!n.SavedEncoding.empty()) encoding_ = n.SavedEncoding;
    if (n.EntityParser) retired_.push_back(std::move(n.EntityParser));
    nodes_.pop_back();
    return pos;
}

void TEntityStack::Clear() {
    for (auto& n : nodes_)
        if (n.EntityParser) retired_.push_back(std::move(n.EntityParser));
    nodes_.clear();
}

void TEntityStack::ReleaseRetired() {
    retired_.clear();
}

void TEntityStack::Retire(std::unique_ptr<TXMLParser> parser) {
    if (parser) retired_.push_back(std::move(parser));
}
