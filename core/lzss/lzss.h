// The LZSS codec of the suite's packed song data and compressed album rolls: a
// 4096-byte ring cleared to zero before every run, an 18-byte look-ahead,
// references of 3 to 18 bytes, and a binary tree of ring positions for the
// encoder's match search. Each codec object owns its ring and tree, so
// separate objects may run on separate threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace core {

// One request: the caller's input and output buffers. The codec sets
// outputCount (bytes written) and inputCount (bytes consumed).
struct LzssJob {
  const uint8_t* input = nullptr;
  size_t inputSize = 0;
  uint8_t* output = nullptr;
  size_t outputSize = 0; // capacity; for decoding, the unpacked size the caller expects
  size_t outputCount = 0;
  size_t inputCount = 0;
};

// How a decode ended.
enum class LzssEnd {
  kComplete,  // the input ended where a stream may end
  kTruncated, // the input ended inside a reference, or before an item a stream must hold
  kCut,       // the stream would give more than the output holds
};

// Largest packed size of n input bytes: every item a literal, one flag byte
// per eight of them.
constexpr size_t LzssMaxPackedSize(size_t n) {
  return n + (n + 7) / 8;
}

// Largest unpacked size a stream of n packed bytes can give: groups of one
// flag byte and eight references of 18 bytes each. Callers refuse a stated
// unpacked size above this before allocating for it.
constexpr size_t LzssMaxUnpackedSize(size_t n) {
  size_t groups = n / 17, rest = n % 17;
  size_t tail = rest == 0 ? 0 : (rest - 1) / 2 * 18 + (rest - 1) % 2;
  return groups * 144 + tail;
}

class LzssCodec {
public:
  static constexpr int kRingSize = 4096;
  static constexpr int kLookAhead = 18;
  static constexpr int kThreshold = 2;
  static constexpr int kFirstWrite = kRingSize - kLookAhead; // 4078
  static constexpr int kNone = kRingSize;

  LzssCodec();

  // Packs the whole input. Returns false, with outputCount 0, when the output
  // buffer is too small; LzssMaxPackedSize(inputSize) always suffices.
  bool LzssEncode(LzssJob& job);

  // Unpacks until the input is used up or the output is full, never writing
  // more than outputSize bytes.
  LzssEnd LzssDecode(LzssJob& job);

  // Convenience forms over byte spans.
  std::vector<uint8_t> Pack(std::span<const uint8_t> input);
  // The unpacked bytes, or nothing when unpackedSize cannot come from a stream
  // of this length or the stream gives fewer bytes. Like LzssDecode, a stream
  // that would give more is cut at unpackedSize.
  std::optional<std::vector<uint8_t>> Unpack(std::span<const uint8_t> packed, size_t unpackedSize);

private:
  void LzssInitTree();
  void LzssInsertNode(int r);
  void LzssDeleteNode(int p);

  // The ring plus mirror bytes after its end, so that an 18-byte comparison
  // never wraps.
  std::vector<uint8_t> ring_;
  // Children and parents of ring positions; the right-child array carries one
  // root per first byte value after the ring's positions and the "none" slot.
  std::vector<uint16_t> left_, right_, parent_;
  int matchPosition_ = 0;
  int matchLength_ = 0;
};

} // namespace core
