// The band pool runs every band of every job exactly once and returns only when all have finished.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "imaging/BandPool.h"

TEST(BandPool, EveryBandOfEveryJobRunsOnce)
{
    for (int threads = 1; threads <= 8; ++threads) {
        BandPool pool(threads);
        EXPECT_EQ(pool.threads(), threads);
        for (int count : { 1, 2, 3, 8, 17 }) {
            for (int job = 0; job < 20; ++job) {
                std::vector<std::atomic<int>> runs(static_cast<size_t>(count));
                auto task = [&runs](int band) { runs[size_t(band)].fetch_add(1); };
                pool.Run(count, task);
                // Run has returned: every band has finished, none ran twice.
                for (int band = 0; band < count; ++band)
                    ASSERT_EQ(runs[size_t(band)].load(), 1) << threads << " threads, band " << band;
            }
        }
    }
}

TEST(BandPool, NoBandsIsNothingToDo)
{
    BandPool pool(3);
    int calls = 0;
    auto task = [&calls](int) { ++calls; };
    pool.Run(0, task);
    EXPECT_EQ(calls, 0);
}
