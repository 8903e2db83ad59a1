#include "dtd_defs.h"

std::size_t TElemList::lowerBound(std::string_view name) const {
    std::size_t lo = 0, hi = elems_.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (std::string_view(elems_[mid]->Name) < name)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

TElemDef* TElemList::Node(std::string_view name) const {
    const std::size_t i = lowerBound(name);
    return i < elems_.size() && elems_[i]->Name == name ? elems_[i].get() : nullptr;
}

TElemDef* TElemList::Node(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < elems_.size() ? elems_[index].get()
                                                                         : nullptr;
}

TElemDef* TElemList::Add(std::unique_ptr<TElemDef> def) {
    const std::size_t i = lowerBound(def->Name);
    return elems_.insert(elems_.begin() + static_cast<std::ptrdiff_t>(i), std::move(def))->get();
}
