#include "Vesk/CPrinTable.h"

namespace Vesk {

namespace {
// One text per code, so the printable ones can point into it.
constexpr char kPrintable[] =
    " \0!\0\"\0#\0$\0%\0&\0'\0(\0)\0*\0+\0,\0-\0.\0/\0"
    "0\0" "1\0" "2\0" "3\0" "4\0" "5\0" "6\0" "7\0" "8\0" "9\0:\0;\0<\0=\0>\0?\0"
    "@\0A\0B\0C\0D\0E\0F\0G\0H\0I\0J\0K\0L\0M\0N\0O\0"
    "P\0Q\0R\0S\0T\0U\0V\0W\0X\0Y\0Z\0[\0\\\0]\0^\0_\0"
    "`\0a\0b\0c\0d\0e\0f\0g\0h\0i\0j\0k\0l\0m\0n\0o\0"
    "p\0q\0r\0s\0t\0u\0v\0w\0x\0y\0z\0{\0|\0}\0~";

constexpr const char* kControl[32] = {
    "<NUL>", "<SOH>", "<STX>", "<ETX>", "<EOT>", "<ENQ>", "<ACK>", "<BEL>",
    "<BS>",  "\t",    "\n",    "<VT>",  "<FF>",  "\r",    "<SO>",  "<SI>",
    "<DLE>", "<DC1>", "<DC2>", "<DC3>", "<DC4>", "<NAK>", "<SYN>", "<ETB>",
    "<CAN>", "<EM>",  "<SUB>", "<ESC>", "<FS>",  "<GS>",  "<RS>",  "<US>"};
}  // namespace

CPrinTable::CPrinTable() noexcept {
    for (int c = 0; c < 128; ++c) {
        if (c < 32)
            strings[c] = kControl[c];
        else if (c < 127)
            strings[c] = &kPrintable[2 * (c - 32)];
        else
            strings[c] = "<DEL>";
        index[c] = &strings[c];
    }
}

}  // namespace Vesk
