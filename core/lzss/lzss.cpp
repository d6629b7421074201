#include "core/lzss/lzss.h"

#include <algorithm>

namespace core {

namespace {

constexpr int kRingMask = LzssCodec::kRingSize - 1;
constexpr int kMirror = LzssCodec::kLookAhead - 1;
constexpr int kRoots = 256;

} // namespace

LzssCodec::LzssCodec()
    : ring_(kRingSize + kMirror), left_(kRingSize + 1), right_(kRingSize + 1 + kRoots),
      // The "none" slot takes the parent writes made for absent children.
      parent_(kRingSize + 1) {}

void LzssCodec::LzssInitTree() {
  std::fill(right_.begin() + kRingSize + 1, right_.end(), kNone);
  std::fill(parent_.begin(), parent_.end(), kNone);
}

// Hangs the string at r into the tree and records the longest earlier match.
// Among strings of equal match length the first one met on the way down wins;
// a full match replaces the older position, so later matches prefer the
// nearer copy.
void LzssCodec::LzssInsertNode(int r) {
  const uint8_t* key = &ring_[r];
  int cmp = 1;
  int p = kRingSize + 1 + key[0];
  right_[r] = left_[r] = kNone;
  matchLength_ = 0;
  for (;;) {
    if (cmp >= 0) {
      if (right_[p] == kNone) {
        right_[p] = static_cast<uint16_t>(r);
        parent_[r] = static_cast<uint16_t>(p);
        return;
      }
      p = right_[p];
    } else {
      if (left_[p] == kNone) {
        left_[p] = static_cast<uint16_t>(r);
        parent_[r] = static_cast<uint16_t>(p);
        return;
      }
      p = left_[p];
    }
    const uint8_t* other = &ring_[p];
    int i = 1;
    for (; i < kLookAhead; ++i) {
      cmp = key[i] - other[i];
      if (cmp != 0)
        break;
    }
    if (i > matchLength_) {
      matchPosition_ = p;
      matchLength_ = i;
      if (i >= kLookAhead)
        break;
    }
  }
  parent_[r] = parent_[p];
  left_[r] = left_[p];
  right_[r] = right_[p];
  parent_[left_[p]] = static_cast<uint16_t>(r);
  parent_[right_[p]] = static_cast<uint16_t>(r);
  if (right_[parent_[p]] == p)
    right_[parent_[p]] = static_cast<uint16_t>(r);
  else
    left_[parent_[p]] = static_cast<uint16_t>(r);
  parent_[p] = kNone;
}

void LzssCodec::LzssDeleteNode(int p) {
  if (parent_[p] == kNone)
    return;
  int q;
  if (right_[p] == kNone) {
    q = left_[p];
  } else if (left_[p] == kNone) {
    q = right_[p];
  } else {
    q = left_[p];
    if (right_[q] != kNone) {
      do {
        q = right_[q];
      } while (right_[q] != kNone);
      right_[parent_[q]] = left_[q];
      parent_[left_[q]] = parent_[q];
      left_[q] = left_[p];
      parent_[left_[p]] = static_cast<uint16_t>(q);
    }
    right_[q] = right_[p];
    parent_[right_[p]] = static_cast<uint16_t>(q);
  }
  parent_[q] = parent_[p];
  if (right_[parent_[p]] == p)
    right_[parent_[p]] = static_cast<uint16_t>(q);
  else
    left_[parent_[p]] = static_cast<uint16_t>(q);
  parent_[p] = kNone;
}

bool LzssCodec::LzssEncode(LzssJob& job) {
  const uint8_t* in = job.input;
  const size_t inSize = in ? job.inputSize : 0;
  uint8_t* out = job.output;
  const size_t outSize = out ? job.outputSize : 0;
  size_t inPos = 0, outPos = 0;
  job.outputCount = 0;
  job.inputCount = 0;

  LzssInitTree();
  // The whole ring, mirror included, starts as zeros on every run, so the
  // output never depends on an earlier call.
  std::fill(ring_.begin(), ring_.end(), uint8_t{0});
  int s = 0, r = kFirstWrite;
  int len = 0;
  while (len < kLookAhead && inPos < inSize)
    ring_[r + len++] = in[inPos++];
  if (len == 0)
    return true;
  for (int i = 1; i <= kLookAhead; ++i)
    LzssInsertNode(r - i);
  LzssInsertNode(r);

  uint8_t group[1 + 2 * 8];
  group[0] = 0;
  int groupSize = 1;
  unsigned mask = 1;
  auto flush = [&] {
    if (outSize - outPos < static_cast<size_t>(groupSize))
      return false;
    std::copy(group, group + groupSize, out + outPos);
    outPos += groupSize;
    group[0] = 0;
    groupSize = 1;
    mask = 1;
    return true;
  };
  auto fail = [&] {
    job.outputCount = 0;
    job.inputCount = 0;
    return false;
  };

  do {
    if (matchLength_ > len)
      matchLength_ = len;
    if (matchLength_ <= kThreshold) {
      matchLength_ = 1;
      group[0] |= static_cast<uint8_t>(mask);
      group[groupSize++] = ring_[r];
    } else {
      group[groupSize++] = static_cast<uint8_t>(matchPosition_ & 0xFF);
      group[groupSize++] =
          static_cast<uint8_t>(((matchPosition_ >> 4) & 0xF0) | (matchLength_ - (kThreshold + 1)));
    }
    mask <<= 1;
    if (mask == 0x100 && !flush())
      return fail();

    const int coded = matchLength_;
    int i = 0;
    for (; i < coded && inPos < inSize; ++i) {
      LzssDeleteNode(s);
      uint8_t c = in[inPos++];
      ring_[s] = c;
      if (s < kMirror)
        ring_[s + kRingSize] = c;
      s = (s + 1) & kRingMask;
      r = (r + 1) & kRingMask;
      LzssInsertNode(r);
    }
    for (; i < coded; ++i) {
      LzssDeleteNode(s);
      s = (s + 1) & kRingMask;
      r = (r + 1) & kRingMask;
      if (--len != 0)
        LzssInsertNode(r);
    }
  } while (len > 0);
  if (groupSize > 1 && !flush())
    return fail();
  job.outputCount = outPos;
  job.inputCount = inPos;
  return true;
}

LzssEnd LzssCodec::LzssDecode(LzssJob& job) {
  const uint8_t* in = job.input;
  const size_t inSize = in ? job.inputSize : 0;
  uint8_t* out = job.output;
  const size_t outSize = out ? job.outputSize : 0;
  size_t inPos = 0, outPos = 0;
  auto finish = [&](LzssEnd end) {
    job.outputCount = outPos;
    job.inputCount = inPos;
    return end;
  };

  // All of the ring, not only the part before the first write position: a
  // reference may read positions 4078-4095 before anything was written there.
  std::fill(ring_.begin(), ring_.begin() + kRingSize, uint8_t{0});
  int r = kFirstWrite;
  unsigned flags = 0;
  int items = 0; // items read in the current group
  for (;;) {
    if (outPos == outSize)
      return finish(inPos < inSize ? LzssEnd::kCut : LzssEnd::kComplete);
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      // A stream may end after a full group.
      if (inPos == inSize)
        return finish(LzssEnd::kComplete);
      flags = in[inPos++] | 0xFF00u;
      items = 0;
    }
    if (flags & 1) {
      if (inPos == inSize)
        return finish(LzssEnd::kTruncated);
      uint8_t c = in[inPos++];
      out[outPos++] = c;
      ring_[r] = c;
      r = (r + 1) & kRingMask;
    } else {
      // A last group leaves its unused flag bits 0, so the input may end
      // where a reference would begin, but not before the group's first item
      // nor between a reference's two bytes.
      if (inPos == inSize)
        return finish(items == 0 ? LzssEnd::kTruncated : LzssEnd::kComplete);
      if (inSize - inPos < 2) {
        inPos = inSize;
        return finish(LzssEnd::kTruncated);
      }
      int b1 = in[inPos++];
      int b2 = in[inPos++];
      int position = b1 | ((b2 & 0xF0) << 4);
      int length = (b2 & 0x0F) + kThreshold + 1;
      for (int k = 0; k < length; ++k) {
        if (outPos == outSize)
          return finish(LzssEnd::kCut);
        uint8_t c = ring_[(position + k) & kRingMask];
        out[outPos++] = c;
        ring_[r] = c;
        r = (r + 1) & kRingMask;
      }
    }
    ++items;
  }
}

std::vector<uint8_t> LzssCodec::Pack(std::span<const uint8_t> input) {
  std::vector<uint8_t> out(LzssMaxPackedSize(input.size()));
  LzssJob job{input.data(), input.size(), out.data(), out.size()};
  LzssEncode(job);
  out.resize(job.outputCount);
  return out;
}

std::optional<std::vector<uint8_t>> LzssCodec::Unpack(std::span<const uint8_t> packed,
                                                      size_t unpackedSize) {
  if (unpackedSize > LzssMaxUnpackedSize(packed.size()))
    return std::nullopt;
  std::vector<uint8_t> out(unpackedSize);
  LzssJob job{packed.data(), packed.size(), out.data(), out.size()};
  LzssDecode(job);
  if (job.outputCount != unpackedSize)
    return std::nullopt;
  return out;
}

} // namespace core
