#include "Vesk/CStringList.h"

#include <new>

namespace Vesk {

bool CStringList::Append(char* text) noexcept {
    std::unique_ptr<char, FreeText> owned(text);
    if (!owned) return false;
    try {
        texts_.push_back(std::move(owned));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace Vesk
