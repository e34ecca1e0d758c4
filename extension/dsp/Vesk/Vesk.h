// The Vesk utility classes: CData, CString, CStringList, CPrinTable and the namespace objects
// (hextable, PrinTable, invalid, empty).
//
// Every source file that includes this header has its own PrinTable, invalid and empty (internal
// linkage): they are built, in that order, when the program or module holding the file loads, and
// destroyed at exit. Nothing needs to use them; building them is their whole effect, so each copy
// counts in CData::count and CString::count while it lives.
#pragma once

#include "Vesk/CData.h"
#include "Vesk/CPrinTable.h"
#include "Vesk/CString.h"
#include "Vesk/CStringList.h"

namespace Vesk {

static const CPrinTable PrinTable;
static CString invalid("null");
static CString empty(" ");

} // namespace Vesk
