// Vesk::CStringList: the list of texts that CString::Split fills.
//
// Thread: one thread at a time. Ownership: the list owns its texts (buffers released with
// std::free) and releases them when emptied or destroyed.
#pragma once

#include <cstdlib>
#include <memory>
#include <vector>

namespace Vesk {

class CStringList {
public:
    CStringList() = default;
    CStringList(CStringList&&) noexcept = default;
    CStringList& operator=(CStringList&&) noexcept = default;

    // Takes over a newly allocated terminated text (std::malloc family). False, with the text
    // released, when it cannot be stored or is absent.
    bool Append(char* text) noexcept;
    void Clear() noexcept { texts_.clear(); }
    int Count() const noexcept { return static_cast<int>(texts_.size()); }
    // Text i, or nothing for an index out of range.
    const char* operator[](int i) const noexcept {
        return i >= 0 && i < Count() ? texts_[static_cast<std::size_t>(i)].get() : nullptr;
    }

private:
    struct FreeText {
        void operator()(char* text) const noexcept { std::free(text); }
    };
    std::vector<std::unique_ptr<char, FreeText>> texts_;
};

} // namespace Vesk
