// The stream of deviates of the sample loop, drawn ahead on a second thread.
//
// Which deviates a simulation draws depends only on the run's inputs, never
// on the values drawn: per simulation, one ZNORM per metric that only
// advances the generator, one RANDOM_NORMAL per metric for the correlated
// sampling error, then, metric after metric, a ZNORM for the bias error of
// every observed metric with a bias SD and a ZNORM for the E1 of every
// observed metric not given as an EQR.  So one thread (the producer) can
// own the generator and draw the whole run's stream, simulation after
// simulation, into a ring buffer, while the sample loop takes each
// simulation's block of deviates from it.  The generator is still used by
// one owner in one order, so every value is the one a single thread draws.
//
// A simulation's block is its RANDOM_NORMALs followed by its bias and E1
// ZNORMs (the advancing ZNORMs are drawn and dropped).  The loop forms the
// correlated error from them itself: that keeps the two threads' shares of
// the work about even.  Blocks never wrap
// around the end of the ring: a block that would is placed at its start, and
// both sides skip the same tail.  The ring is allocated once per run.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "engine/simulation/random.h"

namespace mondrake {

class DeviateStream {
 public:
  // extra[s], s = 1 … nsamp: the bias and E1 ZNORMs of one simulation of
  // sample s.  Starts the producer, which owns rng until the stream is
  // stopped or destroyed; nothing else may draw from rng meanwhile.
  DeviateStream(RandomState& rng, int nmet, int nsamp, int nsim,
                const std::vector<int>& extra)
      : rng_(rng), nmet_(nmet), nsamp_(nsamp), nsim_(nsim), extra_(extra) {
    std::size_t largest = static_cast<std::size_t>(nmet);
    for (int s = 1; s <= nsamp; ++s)
      largest = std::max(largest, static_cast<std::size_t>(nmet + extra[static_cast<std::size_t>(s)]));
    // Room for many simulations, so that the producer keeps drawing while
    // the loop works out a sample's statistics and reports.
    capacity_ = std::max<std::size_t>(kRingFloats, 4 * largest);
    ring_ = std::make_unique<float[]>(capacity_);
    producer_ = std::thread([this] { produce(); });
  }

  DeviateStream(const DeviateStream&) = delete;
  DeviateStream& operator=(const DeviateStream&) = delete;

  // Stops the producer (wherever it is) and waits for it.  Afterwards rng
  // is the caller's again.
  ~DeviateStream() { stop(); }

  void stop() {
    if (!producer_.joinable()) return;
    stopping_.store(true, std::memory_order_relaxed);
    producer_.join();
  }

  // The next simulation's block of `size` deviates (nmet RANDOM_NORMALs,
  // then the sample's extra ZNORMs); valid until the next call.  Blocks
  // must be taken in the order they are drawn, with the sizes they have.
  const float* next(std::size_t size) {
    std::uint64_t pos = tail_;
    if (pos % capacity_ + size > capacity_) pos += capacity_ - pos % capacity_;
    const std::uint64_t end = pos + size;
    // Releases the previous block: the producer may now overwrite it.
    consumed_.store(tail_, std::memory_order_release);
    if (end > head_seen_) {
      unsigned spins = 0;
      while ((head_seen_ = produced_.load(std::memory_order_acquire)) < end) pause(spins);
    }
    tail_ = end;
    return ring_.get() + pos % capacity_;
  }

 private:
  static constexpr std::size_t kRingFloats = std::size_t{1} << 21;  // 8 MiB

  static void pause(unsigned& spins) {
    if (++spins > 64) std::this_thread::yield();
  }

  void produce() {
    std::uint64_t head = 0, tail_seen = 0;
    for (int s = 1; s <= nsamp_; ++s) {
      const int extra = extra_[static_cast<std::size_t>(s)];
      const std::size_t size = static_cast<std::size_t>(nmet_ + extra);
      for (int n = 1; n <= nsim_; ++n) {
        std::uint64_t pos = head;
        if (pos % capacity_ + size > capacity_) pos += capacity_ - pos % capacity_;
        const std::uint64_t end = pos + size;
        if (end > tail_seen + capacity_) {
          unsigned spins = 0;
          while ((tail_seen = consumed_.load(std::memory_order_acquire)) + capacity_ < end) {
            if (stopping_.load(std::memory_order_relaxed)) return;
            pause(spins);
          }
        }
        float* out = ring_.get() + pos % capacity_;
        for (int m = 1; m <= nmet_; ++m) ZNORM(rng_);
        for (int m = 0; m < nmet_; ++m) out[m] = RANDOM_NORMAL(rng_);
        for (int k = 0; k < extra; ++k) out[nmet_ + k] = ZNORM(rng_);
        head = end;
        produced_.store(head, std::memory_order_release);
      }
      if (stopping_.load(std::memory_order_relaxed)) return;
    }
  }

  RandomState& rng_;
  const int nmet_, nsamp_, nsim_;
  const std::vector<int>& extra_;
  std::size_t capacity_ = 0;
  std::unique_ptr<float[]> ring_;
  std::thread producer_;

  // The consumer's side: the end of the last block taken, and the
  // producer's position as last seen.
  std::uint64_t tail_ = 0, head_seen_ = 0;
  alignas(64) std::atomic<std::uint64_t> produced_{0};
  alignas(64) std::atomic<std::uint64_t> consumed_{0};
  alignas(64) std::atomic<bool> stopping_{false};
};

}  // namespace mondrake
