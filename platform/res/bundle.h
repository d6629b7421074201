// Resource bundles: the texts (and later the dialog templates, menus,
// bitmaps, icons and cursors) of one program or library, loaded by name at
// start. A name the system loads as "rX.dll" is the file rX.rcc, a Qt binary
// resource file built from resources/rX/, in the folder it is loaded from.
//
// Inside a bundle: strings.txt (see string_table.h), and further files by
// kind in folders of their own (bitmaps/, icons/, cursors/, dialogs/,
// menus/), named by resource number.
#pragma once

#include "platform/sys/codepage.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/resource/resource_text.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace res {

// "rTamblo.dll" and "rTamblo" give "rTamblo.rcc".
std::string BundleFileName(std::string_view name);

class Bundle {
public:
  // Loads BundleFileName(name) from folder (the program's folder when
  // empty). nullopt when the file is missing or is not a bundle (its
  // strings.txt malformed); error says why when given.
  static std::optional<Bundle> Load(std::string_view name, std::string_view folder,
                                    std::string* error = nullptr);

  // The name without ".dll", e.g. "rTamblo".
  const std::string& Name() const;
  // The path of the file it was loaded from.
  const std::string& Path() const;

  // String id in UTF-8; nullopt when the bundle has none by that number.
  std::optional<std::string> String(uint32_t id) const;
  // String id in code-page bytes ('?' for what the code page cannot hold);
  // empty when the bundle has none.
  std::string StringBytes(uint32_t id, int codePage = sys::kDefaultCodePage) const;
  // String id in code-page bytes into buffer: at most size - 1 bytes, never
  // half a double-byte character, then a zero byte. Returns the bytes
  // copied; 0 (and an empty buffer) when the bundle has no such string.
  int CopyString(uint32_t id, char* buffer, int size, int codePage = sys::kDefaultCodePage) const;
  size_t StringCount() const;

  // The bytes of a file of the bundle, e.g. "bitmaps/130.bmp"; nullopt when
  // it has none.
  std::optional<std::vector<uint8_t>> File(std::string_view path) const;
  // A bitmap by number ("bitmaps/160.bmp") or by name ("bitmaps/IDB_NUM0.bmp");
  // nullopt when it has none, or for a name that is empty or has a '/'.
  std::optional<std::vector<uint8_t>> BitmapFile(uint32_t id) const;
  std::optional<std::vector<uint8_t>> BitmapFile(std::string_view name) const;
  // The path by which Qt reads that file (":/...").
  std::string QtPath(std::string_view path) const;
  // Its files for the resource forms of platform/ui (menus, accelerators,
  // tool bars, icons); the bundle's contents stay alive with it.
  ui::ResourceFiles Files() const;

private:
  struct State;
  explicit Bundle(std::shared_ptr<const State> state) : state_(std::move(state)) {}
  std::shared_ptr<const State> state_;
};

// A message box of the bundle's string id (UTF-8; empty when it has none)
// under caption; returns the button chosen.
int MessageBoxString(const Bundle& bundle, uint32_t id, uint32_t flags = ui::MB_OK,
                     ui::WindowHandle owner = 0, std::string_view caption = {});

// The message box shown when a bundle cannot be loaded at start.
struct MissingBundleBox {
  std::string text;              // UTF-8, e.g. "rKivo32.dll is not found!"
  std::string caption = "Error"; // UTF-8
  uint32_t flags = ui::MB_OK | ui::MB_ICONEXCLAMATION;
};

// Load for a program's or library's start: on failure shows box through the
// message box service, writes the reason to standard error and returns
// nullopt, and the caller fails its start.
std::optional<Bundle> LoadAtStart(std::string_view name, std::string_view folder,
                                  const MissingBundleBox& box);

} // namespace res
