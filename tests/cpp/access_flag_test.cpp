// The ChunksIter borrow flag: what each guard refuses, and that threads
// taking it at once never both hold exclusive access, nor a reader beside
// a writer (free-threaded builds step one instance from several threads).
#include "chunks/access_flag.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <latch>
#include <thread>
#include <vector>

namespace {

using ostrel::chunks::exclusive_flag;
using ostrel::chunks::ExclusiveAccess;
using ostrel::chunks::SharedAccess;

TEST(AccessFlag, EachGuardRefusesWhatItMust) {
    alignas(std::atomic_ref<std::size_t>::required_alignment) std::size_t flag = 0;
    {
        SharedAccess first(flag);
        SharedAccess second(flag);
        EXPECT_TRUE(first.held() && second.held());
        EXPECT_EQ(flag, 2u);
        ExclusiveAccess writer(flag);
        EXPECT_FALSE(writer.held());
    }
    EXPECT_EQ(flag, 0u);
    {
        ExclusiveAccess writer(flag);
        EXPECT_TRUE(writer.held());
        ExclusiveAccess again(flag);  // a nested step
        SharedAccess reader(flag);    // __iter__ from within a step
        EXPECT_FALSE(again.held() || reader.held());
        EXPECT_EQ(flag, exclusive_flag);
    }
    EXPECT_EQ(flag, 0u);
}

TEST(AccessFlag, ThreadsNeverShareExclusiveAccess) {
    alignas(std::atomic_ref<std::size_t>::required_alignment) std::size_t flag = 0;
    std::atomic<int> writers{0};
    std::atomic<int> readers{0};
    std::atomic<long> overlaps{0};
    std::atomic<long> steps{0};
    long counted = 0;  // changed only under exclusive access, without atomics
    const unsigned threads = std::max(4u, std::thread::hardware_concurrency());
    constexpr int rounds = 1000000;

    std::latch start(threads);  // all threads begin together
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int i = 0; i < rounds; ++i) {
                if ((i + t) % 4 == 0) {
                    SharedAccess reader(flag);
                    if (!reader.held()) continue;
                    readers.fetch_add(1);
                    if (writers.load() != 0) overlaps.fetch_add(1);
                    readers.fetch_sub(1);
                    continue;
                }
                ExclusiveAccess writer(flag);
                if (!writer.held()) continue;
                if (writers.fetch_add(1) != 0 || readers.load() != 0) overlaps.fetch_add(1);
                ++counted;
                steps.fetch_add(1);
                writers.fetch_sub(1);
            }
        });
    }
    for (std::thread& thread : pool) thread.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(counted, steps.load());
    EXPECT_GT(steps.load(), 0);
    EXPECT_EQ(flag, 0u);
}

}  // namespace
