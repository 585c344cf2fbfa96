// DetectProcessor on the machine running the tests.
#include <gtest/gtest.h>

#include <cstring>

#include "imaging/ProcessorInfo.h"

TEST(ProcessorInfo, Detect_ReportsWhatRunsHere)
{
    ProcessorInfo info;
    const uint32_t reported = DetectProcessor(&info);
    EXPECT_EQ(reported, info.reported);
    // Only features that are reported can be usable.
    EXPECT_EQ(info.usable & ~info.reported, 0u);
#if defined(__x86_64__)
    // Every x86-64 processor has MMX, SSE and SSE2, and every x86-64 system runs them.
    EXPECT_EQ(info.reported & 7u, 7u);
    EXPECT_EQ(info.usable & 7u, 7u);
    EXPECT_EQ(std::strlen(info.vendor), 12u);
    EXPECT_GT(info.family, 0);
#else
    EXPECT_EQ(reported, 0u);
#endif
    EXPECT_EQ(DetectProcessor(nullptr), 0u);
}
