#include "core/lzss/tests/support/lzss_fuzz_entry.h"

#include <algorithm>
#include <vector>

#include "core/lzss/lzss.h"

namespace core::testing {

namespace {

// A codec that has already run on earlier inputs: its results must not differ
// from a fresh one's.
LzssCodec& UsedCodec() {
  static LzssCodec codec;
  return codec;
}

std::string CheckDecode(const uint8_t* stream, size_t size, size_t bound) {
  // One guard byte past the bound shows a write beyond the stated size.
  std::vector<uint8_t> out(bound + 1, 0xA5);
  LzssJob job{stream, size, out.data(), bound};
  LzssEnd end = UsedCodec().LzssDecode(job);
  if (job.outputCount > bound || job.inputCount > size)
    return "decoder counts beyond its buffers";
  if (out[bound] != 0xA5)
    return "decoder wrote past the output bound";
  if (end == LzssEnd::kCut && job.outputCount != bound)
    return "cut stream did not fill the output";
  if (job.outputCount > LzssMaxUnpackedSize(size))
    return "stream gave more than its largest unpacked size";

  LzssCodec fresh;
  std::vector<uint8_t> again(bound);
  LzssJob freshJob{stream, size, again.data(), again.size()};
  LzssEnd freshEnd = fresh.LzssDecode(freshJob);
  if (freshEnd != end || freshJob.outputCount != job.outputCount ||
      !std::equal(again.begin(), again.begin() + job.outputCount, out.begin()))
    return "decoder output depends on an earlier call";

  // A smaller bound gives a prefix of the same output.
  size_t half = bound / 2;
  std::vector<uint8_t> part(half);
  LzssJob partJob{stream, size, part.data(), part.size()};
  fresh.LzssDecode(partJob);
  if (partJob.outputCount != std::min(half, job.outputCount) ||
      !std::equal(part.begin(), part.begin() + partJob.outputCount, out.begin()))
    return "smaller output bound gave other bytes";
  return {};
}

std::string CheckRoundTrip(const uint8_t* data, size_t size) {
  std::vector<uint8_t> packed(LzssMaxPackedSize(size) + 1, 0xA5);
  LzssJob job{data, size, packed.data(), packed.size() - 1};
  if (!UsedCodec().LzssEncode(job))
    return "encoder refused a worst-case buffer";
  if (packed.back() != 0xA5)
    return "encoder wrote past its output buffer";
  packed.resize(job.outputCount);

  LzssCodec fresh;
  if (fresh.Pack({data, size}) != packed)
    return "encoder output depends on an earlier call";

  auto unpacked = UsedCodec().Unpack(packed, size);
  if (!unpacked)
    return "packed stream did not unpack to its size";
  if (!std::equal(unpacked->begin(), unpacked->end(), data, data + size))
    return "round trip changed the bytes";

  LzssJob decodeJob{packed.data(), packed.size(), unpacked->data(), unpacked->size()};
  if (UsedCodec().LzssDecode(decodeJob) != LzssEnd::kComplete ||
      decodeJob.inputCount != packed.size())
    return "encoder's stream did not end cleanly";
  return {};
}

} // namespace

std::string CheckLzssInput(const uint8_t* data, size_t size) {
  if (size >= 2) {
    size_t bound = data[0] | (size_t{data[1]} << 8);
    std::string fault = CheckDecode(data + 2, size - 2, bound);
    if (!fault.empty())
      return fault;
  }
  return CheckRoundTrip(data, size);
}

} // namespace core::testing
