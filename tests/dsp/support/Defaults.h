// The default value of each of the 12 published parameters, as the parameter tree pushes them.
#pragma once

namespace testsupport {

inline constexpr float kDefaultParameters[12] = {0.1f, 0.5f, 0.8f, 0.5f, 0.5f, 1.0f,
                                                 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f};

template <class Target> void pushDefaults(Target& target) {
    for (unsigned address = 0; address < 12; ++address) {
        target.setParameter(address, kDefaultParameters[address]);
    }
}

} // namespace testsupport
