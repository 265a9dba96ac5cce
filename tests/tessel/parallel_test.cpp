// Work split across threads: every item once, scratch slots never shared at the same time,
// and the same failure whatever the number of threads.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "tessel/tessel.h"

using tessel::parallel::parallel_for;
using tessel::parallel::threads_from;

TEST(ParallelFor, EveryItemOnceInItsOwnChunk) {
  struct Case {
    long n, grain;
    int threads;
  };
  const Case cases[] = {{0, 4, 2},   {1, 4, 2},    {7, 1, 8},   {100, 7, 2},
                        {100, 7, 3}, {1000, 1, 8}, {64, 64, 8}, {65, 64, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.n) + " items, grain " + std::to_string(c.grain) + ", " +
                 std::to_string(c.threads) + " threads");
    std::vector<std::atomic<int>> seen(static_cast<std::size_t>(c.n));
    std::vector<std::atomic<int>> busy(static_cast<std::size_t>(c.threads));
    std::atomic<int> bad{0};
    parallel_for(
        c.n, c.grain,
        [&](long begin, long end, int worker) {
          if (worker < 0 || worker >= c.threads || busy[worker].exchange(1) != 0) ++bad;
          if (begin % c.grain != 0 || end - begin > c.grain || end > c.n) ++bad;
          for (long i = begin; i < end; ++i) ++seen[static_cast<std::size_t>(i)];
          busy[worker].store(0);
        },
        c.threads);
    EXPECT_EQ(bad.load(), 0);
    for (long i = 0; i < c.n; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)].load(), 1) << i;
  }
}

TEST(ParallelFor, LowestFailedChunkIsReportedWhateverTheThreads) {
  for (const int threads : {1, 2, 8}) {
    SCOPED_TRACE(threads);
    std::vector<std::atomic<int>> ran(50);
    try {
      parallel_for(
          50, 1,
          [&](long begin, long, int) {
            ++ran[static_cast<std::size_t>(begin)];
            if (begin == 17 || begin == 30 || begin == 41)
              throw std::runtime_error("chunk " + std::to_string(begin));
          },
          threads);
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "chunk 17");
    }
    for (int i = 0; i <= 17; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)].load(), 1) << i;
  }
}

TEST(ThreadCount, ReadFromTheEnvironmentText) {
  struct Case {
    const char* text;
    int cores, expected;
    bool valid;  // taken as asked (no warning): unset, empty or a positive integer
  };
  const Case cases[] = {{nullptr, 4, 4, true}, {"", 4, 4, true},     {"1", 4, 1, true},
                        {"8", 2, 8, true},     {"0", 4, 4, false},   {"-3", 4, 4, false},
                        {"2x", 4, 4, false},   {"abc", 2, 2, false}, {"100000", 2, 256, true},
                        {nullptr, 0, 1, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(threads_from(c.text, c.cores), c.expected) << (c.text ? c.text : "(unset)");
    EXPECT_EQ(tessel::parallel::threads_text_valid(c.text), c.valid)
        << (c.text ? c.text : "(unset)");
  }
}
