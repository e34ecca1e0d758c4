// The interface layer's thread rule: views, windows, contexts and backends belong to the main
// thread. Debug builds report a call from another thread through the platform's check handler.
#pragma once

#include "core/Check.h"
#include "core/RunLoop.h"

namespace pf {

inline void requireMainThread([[maybe_unused]] const char* what) {
#ifndef NDEBUG
    if (!RunLoop::isMainThread()) checkFailed(what);
#endif
}

} // namespace pf
