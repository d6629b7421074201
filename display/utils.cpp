#include "display/utils.h"

#include "display/resources.h"
#include "platform/gdi/dc.h"
#include "platform/sys/bytes.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <fnmatch.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/statfs.h>

namespace display {
namespace {

std::string NormalisePattern(std::string_view pattern) {
  // A directory search's "*.*" matches names without a dot as well.
  if (pattern == "*.*")
    return "*";
  return std::string(pattern);
}

std::string LinuxForm(std::string_view path) {
  if (!path.empty() && path.front() == '/')
    return std::string(path);
  return sys::ToLinuxPath(path).value_or(std::string(path));
}

} // namespace

std::string ConfigIniPath(std::string_view module) {
  return sys::IniPathBeside(module, "config.ini");
}

int32_t CountFiles(std::string_view folder, std::string_view pattern) {
  std::string dir = folder.empty() ? std::string(".") : std::string(folder);
  DIR* d = opendir(dir.c_str());
  if (!d)
    return 0;
  const std::string glob = NormalisePattern(pattern);
  int32_t count = 0;
  while (dirent* e = readdir(d)) {
    std::string_view name = e->d_name;
    if (name == "." || name == "..")
      continue;
    if (fnmatch(glob.c_str(), e->d_name, FNM_CASEFOLD) == 0 && count < INT32_MAX)
      ++count;
  }
  closedir(d);
  return count;
}

int64_t LoadFileToGlobal(const std::string& file, std::vector<uint8_t>& block) {
  block.clear();
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f)
    return -1;
  struct stat st {};
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxLoadedFileSize) {
    std::fclose(f);
    return -1;
  }
  const auto size = static_cast<size_t>(st.st_size);
  try {
    block.assign(size, 0);
  } catch (const std::bad_alloc&) {
    std::fclose(f);
    return -1;
  }
  const size_t got = size ? std::fread(block.data(), 1, size, f) : 0;
  std::fclose(f);
  if (got != size) {
    block.clear();
    return -1;
  }
  return static_cast<int64_t>(size);
}

OverlayChecks ReadOverlayChecks(const std::string& configPath) {
  return OverlayChecks{sys::IniGetInt(configPath, "Overlay", "Check", 0),
                       sys::IniGetInt(configPath, "Mpeg", "Check", 0)};
}

void DrawWindowFrame(win::Hwnd window) {
  auto rect = ui::GetClientRect(window);
  auto dc = ui::GetDc(window);
  if (!rect || !dc || rect->Width() < 2 || rect->Height() < 2)
    return;
  const gdi::Rect r = *rect;
  auto edge = [&](int inset, gdi::Colour topLeft, gdi::Colour bottomRight) {
    const int32_t l = r.left + inset, t = r.top + inset;
    const int32_t rr = r.right - 1 - inset, b = r.bottom - 1 - inset;
    dc->SelectPen(gdi::Pen{gdi::kPsSolid, 1, topLeft});
    dc->MoveTo(l, b);
    dc->LineTo(l, t);
    dc->LineTo(rr, t);
    dc->SelectPen(gdi::Pen{gdi::kPsSolid, 1, bottomRight});
    dc->LineTo(rr, b);
    dc->LineTo(l - 1, b);
  };
  edge(0, kColour3dFace, kColour3dDarkShadow);
  edge(1, kColour3dHighlight, kColour3dShadow);
}

std::optional<std::string> OpenFileDialog(win::Hwnd owner, std::string_view filter,
                                          std::string_view fileName) {
  ui::OpenFileRequest request;
  request.filter = std::string(filter);
  request.fileName = std::string(fileName);
  request.owner = owner;
  return ui::GetOpenFileName(request);
}

int32_t FileExists(const char* path) {
  if (!path)
    return 1;
  return FileExists(std::string_view(path)) ? 1 : 0;
}

bool FileExists(std::string_view path) {
  if (path.empty())
    return false;
  std::error_code ec;
  const std::string p(path);
  if (std::filesystem::exists(p, ec))
    return true;
  return sys::FindIgnoringCase(p).has_value();
}

bool MapBitmapColours(std::vector<uint8_t>& bmp, gdi::Colour face, gdi::Colour highlight,
                      gdi::Colour shadow) {
  sys::ByteReader r(bmp.data(), bmp.size());
  if (r.U16LE() != 0x4D42 || !r.Seek(14))
    return false;
  auto headerSize = r.U32LE();
  if (!headerSize || *headerSize < 40 || !r.Seek(14 + 14))
    return false;
  auto bits = r.U16LE();
  if (!bits || !r.Seek(14 + 32))
    return false;
  auto used = r.U32LE();
  if (!used)
    return false;
  uint32_t entries = 0;
  if (*bits == 1 || *bits == 4 || *bits == 8)
    entries = *used ? *used : (1u << *bits);
  if (entries > 256)
    return false;
  const size_t table = 14 + static_cast<size_t>(*headerSize);
  if (table > bmp.size() || (bmp.size() - table) / 4 < entries)
    return false;
  // Entries are blue, green, red, reserved.
  auto replace = [&](uint8_t grey, gdi::Colour to) {
    for (uint32_t i = 0; i < entries; ++i) {
      uint8_t* e = bmp.data() + table + 4 * static_cast<size_t>(i);
      if (e[0] == grey && e[1] == grey && e[2] == grey) {
        e[0] = gdi::BlueOf(to);
        e[1] = gdi::GreenOf(to);
        e[2] = gdi::RedOf(to);
      }
    }
  };
  replace(192, face);
  replace(255, highlight);
  replace(128, shadow);
  return true;
}

std::optional<std::vector<uint8_t>> MapBitmapColours(uint32_t id) {
  auto bytes = LoadResourceFile("bitmaps/" + std::to_string(id) + ".bmp");
  if (!bytes || !MapBitmapColours(*bytes))
    return std::nullopt;
  return bytes;
}

bool SaveRect(const gdi::Rect& rect, std::string_view section, const std::string& configPath) {
  return sys::IniUpdate(configPath, [&](sys::IniDocument& doc) {
    return doc.Set(section, "x", std::to_string(rect.left)) &&
           doc.Set(section, "y", std::to_string(rect.top)) &&
           doc.Set(section, "cx", std::to_string(rect.right)) &&
           doc.Set(section, "cy", std::to_string(rect.bottom));
  });
}

bool SaveWindowRect(win::Hwnd window, std::string_view section, const std::string& configPath) {
  auto rect = ui::GetWindowRect(window);
  return rect && SaveRect(*rect, section, configPath);
}

bool PlaceWindow(win::Hwnd window, const gdi::Rect& rect) {
  return ui::SetWindowPos(window, 0, rect.left, rect.top, rect.Width(), rect.Height(),
                          ui::SWP_NOZORDER | ui::SWP_NOACTIVATE | ui::SWP_FRAMECHANGED);
}

bool IsPopup(win::Hwnd window) {
  return (win::GetWindowStyle(window) & win::WS_POPUP) != 0;
}

gdi::Rect OffsetRect(const gdi::Rect& rect, gdi::Point from, gdi::Point to) {
  return gdi::Offset(rect, to.x - from.x, to.y - from.y);
}

bool IsSlowDrive(std::string_view path) {
  if (path.empty())
    return false;
  std::filesystem::path p = LinuxForm(path);
  std::error_code ec;
  // The drive of a path that does not exist yet is the one of its nearest
  // existing folder.
  while (!p.empty() && !std::filesystem::exists(p, ec)) {
    if (p == p.parent_path())
      break;
    p = p.parent_path();
  }
  struct statfs fs {};
  if (p.empty() || statfs(p.c_str(), &fs) != 0)
    return false;
  switch (static_cast<uint64_t>(fs.f_type)) {
  case 0x9660:     // ISO 9660 disc
  case 0x15013346: // UDF disc
  case 0x6969:     // NFS
  case 0x517B:     // SMB
  case 0xFE534D42: // SMB2
  case 0xFF534D42: // CIFS
  case 0x5346414F: // AFS
  case 0x73757245: // Coda
  case 0x01021997: // 9P
  case 0x00C36400: // Ceph
    return true;
  default:
    return false;
  }
}

namespace {

std::mutex randomMutex;
double randomX = 0;
bool randomSeeded = false;

void SeedLocked(uint32_t seed) {
  // Any finite value in [0, 1) will do; the seed's 32 bits as a fraction.
  randomX = static_cast<double>(seed) / 4294967296.0;
  randomSeeded = true;
}

uint32_t ClockSeed() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms) * 294967295u);
}

} // namespace

double RandomFraction() {
  std::lock_guard lock(randomMutex);
  if (!randomSeeded)
    SeedLocked(ClockSeed());
  const double v = randomX * 9821.0 + 0.311327;
  randomX = v - std::floor(v);
  if (!(randomX >= 0.0 && randomX < 1.0))
    randomX = 0.0;
  return randomX;
}

void SeedRandomFraction(uint32_t seed) {
  std::lock_guard lock(randomMutex);
  SeedLocked(seed);
}

void SeedRandomFractionFromClock() {
  SeedRandomFraction(ClockSeed());
}

} // namespace display
