#include "album/albumtext.h"

#include "platform/sys/ascii.h"
#include "platform/sys/files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace album {
namespace {

constexpr uint64_t kMegabyte = 1048576;

// Code page 949: every byte from 0x80 leads a two-byte character, as the
// shared byte classifier has it.
bool LeadsPair(uint8_t b) {
  return b >= 0x80;
}

} // namespace

std::string SongTitleKey(std::string_view title) {
  std::string_view t = title.substr(0, std::min<size_t>(title.find('\0'), 49));
  std::string key;
  key.reserve(t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    auto b = static_cast<uint8_t>(t[i]);
    if (LeadsPair(b)) {
      key += t[i];
      if (i + 1 < t.size())
        key += t[++i];
      continue;
    }
    if (b == '\'' || b == ',' || b == ' ')
      continue;
    key += sys::AsciiLower(t[i]);
  }
  return key;
}

namespace {

// The stored drive "X:\" of a path's first letter, or nothing.
std::optional<char> DriveLetter(std::string_view drive) {
  if (drive.size() >= 2 && drive[1] == ':' &&
      ((drive[0] >= 'A' && drive[0] <= 'Z') || (drive[0] >= 'a' && drive[0] <= 'z')))
    return drive[0];
  return std::nullopt;
}

} // namespace

std::string FoldAlbumText(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    auto b = static_cast<uint8_t>(out[i]);
    if (LeadsPair(b))
      ++i; // the trail byte stays as it is
    else
      out[i] = sys::AsciiLower(out[i]);
  }
  return out;
}

bool AlbumTextEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldAlbumText(a) == FoldAlbumText(b);
}

std::string FormatFileTime(int64_t unixSeconds) {
  time_t t = static_cast<time_t>(unixSeconds);
  struct tm lt {};
  if (!localtime_r(&t, &lt))
    return "00-00-00 AM 12:00";
  // The old directory format's years end at 1980 and 2107; outside them the
  // year is still the year less 1900, as it is inside.
  int hour = lt.tm_hour % 12 == 0 ? 12 : lt.tm_hour % 12;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %s %2d:%02d", lt.tm_year, lt.tm_mon + 1,
                lt.tm_mday, lt.tm_hour >= 12 ? "PM" : "AM", hour, lt.tm_min);
  return buf;
}

std::string FormatSizeUnit(uint64_t size) {
  uint64_t units = size / kMegabyte;
  // Tenths of a megabyte, never ten of them.
  uint64_t tenths = (size % kMegabyte) * 10 / kMegabyte;
  const char* unit = "MB";
  if (units >= 1000) {
    tenths = (units % 1000) / 100;
    units /= 1000;
    unit = "GB";
  }
  if (units == 0 && tenths == 0)
    return "0";
  char buf[48];
  if (units < 101)
    std::snprintf(buf, sizeof buf, "%llu.%llu%s", static_cast<unsigned long long>(units),
                  static_cast<unsigned long long>(tenths), unit);
  else
    std::snprintf(buf, sizeof buf, "%llu%s", static_cast<unsigned long long>(units), unit);
  return buf;
}

std::string FormatSizeKB(uint64_t size) {
  if (size == 0)
    return "0KB";
  std::string digits = std::to_string(size / 1024 + 1);
  // Grouped from the right: three digits, then two at a time.
  std::string out;
  size_t fromRight = 0;
  for (size_t i = digits.size(); i-- > 0;) {
    if (fromRight == 3 || (fromRight > 3 && (fromRight - 3) % 2 == 0))
      out.insert(out.begin(), ',');
    out.insert(out.begin(), digits[i]);
    ++fromRight;
  }
  return out + "KB";
}

int CompareSongTitle(const char* a, const char* b) {
  if (!a && !b)
    return 0;
  if (!a)
    return -1;
  if (!b)
    return 1;
  std::string ka = SongTitleKey(std::string_view(a, strnlen(a, 49)));
  std::string kb = SongTitleKey(std::string_view(b, strnlen(b, 49)));
  int c = ka.compare(kb); // std::string compares bytes as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void CheckFixedDrivePath(std::string& path, const VolumeLookup& volumes) {
  size_t slash = path.find('\\');
  if (slash == std::string::npos)
    return;
  std::optional<char> letter = DriveLetter(std::string_view(path).substr(0, slash + 1));
  sys::VolumeKind kind = letter ? sys::VolumeKindOfDrive(*letter, volumes.drives, volumes.mounts)
                                : sys::VolumeKind::kAbsent;
  // "\folder" is on the current drive, which is C:.
  if (slash == 0)
    kind = sys::VolumeKindOfDrive('C', volumes.drives, volumes.mounts);
  if (kind != sys::VolumeKind::kFixed)
    path = "C:\\";
}

int IsCdRomDrive(std::string_view path, const VolumeLookup& volumes) {
  size_t colon = path.rfind(':');
  if (colon == std::string_view::npos)
    return 0;
  std::optional<char> letter = colon == 1 ? DriveLetter(path) : std::nullopt;
  if (!letter)
    return 1; // no such root folder
  return sys::VolumeKindOfDrive(*letter, volumes.drives, volumes.mounts) == sys::VolumeKind::kFixed
             ? 0
             : 1;
}

int HasFileExtension(std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return 0;
  std::string_view last = std::string_view(path).substr(slash + 1);
  if (!last.empty() && last.find('.') == std::string_view::npos)
    return 0;
  path.resize(slash);
  return 1;
}

int DeleteMatchingFiles(const std::string& folder, std::string_view pattern) {
  return sys::DeleteMatchingFiles(folder, pattern);
}

int EnsureFolderPath(const std::string& base, const std::string& fullPath) {
  std::string_view rest = fullPath;
  if (!base.empty() && rest.starts_with(base) &&
      (rest.size() == base.size() || base.back() == '/' || rest[base.size()] == '/'))
    rest.remove_prefix(base.size());
  else if (!rest.empty() && rest.front() == '/')
    return 0; // absolute, and not below base
  while (!rest.empty() && rest.front() == '/')
    rest.remove_prefix(1);
  size_t slash = rest.rfind('/');
  std::string_view last = slash == std::string_view::npos ? rest : rest.substr(slash + 1);
  if (last.find('.') != std::string_view::npos && last != "..")
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(0, slash);
  return sys::MakeFolders(base, rest) ? 1 : 0;
}

NumberNode::~NumberNode() {
  // Unlink the chain one node at a time instead of recursing through it.
  std::unique_ptr<NumberNode> n = std::move(next);
  while (n)
    n = std::move(n->next);
}

int IsInList(const NumberNode* first, int32_t value) {
  for (const NumberNode* n = first; n; n = n->next.get()) {
    if (n->value == value)
      return 1;
  }
  return 0;
}

int RemoveListedNumbers(const NumberNode* a, std::unique_ptr<NumberNode>& b) {
  int kept = 0;
  std::unique_ptr<NumberNode>* link = &b;
  while (*link) {
    if (IsInList(a, (*link)->value)) {
      std::unique_ptr<NumberNode> gone = std::move(*link);
      *link = std::move(gone->next);
    } else {
      ++kept;
      link = &(*link)->next;
    }
  }
  return kept;
}

void ScrambleBytes(std::span<uint8_t> bytes) {
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>((bytes[i] + i % 5) ^ 0x80);
}

void UnscrambleBytes(std::span<uint8_t> bytes) {
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>((bytes[i] ^ 0x80) - i % 5);
}

int UnscrambleField(char* field, size_t length) {
  if (!field)
    return 1;
  size_t n = strnlen(field, length);
  auto* bytes = reinterpret_cast<uint8_t*>(field);
  UnscrambleBytes(std::span(bytes, n));
  size_t end = static_cast<size_t>(std::find(bytes, bytes + n, 0) - bytes);
  if (end < length)
    bytes[end] = 0;
  return 1;
}

} // namespace album
