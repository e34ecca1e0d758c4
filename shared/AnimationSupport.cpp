#include "AnimationSupport.h"

#include "core/Console.h"

void animationWarning(std::string_view line) {
    pf::Console::printLine(line);
}

void scheduleRepeating(std::shared_ptr<pf::Timer>& timer, float interval, pf::Timer::Block block) {
    invalidateTimer(timer);
    timer = pf::Timer::scheduledTimer(static_cast<double>(interval), true, std::move(block));
}

void invalidateTimer(std::shared_ptr<pf::Timer>& timer) {
    if (auto running = std::move(timer)) running->invalidate();
}
