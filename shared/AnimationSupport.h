// Helpers private to the animation family.
#pragma once

#include <memory>
#include <string_view>
#include <utility>

#include "core/Timer.h"

inline constexpr std::string_view kNoAnimatorsWarning =
    "WARNUNG: Es sind keine Animator Objekte definiert.";
inline constexpr std::string_view kInvalidAnimatorError =
    "FEHLER: Das Animator Objekt ist ungültig.";

// Prints one line directly on standard output, on the calling thread.
void animationWarning(std::string_view line);

// Puts a new repeating timer running `block` every `interval` seconds (widened to double) in
// `timer`; a timer already there is invalidated first, so an object never has two.
void scheduleRepeating(std::shared_ptr<pf::Timer>& timer, float interval, pf::Timer::Block block);
// Invalidates and drops the timer, if any. The timer's block (and what it holds) is released
// once it has returned, so this is safe from inside it.
void invalidateTimer(std::shared_ptr<pf::Timer>& timer);

// Calls a copy of `callback`, so a callback may replace or clear itself (and what it captured)
// while it runs.
template <class F, class... Args> void notify(const F& callback, Args&&... args) {
    if (!callback) return;
    const F running = callback;
    running(std::forward<Args>(args)...);
}
