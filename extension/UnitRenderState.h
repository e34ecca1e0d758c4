// What the unit's render block shares with the unit and with the limiter's pull block: the
// output list of the cycle in progress. Written at the start of every cycle on the render
// thread, read by the pull block within the same cycle; kept after it.
#pragma once

#include <atomic>

#include "Orvex_Compressor_Extension_AudioUnit.h"

struct Orvex_Compander_Extension_AudioUnit::RenderState {
    std::atomic<pf::AudioBufferList*> currentOuputData{nullptr};
};
