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
// The correlated error is shared out between the two threads.  Its sums
// take the factor's columns one after another (mvnorm_columns), so the
// producer can run the first `split` columns on each simulation's deviates
// and hand over the partial sums, and the loop runs the rest: the same
// operations in the same order, whatever the split.  At many metrics those
// columns are most of the loop's work, at few the deviates are most of the
// producer's; so the split starts from a rough cost of each and then follows
// how far the producer runs ahead of the loop (see adapt).  The results
// never depend on it.
//
// A simulation's block (block_size floats):
//   [0, nmet)                    its RANDOM_NORMALs (the advancing ZNORMs
//                                are drawn and dropped)
//   [nmet, nmet + extra)         its bias and E1 ZNORMs
//   [nmet + extra, + nmet)       the sums of the correlated error after the
//                                columns 1 … split (the means, for split 0)
//   [2 nmet + extra]             split, as a float
// Blocks never wrap around the end of the ring: a block that would is
// placed at its start, and both sides skip the same tail.  The ring and the
// producer's copy of the factor are allocated once per run.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "engine/simulation/mvnorm.h"
#include "engine/simulation/random.h"

namespace mondrake {

class DeviateStream {
 public:
  static std::size_t block_size(int nmet, int extra) {
    return static_cast<std::size_t>(2 * nmet + extra + 1);
  }

  // extra[s], s = 1 … nsamp: the bias and E1 ZNORMs of one simulation of
  // sample s.  factor: the run's factor of nmet variates, or null to leave
  // the whole correlated error to the loop; mean[1] … mean[nmet] start the
  // sums.  Starts the producer, which owns rng until the stream is stopped
  // or destroyed; nothing else may draw from rng meanwhile.
  DeviateStream(RandomState& rng, int nmet, int nsamp, int nsim,
                const std::vector<int>& extra, std::unique_ptr<MvnormState> factor,
                const float* mean)
      : rng_(rng), nmet_(nmet), nsamp_(nsamp), nsim_(nsim), extra_(extra),
        factor_(std::move(factor)) {
    std::size_t largest = 0;
    for (int s = 1; s <= nsamp; ++s)
      largest = std::max(largest, block_size(nmet, extra[static_cast<std::size_t>(s)]));
    for (int i = 0; i < nmet; ++i) mean_[i] = mean[i + 1];
    if (factor_) split_ = first_split(nmet, largest);
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

  // The next simulation's block of `size` floats (block_size of the
  // sample's extra ZNORMs); valid until the next call.  Blocks must be
  // taken in the order they are drawn, with the sizes they have.
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

  // A first split from rough costs, in steps of the correlated error: a
  // deviate (with its share of rejected attempts and logarithms) costs
  // about 80 of them, and the loop's other work on a simulation (values,
  // indices, classes, records) about 60 per float of its block.  Columns go
  // to the producer while it still has less to do than the loop; the
  // adaptation then only has to correct this.
  static int first_split(int nmet, std::size_t largest) {
    const double block = static_cast<double>(largest);
    const double producer = 80.0 * block, others = 60.0 * block;
    double left = 0.5 * nmet * (nmet + 1.0);  // steps still on the loop
    double given = 0.0;
    int k = 0;
    while (k < nmet && producer + given + (nmet - k) <= others + left - (nmet - k)) {
      given += nmet - k;
      left -= nmet - k;
      ++k;
    }
    return k;
  }

  // Every kWindow blocks the producer looks at how far ahead of the loop it
  // is.  Further ahead than last time, or the ring about full: the loop is
  // the slower side, and the producer takes one column more.  Less far
  // ahead, or the ring about empty: the producer is the slower side and
  // gives one back.  (A pause of the loop between samples lets the producer
  // run ahead once; the next windows give that column back.)
  static constexpr std::uint64_t kWindow = 64;

  void adapt(std::uint64_t head, std::size_t size, int nmet) {
    const std::uint64_t ahead = head - consumed_.load(std::memory_order_acquire);
    const std::uint64_t margin = size;
    if ((ahead > last_ahead_ + margin || ahead + 2 * size >= capacity_) && split_ < nmet)
      ++split_;
    else if ((ahead + margin < last_ahead_ || ahead < 2 * size) && split_ > 0)
      --split_;
    last_ahead_ = ahead;
  }

  void produce() {
    // The generator runs in a local copy, which the compiler can keep in
    // registers (the ring's floats could otherwise alias its reserve, and
    // every call to log would have to see it in memory); the caller's state
    // is brought up to date whenever the producer ends.
    RandomState rng = rng_;
    produce_with(rng);
    rng_ = rng;
  }

  void produce_with(RandomState& rng) {
    const int nmet = nmet_;
    std::uint64_t head = 0, tail_seen = 0, blocks = 0;
    for (int s = 1; s <= nsamp_; ++s) {
      const int extra = extra_[static_cast<std::size_t>(s)];
      const std::size_t size = block_size(nmet, extra);
      for (int n = 1; n <= nsim_; ++n) {
        std::uint64_t pos = head;
        if (pos % capacity_ + size > capacity_) pos += capacity_ - pos % capacity_;
        const std::uint64_t end = pos + size;
        if (factor_ && ++blocks % kWindow == 0) adapt(head, size, nmet);
        if (end > tail_seen + capacity_) {
          unsigned spins = 0;
          while ((tail_seen = consumed_.load(std::memory_order_acquire)) + capacity_ < end) {
            if (stopping_.load(std::memory_order_relaxed)) return;
            pause(spins);
          }
        }
        float* out = ring_.get() + pos % capacity_;
        for (int m = 1; m <= nmet; ++m) ZNORM(rng);
        for (int m = 0; m < nmet; ++m) out[m] = RANDOM_NORMAL(rng);
        for (int k = 0; k < extra; ++k) out[nmet + k] = ZNORM(rng);
        float* sums = out + nmet + extra;
        const int split = split_;
        std::copy(mean_, mean_ + nmet, sums);
        if (split > 0) mvnorm_columns(*factor_, nmet, 1, split, out, sums);
        sums[nmet] = static_cast<float>(split);
        head = end;
        produced_.store(head, std::memory_order_release);
      }
      if (stopping_.load(std::memory_order_relaxed)) return;
    }
  }

  RandomState& rng_;
  const int nmet_, nsamp_, nsim_;
  const std::vector<int>& extra_;
  const std::unique_ptr<MvnormState> factor_;
  float mean_[kMaxMetrics];
  std::size_t capacity_ = 0;
  std::unique_ptr<float[]> ring_;
  std::thread producer_;

  // The consumer's side: the end of the last block taken, and the
  // producer's position as last seen.
  std::uint64_t tail_ = 0, head_seen_ = 0;
  alignas(64) std::atomic<std::uint64_t> produced_{0};
  alignas(64) std::atomic<std::uint64_t> consumed_{0};
  // The producer's side: the columns of the correlated error it runs (the
  // loop reads them from each block), and how far ahead it was last time.
  int split_ = 0;
  std::uint64_t last_ahead_ = 0;
  alignas(64) std::atomic<bool> stopping_{false};
};

}  // namespace mondrake
