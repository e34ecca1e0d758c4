#include "AnimationSupport.h"

#include "core/Console.h"

void animationWarning(std::string_view line) { pf::Console::printLine(line); }
