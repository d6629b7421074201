#include "platform/sys/library.h"

#include "platform/sys/ascii.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace sys {
namespace {


std::string DirName(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string RealPath(const char* path) {
  char buf[PATH_MAX];
  if (!realpath(path, buf))
    return path;
  return buf;
}

std::string ProgramPath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0)
    return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

// The main program's link map entry has an empty name; dladdr would give
// argv[0] for it, which may be relative to a folder long left.
std::string LinkMapPath(const link_map* map) {
  if (!map || !map->l_name || !*map->l_name)
    return ProgramPath();
  return RealPath(map->l_name);
}

} // namespace

std::string LibraryFileName(std::string_view name) {
  if (EndsWithIgnoringAsciiCase(name, ".so"))
    return std::string(name);
  if (EndsWithIgnoringAsciiCase(name, ".dll"))
    name.remove_suffix(4);
  return "lib" + std::string(name) + ".so";
}

void* FindName(ModuleHandle module, const char* name) {
  if (!module || !name)
    return nullptr;
  void* address = dlsym(module, name);
  if (!address)
    return nullptr;
  // dlsym also searches the libraries the module depends on; a name counts
  // only when the module itself defines it.
  link_map* own = nullptr;
  link_map* holder = nullptr;
  Dl_info info{};
  if (dlinfo(module, RTLD_DI_LINKMAP, &own) != 0 ||
      !dladdr1(address, &info, reinterpret_cast<void**>(&holder), RTLD_DL_LINKMAP) || holder != own)
    return nullptr;
  return address;
}

bool BindNames(ModuleHandle module, std::span<const char* const> names, std::span<void*> table,
               std::string* missing) {
  size_t count = std::min(names.size(), table.size());
  for (void*& entry : table)
    entry = nullptr;
  for (size_t i = 0; i < count; ++i) {
    table[i] = FindName(module, names[i]);
    if (!table[i]) {
      if (missing)
        *missing = names[i] ? names[i] : "";
      return false;
    }
  }
  return names.size() == table.size();
}

size_t BindAvailableNames(ModuleHandle module, std::span<const char* const> names,
                          std::span<void*> table) {
  size_t found = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    table[i] = i < names.size() ? FindName(module, names[i]) : nullptr;
    if (table[i])
      ++found;
  }
  return found;
}

std::string ModulePath(const void* address) {
  Dl_info info{};
  link_map* map = nullptr;
  if (!dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP))
    return std::string();
  return LinkMapPath(map);
}

std::string ModuleFolder(const void* address) {
  return DirName(ModulePath(address));
}

std::string ModuleFile(ModuleHandle module) {
  if (!module)
    return std::string();
  link_map* map = nullptr;
  if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0)
    return std::string();
  return LinkMapPath(map);
}

std::string ProgramFolder() {
  return DirName(ProgramPath());
}

std::optional<Library> Library::Load(std::string_view folder, std::string_view name,
                                     std::string* error) {
  std::string dir = folder.empty() ? ProgramFolder() : std::string(folder);
  if (name.empty() || name.find('/') != std::string_view::npos) {
    if (error)
      *error = "not a library name: \"" + std::string(name) + "\"";
    return std::nullopt;
  }
  std::string path = dir + "/" + LibraryFileName(name);
  // RTLD_LOCAL: each library's names are reached only through its handle,
  // as with binding by name on Windows.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) {
      const char* why = dlerror();
      *error = why ? why : path + ": cannot be loaded";
    }
    return std::nullopt;
  }
  return Library(static_cast<ModuleHandle>(handle));
}

Library& Library::operator=(Library&& other) noexcept {
  if (this != &other) {
    Free();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

void Library::Free() {
  if (handle_)
    dlclose(handle_);
  handle_ = nullptr;
}

ModuleHandle Library::Release() {
  ModuleHandle h = handle_;
  handle_ = nullptr;
  return h;
}

} // namespace sys
