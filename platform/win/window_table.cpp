#include "platform/win/window_table.h"

#include "platform/sys/bytes.h"
#include "platform/sys/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace win::table {
namespace {

constexpr char kMagic[4] = {'V', 'X', 'W', 'T'};
constexpr std::string_view kSuffix = ".tab";
constexpr std::string_view kTempSuffix = ".tmp";
// hwnd, parent, creation time, two text lengths.
constexpr size_t kMinEntrySize = 4 + 4 + 8 + 2 + 2;

void PutText(sys::ByteWriter& w, const std::string& text) {
  const size_t size = std::min(text.size(), kMaxText);
  w.U16LE(static_cast<uint16_t>(size));
  w.Bytes(text.data(), size);
}

bool TakeText(sys::ByteReader& r, std::string& text) {
  auto size = r.U16LE();
  if (!size)
    return false;
  auto bytes = r.Bytes(*size);
  if (!bytes)
    return false;
  text.assign(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  return true;
}

std::optional<uint64_t> U64(sys::ByteReader& r) {
  auto lo = r.U32LE();
  auto hi = r.U32LE();
  if (!lo || !hi)
    return std::nullopt;
  return uint64_t{*hi} << 32 | *lo;
}

template <typename T> bool ParseNumber(std::string_view text, T& out) {
  if (text.empty())
    return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

// The state letter and start time of /proc/<pid>/stat; false when the process
// does not exist (or /proc cannot tell).
bool ReadStat(const std::string& path, char& state, uint64_t& startTime) {
  sys::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd)
    return false;
  char buf[1024];
  ssize_t n;
  do {
    n = read(fd.Get(), buf, sizeof buf - 1);
  } while (n < 0 && errno == EINTR);
  if (n <= 0)
    return false;
  std::string_view stat(buf, static_cast<size_t>(n));
  // "pid (name) state ...": the name may hold anything, the last ')' ends it.
  size_t close = stat.rfind(')');
  if (close == std::string_view::npos)
    return false;
  std::string_view rest = stat.substr(close + 1);
  // Fields from the state (3rd) on; the start time is the 22nd.
  int field = 3;
  size_t pos = 0;
  state = 0;
  while (pos < rest.size()) {
    while (pos < rest.size() && rest[pos] == ' ')
      ++pos;
    size_t end = rest.find(' ', pos);
    if (end == std::string_view::npos)
      end = rest.size();
    std::string_view word = rest.substr(pos, end - pos);
    if (field == 3)
      state = word.empty() ? 0 : word[0];
    if (field == 22)
      return ParseNumber(word, startTime);
    ++field;
    pos = end;
  }
  return false;
}

bool ProcMounted() {
  static const bool mounted = [] {
    char state;
    uint64_t start;
    return ReadStat("/proc/self/stat", state, start);
  }();
  return mounted;
}

} // namespace

std::vector<uint8_t> Encode(const Table& table) {
  sys::ByteWriter w;
  w.Bytes(kMagic, sizeof kMagic);
  w.U16LE(kVersion);
  w.U16LE(0);
  w.U32LE(table.pid);
  w.U32LE(static_cast<uint32_t>(table.startTime));
  w.U32LE(static_cast<uint32_t>(table.startTime >> 32));
  w.U32LE(static_cast<uint32_t>(table.entries.size()));
  for (const Entry& e : table.entries) {
    w.U32LE(e.hwnd);
    w.U32LE(e.parent);
    w.U32LE(static_cast<uint32_t>(e.createdNs));
    w.U32LE(static_cast<uint32_t>(e.createdNs >> 32));
    PutText(w, e.className);
    PutText(w, e.title);
  }
  return w.Take();
}

std::optional<Table> Decode(std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxTableSize)
    return std::nullopt;
  sys::ByteReader r(bytes);
  auto magic = r.Bytes(sizeof kMagic);
  if (!magic || std::memcmp(magic->data(), kMagic, sizeof kMagic) != 0)
    return std::nullopt;
  auto version = r.U16LE();
  auto reserved = r.U16LE();
  auto pid = r.U32LE();
  auto start = U64(r);
  auto count = r.U32LE();
  if (!count || *version != kVersion || *reserved != 0)
    return std::nullopt;
  // Each entry takes at least its fixed part: a count beyond what the bytes
  // can hold is a broken table, not a reason to reserve memory.
  if (*count > r.Remaining() / kMinEntrySize)
    return std::nullopt;
  Table t;
  t.pid = *pid;
  t.startTime = *start;
  t.entries.reserve(*count);
  for (uint32_t i = 0; i < *count; ++i) {
    Entry e;
    auto hwnd = r.U32LE();
    auto parent = r.U32LE();
    auto created = U64(r);
    if (!hwnd || !parent || !created || !TakeText(r, e.className) || !TakeText(r, e.title))
      return std::nullopt;
    e.hwnd = *hwnd;
    e.parent = *parent;
    e.createdNs = *created;
    t.entries.push_back(std::move(e));
  }
  if (!r.AtEnd())
    return std::nullopt;
  return t;
}

std::string FileName(uint32_t pid, uint64_t startTime) {
  return std::to_string(pid) + "." + std::to_string(startTime) + std::string(kSuffix);
}

bool ParseFileName(std::string_view name, uint32_t& pid, uint64_t& startTime, bool* temp) {
  bool isTemp = false;
  if (temp && name.starts_with('.') && name.ends_with(kTempSuffix)) {
    isTemp = true;
    name = name.substr(1, name.size() - 1 - kTempSuffix.size());
  }
  if (!name.ends_with(kSuffix))
    return false;
  name.remove_suffix(kSuffix.size());
  size_t dot = name.find('.');
  if (dot == std::string_view::npos || !ParseNumber(name.substr(0, dot), pid) ||
      !ParseNumber(name.substr(dot + 1), startTime) || pid == 0)
    return false;
  if (temp)
    *temp = isTemp;
  return true;
}

uint64_t OwnStartTime() {
  static const uint64_t start = [] {
    char state;
    uint64_t t = 0;
    return ReadStat("/proc/self/stat", state, t) ? t : 0;
  }();
  return start;
}

bool ProcessAlive(uint32_t pid, uint64_t startTime) {
  if (pid == 0 || pid > static_cast<uint32_t>(INT32_MAX))
    return false;
  if (!ProcMounted())
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
  char state = 0;
  uint64_t start = 0;
  if (!ReadStat("/proc/" + std::to_string(pid) + "/stat", state, start))
    return false;
  if (state == 'Z' || state == 'X' || state == 'x')
    return false;
  return startTime == 0 || start == startTime;
}

} // namespace win::table
