// Vesk::CPrinTable: a display text for each of the 128 ASCII codes. Control codes show as their
// names in angle brackets ("<NUL>", "<DEL>"), except tab, newline and carriage return, which show
// as themselves; printable codes show as the one character.
//
// Thread: any; the table is filled at construction and never changes.
#pragma once

namespace Vesk {

class CPrinTable {
public:
    CPrinTable() noexcept;
    CPrinTable(const CPrinTable&) = delete; // the index points into the object itself
    CPrinTable& operator=(const CPrinTable&) = delete;

    // The display text of an ASCII code; nothing outside 0 to 127.
    const char* operator[](int code) const noexcept {
        return code >= 0 && code < 128 ? *index[code] : nullptr;
    }

    // Entry c points at entry c of strings.
    const char* const* index[128];
    const char* strings[128];
};

} // namespace Vesk
