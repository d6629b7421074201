#include "platform/sys/codepage.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <mutex>

namespace sys {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

struct CodePageInfo {
  int codePage;
  const char* iconvName;
};

// The code pages the system knows; anything else is read as 1252.
constexpr std::array<CodePageInfo, 5> kCodePages = {{
    {949, "CP949"},
    {932, "CP932"},
    {936, "CP936"},
    {950, "CP950"},
    {1252, "CP1252"},
}};

size_t CodePageSlot(int codePage) {
  for (size_t i = 0; i < kCodePages.size(); ++i) {
    if (kCodePages[i].codePage == codePage)
      return i;
  }
  return kCodePages.size() - 1; // 1252
}

bool InRange(uint8_t b, uint8_t lo, uint8_t hi) {
  return b >= lo && b <= hi;
}

// A byte that may follow a lead byte. Only used to decide how much of an
// unconvertible sequence one replacement character stands for.
bool IsTrailByte(uint8_t b, int codePage) {
  switch (codePage) {
  case 949:
    return InRange(b, 0x41, 0x5A) || InRange(b, 0x61, 0x7A) || InRange(b, 0x81, 0xFE);
  case 932:
    return InRange(b, 0x40, 0x7E) || InRange(b, 0x80, 0xFC);
  case 936:
    return InRange(b, 0x40, 0x7E) || InRange(b, 0x80, 0xFE);
  case 950:
    return InRange(b, 0x40, 0x7E) || InRange(b, 0xA1, 0xFE);
  default:
    return false;
  }
}

// One iconv descriptor per code page and direction, per thread: descriptors
// carry conversion state and must not be shared between threads.
class Converters {
public:
  static iconv_t Open(size_t slot, bool toUtf8) {
    const char* cp = kCodePages[slot].iconvName;
    return toUtf8 ? iconv_open("UTF-8", cp) : iconv_open(cp, "UTF-8");
  }

  // The first descriptor of each kind is opened once for the process and
  // never closed, so the conversion module it loads stays loaded: a thread's
  // descriptors closing at its exit then never unload a module while another
  // thread is loading it.
  static void KeepModuleLoaded(size_t slot, bool toUtf8) {
    static std::once_flag once[kCodePages.size()][2];
    [[maybe_unused]] static iconv_t kept[kCodePages.size()][2];
    int dir = toUtf8 ? 0 : 1;
    std::call_once(once[slot][dir], [&] { kept[slot][dir] = Open(slot, toUtf8); });
  }

  ~Converters() {
    for (auto& row : cds_) {
      for (iconv_t& cd : row) {
        if (cd != Invalid())
          iconv_close(cd);
      }
    }
  }

  // toUtf8: code page -> UTF-8; otherwise UTF-8 -> code page. Returns an
  // invalid descriptor when the system's iconv lacks the code page.
  iconv_t Get(size_t slot, bool toUtf8) {
    iconv_t& cd = cds_[slot][toUtf8 ? 0 : 1];
    if (cd == Invalid()) {
      KeepModuleLoaded(slot, toUtf8);
      cd = Open(slot, toUtf8);
    }
    if (cd != Invalid())
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return cd;
  }

  static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }

private:
  using Row = std::array<iconv_t, 2>;
  std::array<Row, kCodePages.size()> cds_ = [] {
    std::array<Row, kCodePages.size()> a;
    for (auto& row : a)
      row.fill(Invalid());
    return a;
  }();
};

iconv_t Converter(int codePage, bool toUtf8) {
  thread_local Converters converters;
  return converters.Get(CodePageSlot(codePage), toUtf8);
}

enum class Stop { Done, Invalid, Incomplete };

// Converts as much of in as iconv accepts, appending to out; in is advanced
// past what was converted.
Stop ConvertRun(iconv_t cd, std::string_view& in, std::string& out) {
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  while (true) {
    size_t used = out.size();
    out.resize(used + srcLeft * 4 + 16);
    char* dst = out.data() + used;
    size_t dstLeft = out.size() - used;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    int err = errno;
    out.resize(out.size() - dstLeft);
    in = std::string_view(src, srcLeft);
    if (r != static_cast<size_t>(-1))
      return srcLeft == 0 ? Stop::Done : Stop::Invalid;
    if (err == E2BIG)
      continue;
    return err == EINVAL ? Stop::Incomplete : Stop::Invalid;
  }
}

// The length of the UTF-8 sequence at the start of s when it is well formed,
// else 1: one '?' then stands for one undecodable byte.
size_t Utf8SequenceLength(std::string_view s) {
  uint8_t b = static_cast<uint8_t>(s[0]);
  size_t n = b < 0x80                 ? 1
             : b >= 0xC2 && b <= 0xDF ? 2
             : b >= 0xE0 && b <= 0xEF ? 3
             : b >= 0xF0 && b <= 0xF4 ? 4
                                      : 1;
  if (n > s.size())
    return 1;
  for (size_t i = 1; i < n; ++i) {
    if ((static_cast<uint8_t>(s[i]) & 0xC0) != 0x80)
      return 1;
  }
  return n;
}

// Shared by FromUtf8 and FromUtf8Lossy: nullopt on the first character
// without a form when lossy is false.
std::optional<std::string> EncodeUtf8(std::string_view utf8, int codePage, bool lossy) {
  std::string out;
  iconv_t cd = Converter(codePage, false);
  if (cd == Converters::Invalid()) {
    if (!lossy)
      return std::nullopt;
    for (char c : utf8)
      out.push_back(static_cast<uint8_t>(c) < 0x80 ? c : '?');
    return out;
  }
  std::string_view in = utf8;
  out.reserve(utf8.size());
  while (!in.empty()) {
    Stop stop = ConvertRun(cd, in, out);
    if (stop == Stop::Done)
      break;
    if (!lossy)
      return std::nullopt;
    out.push_back('?');
    in.remove_prefix(stop == Stop::Incomplete ? in.size() : Utf8SequenceLength(in));
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

} // namespace

bool IsDoubleByteCodePage(int codePage) {
  return codePage == 949 || codePage == 932 || codePage == 936 || codePage == 950;
}

bool IsLeadByte(uint8_t b, int codePage) {
  switch (codePage) {
  case 949:
  case 936:
  case 950:
    return InRange(b, 0x81, 0xFE);
  case 932:
    return InRange(b, 0x81, 0x9F) || InRange(b, 0xE0, 0xFC);
  default:
    return false;
  }
}

std::string ToUtf8(std::string_view bytes, int codePage) {
  if (!IsDoubleByteCodePage(codePage))
    codePage = 1252;
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  iconv_t cd = Converter(codePage, true);
  if (cd == Converters::Invalid()) {
    for (char c : bytes) {
      if (static_cast<uint8_t>(c) < 0x80)
        out.push_back(c);
      else
        out.append(kReplacementUtf8);
    }
    return out;
  }
  std::string_view in = bytes;
  while (!in.empty()) {
    if (ConvertRun(cd, in, out) == Stop::Done)
      break;
    // One replacement per broken character: a lead byte takes its trail with
    // it, but never an ASCII byte that cannot be a trail.
    size_t skip = 1;
    if (in.size() >= 2 && IsLeadByte(static_cast<uint8_t>(in[0]), codePage) &&
        IsTrailByte(static_cast<uint8_t>(in[1]), codePage))
      skip = 2;
    out.append(kReplacementUtf8);
    in.remove_prefix(skip);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

std::optional<std::string> FromUtf8(std::string_view utf8, int codePage) {
  if (!IsDoubleByteCodePage(codePage))
    codePage = 1252;
  return EncodeUtf8(utf8, codePage, false);
}

std::string FromUtf8Lossy(std::string_view utf8, int codePage) {
  if (!IsDoubleByteCodePage(codePage))
    codePage = 1252;
  return *EncodeUtf8(utf8, codePage, true);
}

size_t CutLength(std::string_view text, size_t maxBytes, int codePage) {
  size_t limit = std::min(text.size(), maxBytes);
  if (!IsDoubleByteCodePage(codePage))
    return limit;
  // Walk whole characters from the start: the byte after a lead byte is its
  // trail whatever its value, as the system's own byte classifier counts.
  size_t pos = 0;
  while (pos < limit) {
    size_t len = IsLeadByte(static_cast<uint8_t>(text[pos]), codePage) ? 2 : 1;
    if (pos + len > limit)
      break;
    pos += len;
  }
  return pos;
}

std::string_view CutBytes(std::string_view text, size_t maxBytes, int codePage) {
  return text.substr(0, CutLength(text, maxBytes, codePage));
}

} // namespace sys
