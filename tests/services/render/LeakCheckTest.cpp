// The leak check at exit runs in every test binary that makes a device: the
// GL driver's threads, however many the machine's cores give, must not stop
// it, and a leak must still be reported.

#include "tests/services/mesh/MeshTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

class LeakCheckTest : public MeshDeviceTest {};

constexpr uintptr_t kHide = 0x5A5A5A5A5A5A5A5Au;

// A block whose only pointer is hidden from the scan; made in a frame of its
// own, gone when the check runs, so no stale copy keeps it reachable.
__attribute__((noinline)) uintptr_t LeakABlock() { return reinterpret_cast<uintptr_t>(new int[64]) ^ kHide; }

TEST_F(LeakCheckTest, ALeakIsReportedWhileTheDriversThreadsRun) {
#if defined(__SANITIZE_ADDRESS__)
    ASSERT_NE(Device(), nullptr);
    // Nothing left over so far: the device and its driver hold no leak.
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
    const volatile uintptr_t hidden = LeakABlock();
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 1);
    delete[] reinterpret_cast<int*>(hidden ^ kHide);
#else
    GTEST_SKIP() << "leak detection comes with the sanitizer build";
#endif
}

}  // namespace
