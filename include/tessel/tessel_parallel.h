// Work split across threads for loops whose items are independent (analysis frames, blocks of
// a signal): each item writes only what it owns, so the results do not depend on the number of
// threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace tessel::parallel {

// Number of threads from the text of GLOTMARK_THREADS: a positive integer (at most 256) is
// taken as given; anything else (unset, empty, 0, negative, not a number) gives `cores`.
inline int threads_from(const char* text, int cores) {
  cores = std::max(1, cores);
  if (text == nullptr || *text == '\0') return cores;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (*end != '\0' || v < 1) return cores;
  return static_cast<int>(std::min(v, 256L));
}

// True when text is a number of threads that threads_from takes as given (unset and empty
// count as valid: they ask for every core).
inline bool threads_text_valid(const char* text) {
  if (text == nullptr || *text == '\0') return true;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  return *end == '\0' && v >= 1;
}

// Threads the analysis uses: GLOTMARK_THREADS when it is a positive integer (1 gives a serial
// run), else every core. Read once, on the first call.
inline int thread_count() {
  static const int n = threads_from(std::getenv("GLOTMARK_THREADS"),
                                    static_cast<int>(std::thread::hardware_concurrency()));
  return n;
}

// Calls f(begin, end, worker) for the consecutive chunks [begin, end) of [0, n), `grain` items
// each (the last one shorter), on up to `threads` threads, the calling one among them; worker
// is in [0, threads) and no two calls at the same time share it, so that it can index scratch
// buffers of the caller. Chunks are handed out in increasing order. When f throws, the chunks
// after the failed one are not started and the exception of the lowest failed chunk is rethrown
// once every thread has stopped: the same one whatever the number of threads.
template <class F>
void parallel_for(long n, long grain, F&& f, int threads = thread_count()) {
  if (n <= 0) return;
  grain = std::max(1L, grain);
  const long chunks = (n - 1) / grain + 1;
  const int workers = static_cast<int>(std::clamp<long>(threads, 1, chunks));
  if (workers == 1) {
    for (long c = 0; c < chunks; ++c) f(c * grain, std::min(n, (c + 1) * grain), 0);
    return;
  }
  std::atomic<long> next{0};
  std::atomic<long> failed_at{std::numeric_limits<long>::max()};
  std::mutex error_mutex;
  std::exception_ptr error;
  const auto work = [&](int worker) {
    for (;;) {
      const long c = next.fetch_add(1);
      if (c >= chunks || c > failed_at.load()) return;
      try {
        f(c * grain, std::min(n, (c + 1) * grain), worker);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(error_mutex);
        if (c < failed_at.load()) {
          failed_at.store(c);
          error = std::current_exception();
        }
      }
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(workers - 1));
  try {
    for (int w = 1; w < workers; ++w) pool.emplace_back(work, w);
  } catch (...) {
    // No more threads to be had: the ones started and this one share the chunks.
  }
  work(0);
  for (auto& t : pool) t.join();
  if (error) std::rethrow_exception(error);
}

}  // namespace tessel::parallel
