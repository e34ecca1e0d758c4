// Helpers private to the animation family.
#pragma once

#include <string_view>

inline constexpr std::string_view kNoAnimatorsWarning =
    "WARNUNG: Es sind keine Animator Objekte definiert.";
inline constexpr std::string_view kInvalidAnimatorError = "FEHLER: Das Animator Objekt ist ungültig.";

// Prints one line directly on standard output, on the calling thread.
void animationWarning(std::string_view line);
