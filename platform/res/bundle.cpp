#include "platform/res/bundle.h"

#include "platform/sys/ascii.h"

#include "platform/res/string_table.h"
#include "platform/sys/library.h"
#include "platform/sys/log.h"

#include <QByteArray>
#include <QFile>
#include <QResource>
#include <QString>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace res {
namespace {

// Bundles are ours and small; anything near these sizes is not a bundle.
constexpr off_t kMaxBundleBytes = 256 << 20;
constexpr qint64 kMaxStringsBytes = 8 << 20;

std::string BaseName(std::string_view name) {
  if (sys::EndsWithIgnoringAsciiCase(name, ".dll") || sys::EndsWithIgnoringAsciiCase(name, ".rcc"))
    name.remove_suffix(4);
  return std::string(name);
}

bool SafeRelativePath(std::string_view path) {
  if (path.empty() || path[0] == '/')
    return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    std::string_view part = path.substr(start, end == std::string_view::npos ? end : end - start);
    if (part.empty() || part == "." || part == "..")
      return false;
    if (end == std::string_view::npos)
      break;
    start = end + 1;
  }
  return true;
}

// The first bytes of every Qt binary resource file.
bool HasResourceMagic(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char magic[4] = {};
  return in.read(magic, 4) && std::memcmp(magic, "qres", 4) == 0;
}

void SetError(std::string* error, std::string text) {
  if (error)
    *error = std::move(text);
}

} // namespace

struct Bundle::State {
  std::string name;
  std::string path;
  QString root; // where the file is mapped in Qt's resource tree
  StringTable strings;

  ~State() {
    if (!root.isEmpty() && !processEnding)
      QResource::unregisterResource(QString::fromStdString(path), root);
  }

  // Set at exit before Qt's own clean-up runs: a bundle kept in a static
  // object may be destroyed after Qt's resource registry is gone, and then
  // there is nothing left to unregister from.
  static inline std::atomic<bool> processEnding{false};
};

std::string BundleFileName(std::string_view name) {
  return BaseName(name) + ".rcc";
}

std::optional<Bundle> Bundle::Load(std::string_view name, std::string_view folder,
                                   std::string* error) {
  std::string base = BaseName(name);
  if (base.empty() || base.find('/') != std::string::npos) {
    SetError(error, "not a bundle name: \"" + std::string(name) + "\"");
    return std::nullopt;
  }
  std::string dir = folder.empty() ? sys::ProgramFolder() : std::string(folder);
  std::string path = dir + "/" + base + ".rcc";
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    SetError(error, path + ": not found");
    return std::nullopt;
  }
  if (st.st_size > kMaxBundleBytes || !HasResourceMagic(path)) {
    SetError(error, path + ": not a resource bundle");
    return std::nullopt;
  }

  // Each load gets a root of its own, so that two loads of one bundle (or a
  // reload) never see each other's files.
  static std::atomic<unsigned> serial{0};
  auto state = std::make_shared<State>();
  state->name = base;
  state->path = path;
  QString root = QStringLiteral("/vexo-bundle/%1/%2")
                     .arg(QString::fromStdString(base))
                     .arg(serial.fetch_add(1) + 1);
  if (!QResource::registerResource(QString::fromStdString(path), root)) {
    SetError(error, path + ": not a resource bundle");
    return std::nullopt;
  }
  state->root = root;
  // Registered after Qt made its registry, so it runs before that is freed.
  static const bool exitHook = [] {
    std::atexit([] { State::processEnding = true; });
    return true;
  }();
  (void)exitHook;

  QFile strings(QStringLiteral(":") + root + QStringLiteral("/strings.txt"));
  if (strings.exists()) {
    if (strings.size() > kMaxStringsBytes || !strings.open(QIODevice::ReadOnly)) {
      SetError(error, path + ": strings.txt cannot be read");
      return std::nullopt;
    }
    QByteArray bytes = strings.readAll();
    StringTableError why;
    auto table = ParseStringTable(
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), &why);
    if (!table) {
      SetError(error, path + ": strings.txt line " + std::to_string(why.line) + ": " + why.message);
      return std::nullopt;
    }
    state->strings = std::move(*table);
  }
  return Bundle(std::move(state));
}

const std::string& Bundle::Name() const {
  return state_->name;
}

const std::string& Bundle::Path() const {
  return state_->path;
}

std::optional<std::string> Bundle::String(uint32_t id) const {
  auto it = state_->strings.find(id);
  if (it == state_->strings.end())
    return std::nullopt;
  return it->second;
}

std::string Bundle::StringBytes(uint32_t id, int codePage) const {
  auto it = state_->strings.find(id);
  if (it == state_->strings.end())
    return std::string();
  return sys::FromUtf8Lossy(it->second, codePage);
}

int Bundle::CopyString(uint32_t id, char* buffer, int size, int codePage) const {
  if (!buffer || size <= 0)
    return 0;
  std::string bytes = StringBytes(id, codePage);
  std::string_view cut = sys::CutBytes(bytes, static_cast<size_t>(size - 1), codePage);
  std::memcpy(buffer, cut.data(), cut.size());
  buffer[cut.size()] = '\0';
  return static_cast<int>(cut.size());
}

size_t Bundle::StringCount() const {
  return state_->strings.size();
}

std::optional<std::vector<uint8_t>> Bundle::File(std::string_view path) const {
  if (!SafeRelativePath(path))
    return std::nullopt;
  QFile file(QString::fromStdString(QtPath(path)));
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  QByteArray bytes = file.readAll();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::optional<std::vector<uint8_t>> Bundle::BitmapFile(uint32_t id) const {
  return File("bitmaps/" + std::to_string(id) + ".bmp");
}

std::optional<std::vector<uint8_t>> Bundle::BitmapFile(std::string_view name) const {
  if (name.empty() || name.find('/') != std::string_view::npos)
    return std::nullopt;
  return File("bitmaps/" + std::string(name) + ".bmp");
}

int MessageBoxString(const Bundle& bundle, uint32_t id, uint32_t flags, ui::WindowHandle owner,
                     std::string_view caption) {
  return ui::MessageBox(bundle.String(id).value_or(""), caption, flags, owner);
}

ui::ResourceFiles Bundle::Files() const {
  return [self = *this](std::string_view path) { return self.File(path); };
}

std::string Bundle::QtPath(std::string_view path) const {
  return ":" + state_->root.toStdString() + "/" + std::string(path);
}

std::optional<Bundle> LoadAtStart(std::string_view name, std::string_view folder,
                                  const MissingBundleBox& box) {
  std::string error;
  std::optional<Bundle> bundle = Bundle::Load(name, folder, &error);
  if (!bundle) {
    sys::Warn("res", "%s", error.c_str());
    ui::MessageBox(box.text, box.caption, box.flags);
  }
  return bundle;
}

} // namespace res
