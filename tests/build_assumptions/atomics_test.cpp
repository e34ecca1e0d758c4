// The render thread shares parameter slots, flags and meter values with other threads as relaxed
// atomics; that is only real-time safe while those atomics are lock-free on the target.
#include <atomic>
#include <cstdint>

#include <gtest/gtest.h>

TEST(BuildAssumptions, ValuesSharedWithTheRenderThreadAreLockFreeAtomics) {
    EXPECT_TRUE(std::atomic<float>::is_always_lock_free);
    EXPECT_TRUE(std::atomic<double>::is_always_lock_free);
    EXPECT_TRUE(std::atomic<bool>::is_always_lock_free);
    EXPECT_TRUE(std::atomic<std::int64_t>::is_always_lock_free);
    EXPECT_TRUE(std::atomic<std::uint32_t>::is_always_lock_free);
}
