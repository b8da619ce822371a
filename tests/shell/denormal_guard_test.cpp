#include <gtest/gtest.h>

#include <limits>

#include "shell/denormal_guard.h"

namespace {

#if defined(__SSE__)
// Results below the normal range become 0 inside the guard, and only there.
TEST(DenormalGuard, FlushesInsideAndRestoresOutside) {
    volatile float smallest = std::numeric_limits<float>::min();  // volatile: computed at run time
    volatile float denormal = std::numeric_limits<float>::denorm_min();
    const unsigned hostMode = _mm_getcsr();
    {
        const shell::DenormalGuard guard;
        EXPECT_EQ(smallest * 0.5f, 0.0f);
        EXPECT_EQ(denormal + 0.0f, 0.0f);  // denormal inputs count as 0
        EXPECT_EQ(smallest * 2.0f, std::numeric_limits<float>::min() * 2.0f);
    }
    EXPECT_EQ(_mm_getcsr(), hostMode);
    EXPECT_GT(smallest * 0.5f, 0.0f);
}
#endif

}  // namespace
