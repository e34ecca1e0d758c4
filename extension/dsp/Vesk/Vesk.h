// The Vesk utility classes: CData, CString, CStringList, CPrinTable and the namespace objects
// (hextable, PrinTable, invalid, empty).
#pragma once

#include "Vesk/CData.h"
#include "Vesk/CPrinTable.h"
#include "Vesk/CString.h"
#include "Vesk/CStringList.h"
