#include "Vesk/CPrinTable.h"

#include <array>
#include <cstddef>

namespace Vesk {

namespace {
// "c\0" for each printable code c from 32 to 126, so each entry can point at its own text.
constexpr auto kPrintable = [] {
    std::array<char, std::size_t{2} * 95> texts{};
    for (std::size_t i = 0; i < 95; ++i)
        texts[2 * i] = static_cast<char>(32 + i);
    return texts;
}();

constexpr const char* kControl[32] = {"<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>",
                                      "<BEL>", "<BS>",  "\t",    "\n",    "<VT>",  "<FF>",  "\r",
                                      "<SO>",  "<SI>",  "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>",
                                      "<NAK>", "<SYN>", "<ETB>", "<CAN>", "<EM>",  "<SUB>", "<ESC>",
                                      "<FS>",  "<GS>",  "<RS>",  "<US>"};
} // namespace

CPrinTable::CPrinTable() noexcept {
    for (int c = 0; c < 128; ++c) {
        if (c < 32)
            strings[c] = kControl[c];
        else if (c < 127)
            strings[c] = &kPrintable[std::size_t{2} * static_cast<std::size_t>(c - 32)];
        else
            strings[c] = "<DEL>";
        index[c] = &strings[c];
    }
}

} // namespace Vesk
