// Loading the suite's libraries by name at run time and binding their entry
// points. A name the system loads as "X.dll" is the file libX.so in the
// folder it is loaded from.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sys {

struct ModuleHandleTag;
// A loaded module, as one library hands it to another so that the other can
// bind names on it. Null is no module. It stays valid while the module is
// loaded.
using ModuleHandle = ModuleHandleTag*;

// "Pavik32.dll" and "Pavik32" give "libPavik32.so"; a name that already ends
// in ".so" is kept.
std::string LibraryFileName(std::string_view name);

// The address of an entry point of module, or null when it has none.
void* FindName(ModuleHandle module, const char* name);

// Looks up names[i] into table[i] in order (both spans are equally long).
// Stops at the first name the module lacks: returns false, leaves that and
// the later table entries null, and puts the name into *missing when given.
bool BindNames(ModuleHandle module, std::span<const char* const> names, std::span<void*> table,
               std::string* missing = nullptr);
// Looks up every name; entries the module lacks stay null. Returns how many
// were found.
size_t BindAvailableNames(ModuleHandle module, std::span<const char* const> names,
                          std::span<void*> table);

// The full path of the module file (program or library) that holds address;
// empty when no module holds it.
std::string ModulePath(const void* address);
// ModulePath(address) without its file name: the module's own folder.
std::string ModuleFolder(const void* address);
// The path of the file of a loaded module; empty for null.
std::string ModuleFile(ModuleHandle module);
// The folder of the running program.
std::string ProgramFolder();

// A library loaded by name; frees it when destroyed.
class Library {
public:
  // Loads LibraryFileName(name) from folder (the program's folder when
  // empty). On failure returns nullopt and, when error is given, says why.
  static std::optional<Library> Load(std::string_view folder, std::string_view name,
                                     std::string* error = nullptr);

  Library(Library&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  Library& operator=(Library&& other) noexcept;
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library() { Free(); }

  ModuleHandle Handle() const { return handle_; }
  void* Find(const char* name) const { return FindName(handle_, name); }
  // Drops this hold on the library; the module unloads once nothing else
  // holds it. Handles and entry points taken from it must not be used after.
  void Free();
  // Gives up ownership: the library stays loaded until the process ends.
  ModuleHandle Release();

private:
  explicit Library(ModuleHandle handle) : handle_(handle) {}
  ModuleHandle handle_ = nullptr;
};

} // namespace sys
