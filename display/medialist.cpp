#include "display/medialist.h"

#include "display/progressdlg.h"
#include "display/utils.h"
#include "platform/media/clock.h"
#include "platform/sys/ascii.h"
#include "platform/sys/atomic_file.h"
#include "platform/sys/codepage.h"
#include "platform/sys/files.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/ui/controls/progress.h"
#include "platform/ui/window/screen.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace display {
namespace {

constexpr size_t kMagicSize = 21;
constexpr size_t kCountOffset = 23;
constexpr size_t kHeadSize = 27;
// A list file beyond this is not read whole.
constexpr uintmax_t kMaxListFile = uintmax_t{64} << 20;

constexpr const char* kImagePatterns[] = {"*.bmp", "*.jpg", "*.pcx", "*.gif"};
constexpr const char* kVideoPatterns[] = {"*.avi", "*.flc", "*.mpg"};
constexpr const char* kMpegPatterns[] = {"*.dat", "*.mpg"};

std::string_view KindMagic(MediaKind kind) {
  switch (kind) {
  case MediaKind::AviFlc:
    return "VEXO IMAGE LIST TYPE2";
  case MediaKind::Mpeg:
    return "VEXO IMAGE LIST TYPE3";
  case MediaKind::Image:
    break;
  }
  return "VEXO IMAGE LIST TYPE1";
}

uint32_t ReadU32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}


std::string ConfigFolder(const std::string& configPath) {
  const size_t slash = configPath.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : configPath.substr(0, slash);
}

// A list file's name as "File"N holds it: one plain component.
bool PlainName(std::string_view name) {
  return !name.empty() && name.size() <= 32 && name.find_first_of("/\\") == std::string_view::npos &&
         name != "." && name != "..";
}

std::optional<std::vector<uint8_t>> ReadWhole(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error || size > kMaxListFile)
    return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

// The files of a folder, sorted byte by byte; the folder is read once
// whatever the number of patterns.
std::vector<std::string> FolderFiles(const std::string& linuxFolder) {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(
           linuxFolder, std::filesystem::directory_options::skip_permission_denied, error),
       end;
       !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError))
      names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The names of files whose names match pattern, in the code page; a name
// the code page cannot hold cannot be named, and is left out.
std::vector<std::string> Matching(const std::vector<std::string>& files, const char* pattern) {
  std::vector<std::string> names;
  for (const std::string& file : files) {
    if (!sys::MatchesDosPattern(file, pattern))
      continue;
    const bool ascii = std::all_of(file.begin(), file.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::optional<std::string> stored = ascii ? std::optional(file) : sys::FromUtf8(file);
    if (stored && stored->size() <= kMaxListedName)
      names.push_back(*stored);
  }
  return names;
}

} // namespace

std::string MediaFilePath(std::string_view stored) {
  if (!stored.empty() && stored.front() == '/') {
    std::string path(stored);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
  }
  return sys::ResolveStoredPath(stored).value_or(std::string(stored));
}

std::optional<std::vector<std::string>> ParseMediaList(MediaKind kind,
                                                      std::span<const uint8_t> bytes) {
  const std::string_view magic = KindMagic(kind);
  if (bytes.size() < kHeadSize ||
      std::string_view(reinterpret_cast<const char*>(bytes.data()), kMagicSize) != magic ||
      bytes[kMagicSize] != 0x1A)
    return std::nullopt;
  const auto count = static_cast<int32_t>(ReadU32(bytes, kCountOffset));
  std::vector<std::string> names;
  size_t at = kHeadSize;
  for (int32_t i = 0; i < count; ++i) {
    if (bytes.size() - at < 4)
      break;
    const uint32_t length = ReadU32(bytes, at);
    at += 4;
    if (length > kMaxListedName || length > bytes.size() - at)
      break;
    names.emplace_back(reinterpret_cast<const char*>(bytes.data() + at), length);
    at += length;
  }
  return names;
}

std::vector<uint8_t> MediaListBytes(MediaKind kind, const std::vector<std::string>& names) {
  std::vector<uint8_t> b;
  const std::string_view magic = KindMagic(kind);
  b.insert(b.end(), magic.begin(), magic.end());
  b.push_back(0x1A);
  b.push_back(0);
  PutU32(b, static_cast<uint32_t>(names.size()));
  for (const std::string& name : names) {
    PutU32(b, static_cast<uint32_t>(name.size()));
    b.insert(b.end(), name.begin(), name.end());
  }
  return b;
}

std::string JoinMediaPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || (path.back() != '\\' && path.back() != '/'))
    path += '\\';
  path += name;
  return path;
}

const char* MediaList::Section() const {
  switch (kind_) {
  case MediaKind::Image:
    return "Image";
  case MediaKind::AviFlc:
    return "Avi/Flc";
  case MediaKind::Mpeg:
    return "Mpeg";
  }
  return "Image";
}

std::string_view MediaList::Magic() const {
  return KindMagic(kind_);
}

std::span<const char* const> MediaList::Patterns() const {
  switch (kind_) {
  case MediaKind::AviFlc:
    return kVideoPatterns;
  case MediaKind::Mpeg:
    return kMpegPatterns;
  case MediaKind::Image:
    break;
  }
  return kImagePatterns;
}

std::string MediaList::ListFileName(int number) const {
  const char prefix = kind_ == MediaKind::Image ? 'i' : kind_ == MediaKind::AviFlc ? 'a' : 'm';
  char name[24];
  std::snprintf(name, sizeof name, "%cList%03d.dat", prefix, number);
  return name;
}

std::vector<std::string> MediaList::MatchingNames(const std::string& linuxFolder) const {
  const std::vector<std::string> files = FolderFiles(linuxFolder);
  std::vector<std::string> names;
  for (const char* pattern : Patterns()) {
    std::vector<std::string> matched = Matching(files, pattern);
    names.insert(names.end(), matched.begin(), matched.end());
  }
  return names;
}

int32_t MediaList::CountMatches(const std::string& linuxFolder) const {
  return static_cast<int32_t>(MatchingNames(linuxFolder).size());
}

bool MediaList::ReadList(const std::string& configPath, MediaFolder& folder) {
  const std::string key = "File" + std::to_string(folder.number);
  const std::string name = sys::IniGetString(configPath, Section(), key, "@");
  if (name.empty() || name[0] == '@' || !PlainName(name))
    return false;
  const auto bytes = ReadWhole(ConfigFolder(configPath) + "/" + name);
  if (!bytes)
    return false;
  auto names = ParseMediaList(kind_, *bytes);
  if (!names)
    return false;
  for (std::string& n : *names) {
    folder.files.push_back(std::move(n));
    if (onStep)
      onStep();
  }
  return true;
}

bool MediaList::BuildList(const std::string& configPath, const MediaFolder& folder) {
  const std::string name = ListFileName(folder.number);
  if (!sys::IniWriteString(configPath, Section(), "File" + std::to_string(folder.number), name))
    return false;
  auto file = sys::AtomicFile::Create(ConfigFolder(configPath) + "/" + name);
  if (!file)
    return false;
  if (!file->Write(MediaListBytes(kind_, {})))
    return false;
  uint32_t count = 0;
  for (const std::string& n : MatchingNames(MediaFilePath(folder.path))) {
    std::vector<uint8_t> entry;
    PutU32(entry, static_cast<uint32_t>(n.size()));
    entry.insert(entry.end(), n.begin(), n.end());
    if (!file->Write(entry))
      return false;
    ++count;
    if (onStep)
      onStep();
  }
  std::vector<uint8_t> patched;
  PutU32(patched, count);
  return file->WriteAt(kCountOffset, patched) && file->Commit();
}

bool MediaList::Load(const std::string& configPath) {
  Free();
  const int32_t count = sys::IniGetInt(configPath, Section(), "Count", 0);
  folderCount_ = static_cast<int16_t>(count < 0 ? 0 : count > INT16_MAX ? INT16_MAX : count);
  if (folderCount_ < 1)
    return false;
  for (int n = 1; n <= folderCount_; ++n) {
    const std::string path = sys::IniGetString(configPath, Section(), "Dir" + std::to_string(n), "@");
    if (path.empty() || path[0] == '@')
      continue;
    MediaFolder folder;
    folder.number = n;
    folder.path = path;
    ReadList(configPath, folder);
    const std::string linux = MediaFilePath(path);
    std::error_code error;
    const bool slow = slowDrive ? slowDrive(path) : IsSlowDrive(path);
    if (std::filesystem::is_directory(linux, error) && !slow &&
        CountMatches(linux) != static_cast<int32_t>(folder.files.size())) {
      BuildList(configPath, folder);
      folder.files.clear();
      ReadList(configPath, folder);
    }
    totalFiles_ += static_cast<int32_t>(folder.files.size());
    folders_.push_back(std::move(folder));
  }
  return sys::IniGetInt(configPath, Section(), "Build", 0) == 1;
}

void MediaList::RebuildAll(const std::string& configPath, const res::Bundle* bundle) {
  Load(configPath);
  std::unique_ptr<ProgressDlg> dialog;
  if (!folders_.empty() && bundle) {
    if (auto t = ProgressDlg::LoadTemplate(*bundle)) {
      dialog = std::make_unique<ProgressDlg>(std::move(*t));
      if (!dialog->Create())
        dialog.reset();
    }
  }
  int32_t steps = 0, done = 0;
  std::function<void()> outer = onStep;
  if (dialog) {
    const ui::Hwnd h = dialog->GetHwnd();
    dialog->SetBusy(true);
    ui::SetWindowPos(h, ui::HWND_TOPMOST, 20, 20, 0, 0, ui::SWP_NOSIZE | ui::SWP_NOACTIVATE);
    ui::SetDlgItemText(h, ProgressDlg::kItemFirstText,
                       bundle->String(kBuildingListsString).value_or(""));
    for (const MediaFolder& f : folders_)
      steps += CountMatches(MediaFilePath(f.path));
    // Writing and reading back each name: the bar fills once, whatever the count.
    ui::SendDlgItemMessage(h, ProgressDlg::kItemProgress, ui::PBM_SETRANGE32, 0,
                           std::max(1, 2 * steps));
    onStep = [&, h] {
      ui::SendDlgItemMessage(h, ProgressDlg::kItemProgress, ui::PBM_SETPOS,
                             static_cast<ui::WParam>(++done));
      if (outer)
        outer();
    };
  }
  totalFiles_ = 0;
  for (MediaFolder& f : folders_) {
    if (dialog)
      ui::SetDlgItemText(dialog->GetHwnd(), ProgressDlg::kItemSecondText, sys::ToUtf8(f.path));
    f.files.clear();
    BuildList(configPath, f);
    ReadList(configPath, f);
    totalFiles_ += static_cast<int32_t>(f.files.size());
  }
  onStep = outer;
  if (dialog) {
    dialog->SetBusy(false);
    win::DestroyWindow(dialog->GetHwnd());
  }
  sys::IniDeleteKey(configPath, Section(), "Build");
}

void MediaList::Free() {
  folders_.clear();
  folderCount_ = 0;
  totalFiles_ = 0;
}

std::optional<std::string> MediaList::RandomPick(size_t capacity) const {
  if (folders_.empty() || totalFiles_ <= 0)
    return std::nullopt;
  const uint32_t target = media::NowMs() % static_cast<uint32_t>(totalFiles_);
  uint32_t sum = 0;
  const MediaFolder* chosen = nullptr;
  for (const MediaFolder& f : folders_) {
    sum += static_cast<uint32_t>(f.files.size());
    if (sum > target) {
      chosen = &f;
      break;
    }
  }
  if (!chosen || chosen->files.empty())
    return std::nullopt;
  for (int attempt = 0; attempt < kRandomPickTries; ++attempt) {
    size_t index = static_cast<size_t>(RandomFraction() * double(chosen->files.size()));
    index = std::min(index, chosen->files.size() - 1);
    std::string path = JoinMediaPath(chosen->path, chosen->files[index]);
    if (path.size() >= capacity)
      return std::nullopt;
    if (FileExists(MediaFilePath(path)))
      return path;
  }
  return std::nullopt;
}

std::optional<std::string> MediaList::FolderPick(size_t capacity) const {
  return FolderPickIn(currentFolder_, capacity);
}

std::optional<std::string> MediaList::FolderPickIn(std::string_view folder,
                                                   size_t capacity) const {
  if (folder.empty())
    return std::nullopt;
  const std::span<const char* const> patterns = Patterns();
  const std::vector<std::string> files = FolderFiles(MediaFilePath(folder));
  const size_t start = media::NowMs() % patterns.size();
  for (size_t k = 0; k < patterns.size(); ++k) {
    const std::vector<std::string> names = Matching(files, patterns[(start + k) % patterns.size()]);
    if (names.empty())
      continue;
    size_t index = static_cast<size_t>(RandomFraction() * double(names.size()));
    index = std::min(index, names.size() - 1);
    std::string path = JoinMediaPath(folder, names[index]);
    if (path.size() >= capacity)
      return std::nullopt;
    return path;
  }
  return std::nullopt;
}

std::optional<std::string> MediaList::FindByName(std::string_view name) const {
  for (const MediaFolder& f : folders_)
    for (const std::string& file : f.files)
      if (sys::EqualIgnoringAsciiCase(file, name))
        return JoinMediaPath(f.path, file);
  return std::nullopt;
}

} // namespace display
