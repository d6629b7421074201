// bench-lzss: packing and unpacking 1 MiB with the LZSS codec, for four
// kinds of content: song-like event data, text, random bytes and zeros.
//   bench-lzss [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/lzss/lzss.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
constexpr size_t kSize = 1 << 20;

// Event records much like a song's packed event data: short tick deltas,
// durations, a kind byte and a few data bytes from a small vocabulary.
Bytes EventData(std::mt19937& rng) {
  Bytes b;
  while (b.size() < kSize) {
    uint32_t delta = rng() % 4 == 0 ? 0 : 1 + rng() % 480;
    if (delta >= 128)
      b.push_back(static_cast<uint8_t>(0x80 | (delta >> 7)));
    b.push_back(static_cast<uint8_t>(delta & 0x7F));
    b.push_back(static_cast<uint8_t>(rng() % 4 == 0 ? 0 : rng() % 120));
    uint8_t kind = rng() % 8 == 0 ? 16 : 0;
    b.push_back(kind);
    b.push_back(static_cast<uint8_t>(kind ? 2 : 3));
    b.push_back(static_cast<uint8_t>(0x90 | rng() % 4));
    b.push_back(static_cast<uint8_t>(48 + rng() % 24));
    b.push_back(static_cast<uint8_t>(rng() % 2 ? 100 : 0));
    b.push_back(0);
  }
  b.resize(kSize);
  return b;
}

Bytes Text(std::mt19937& rng) {
  static const char* const words[] = {"love ",  "night ", "the ", "heart ", "shining ",
                                      "river ", "and ",   "we ",  "sing ",  "\r\n"};
  Bytes b;
  while (b.size() < kSize) {
    std::string w = words[rng() % 10];
    b.insert(b.end(), w.begin(), w.end());
  }
  b.resize(kSize);
  return b;
}

Bytes Random(std::mt19937& rng) {
  Bytes b(kSize);
  for (auto& c : b)
    c = static_cast<uint8_t>(rng());
  return b;
}

template <typename F> double MedianMs(int rounds, F run) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    run();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  std::mt19937 rng(1);
  struct Input {
    const char* name;
    Bytes data;
  };
  Input inputs[] = {{"events", EventData(rng)},
                    {"text", Text(rng)},
                    {"random", Random(rng)},
                    {"zeros", Bytes(kSize, 0)}};

  core::LzssCodec codec;
  bool ok = true;
  struct Figure {
    std::string name;
    double value;
    const char* unit;
  };
  std::vector<Figure> figures;
  double worstEncode = 0;
  for (const auto& in : inputs) {
    Bytes packed;
    double encode = MedianMs(rounds, [&] { packed = codec.Pack(in.data); });
    std::optional<Bytes> back;
    double decode = MedianMs(rounds, [&] { back = codec.Unpack(packed, in.data.size()); });
    ok &= back && *back == in.data;
    std::printf("%-8s 1 MiB  packed %8zu bytes  encode %8.2f ms  decode %8.2f ms\n", in.name,
                packed.size(), encode, decode);
    figures.push_back({std::string("lzss_encode_1mib_") + in.name, encode, "ms"});
    figures.push_back({std::string("lzss_decode_1mib_") + in.name, decode, "ms"});
    figures.push_back({std::string("lzss_ratio_") + in.name,
                       100.0 * static_cast<double>(packed.size()) / in.data.size(), "%"});
    worstEncode = std::max(worstEncode, encode);
  }
  if (!ok)
    std::fprintf(stderr, "bench-lzss: a round trip changed the data\n");
  for (const auto& f : figures)
    std::printf("%s: %.2f %s\n", f.name.c_str(), f.value, f.unit);
  std::printf("lzss_encode_1mib_worst: %.2f ms\n", worstEncode);
  return ok ? 0 : 1;
}
