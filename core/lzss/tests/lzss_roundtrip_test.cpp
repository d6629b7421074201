// Packing then unpacking gives the same bytes, for random and structured
// buffers, on one codec reused across runs and on codecs of several threads.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/lzss/lzss.h"
#include "core/lzss/tests/support/lzss_fuzz_entry.h"

namespace core {
namespace {

using Bytes = std::vector<uint8_t>;

// One buffer of a shape picked by its index: random bytes, runs, short
// periods, small alphabets, words, sparse noise on zeros, and now and then a
// long mix that wraps the ring many times.
Bytes MakeBuffer(std::mt19937& rng, int index) {
  auto below = [&](uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(rng() % n); };
  auto byte = [&] { return static_cast<uint8_t>(rng()); };
  Bytes b;
  int shape = index % 7;
  size_t size = below(index % 500 == 0 ? 70000 : 700);
  switch (shape) {
  case 0:
    for (size_t i = 0; i < size; ++i)
      b.push_back(byte());
    break;
  case 1:
    while (b.size() < size)
      b.insert(b.end(), 1 + below(40), byte());
    break;
  case 2: {
    Bytes period(1 + below(40));
    for (auto& c : period)
      c = byte();
    for (size_t i = 0; i < size; ++i)
      b.push_back(period[i % period.size()]);
    break;
  }
  case 3: {
    uint32_t symbols = 2 + below(3);
    for (size_t i = 0; i < size; ++i)
      b.push_back(static_cast<uint8_t>('a' + below(symbols)));
    break;
  }
  case 4: {
    static const char* const words[] = {"la ", "lalala ", "the ", "night ", "\x81\x40", "\n"};
    while (b.size() < size) {
      std::string w = words[below(6)];
      b.insert(b.end(), w.begin(), w.end());
    }
    break;
  }
  case 5:
    b.assign(size, 0);
    for (size_t i = 0; i < size / 16; ++i)
      b[below(static_cast<uint32_t>(size))] = byte();
    break;
  default:
    // Pieces of the other shapes, so matches reach back across them.
    while (b.size() < size) {
      Bytes piece = MakeBuffer(rng, static_cast<int>(below(6)) + 7);
      b.insert(b.end(), piece.begin(), piece.end());
      if (below(3) == 0 && b.size() > 20) {
        size_t from = below(static_cast<uint32_t>(b.size() - 18));
        Bytes copy(b.begin() + from, b.begin() + from + 18);
        b.insert(b.end(), copy.begin(), copy.end());
      }
    }
    break;
  }
  return b;
}

// The ThreadSanitizer build runs these tests for the threads test; there a
// tenth of the buffers keeps the folder fast.
#if defined(__SANITIZE_THREAD__)
constexpr int kRoundTrips = 1000;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr int kRoundTrips = 1000;
#else
constexpr int kRoundTrips = 10000;
#endif
#else
constexpr int kRoundTrips = 10000;
#endif

TEST(LzssRoundTrip, TenThousandBuffersComeBackUnchanged) {
  std::mt19937 rng(20240601);
  LzssCodec codec;
  size_t plainTotal = 0, packedTotal = 0;
  for (int i = 0; i < kRoundTrips; ++i) {
    Bytes plain = MakeBuffer(rng, i);
    Bytes packed = codec.Pack(plain);
    ASSERT_LE(packed.size(), LzssMaxPackedSize(plain.size())) << i;
    auto back = codec.Unpack(packed, plain.size());
    ASSERT_TRUE(back.has_value()) << i;
    ASSERT_EQ(*back, plain) << i;
    plainTotal += plain.size();
    packedTotal += packed.size();
  }
  // The structured shapes must really have been compressed.
  EXPECT_LT(packedTotal, plainTotal * 3 / 4);
}

TEST(LzssRoundTrip, CodecsOnSeveralThreadsDoNotShareState) {
  constexpr int kThreads = 4;
  std::vector<std::vector<Bytes>> inputs(kThreads), expected(kThreads);
  std::mt19937 rng(5);
  LzssCodec reference;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < 40; ++i) {
      inputs[t].push_back(MakeBuffer(rng, i * 7 + t % 7 + 1));
      expected[t].push_back(reference.Pack(inputs[t].back()));
    }
  std::vector<int> faults(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      LzssCodec codec;
      for (size_t i = 0; i < inputs[t].size(); ++i) {
        Bytes packed = codec.Pack(inputs[t][i]);
        auto back = codec.Unpack(packed, inputs[t][i].size());
        faults[t] += packed != expected[t][i] || !back || *back != inputs[t][i];
      }
    });
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(faults, std::vector<int>(kThreads, 0));
}

// The fuzzing step over damaged real streams and random bytes, so that a
// plain test run exercises the decoder on input no encoder made.
TEST(LzssRoundTrip, FuzzStepFindsNoFaultInDamagedStreams) {
  std::mt19937 rng(77);
  LzssCodec codec;
  for (int i = 0; i < 400; ++i) {
    Bytes packed = codec.Pack(MakeBuffer(rng, i));
    for (int flips = 1 + static_cast<int>(rng() % 4); flips > 0 && !packed.empty(); --flips)
      packed[rng() % packed.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    if (i % 5 == 0 && !packed.empty())
      packed.resize(rng() % packed.size());
    uint16_t bound = static_cast<uint16_t>(rng() % 4000);
    Bytes input = {static_cast<uint8_t>(bound), static_cast<uint8_t>(bound >> 8)};
    input.insert(input.end(), packed.begin(), packed.end());
    ASSERT_EQ(testing::CheckLzssInput(input.data(), input.size()), "") << i;
  }
}

} // namespace
} // namespace core
