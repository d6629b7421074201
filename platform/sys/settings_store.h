// The settings store that takes the registry's place: keys named by paths
// with backslashes ("Software\X\Y", letter case ignored), each holding named
// string and 32-bit integer values and sub-keys.
//
// Everything lives in one text file, by default
// $XDG_CONFIG_HOME/vexo3/settings.ini (~/.config when XDG_CONFIG_HOME is
// unset or relative); VEXO_SETTINGS_FILE names another file (tests point it
// at a folder of their own). The file is INI text: a section per key, its
// path as the section name, a line per value:
//
//   [Software\X\Y]
//   Name=sz:text
//   Count=dword:42
//   @=sz:the key's unnamed value
//
// Bytes that the INI form cannot carry ('%', '=', line breaks and other
// control bytes, ']' in key names, blanks at either end) are written as %XX.
// Every change goes through IniUpdate: under the file's lock, replaced
// atomically, so that processes sharing the store lose nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

enum class SettingType { String, Dword };

struct SettingValue {
  SettingType type = SettingType::String;
  std::string text;   // String values: bytes, never converted
  uint32_t dword = 0; // Dword values
};

class SettingsStore {
public:
  // The store in DefaultSettingsFile().
  SettingsStore();
  explicit SettingsStore(std::string file);

  const std::string& File() const { return file_; }

  // Key paths are split at backslashes; empty components are ignored, so
  // "\A\\B\" is "A\B". The empty path is the root, which always exists and
  // holds no values. A key exists when it was created, holds a value or has
  // a sub-key.
  bool KeyExists(std::string_view key) const;
  // Creates the key (and so every key above it); true when it exists after.
  bool CreateKey(std::string_view key);
  // Removes the key with its values and every sub-key; true when it is gone
  // afterwards.
  bool DeleteKey(std::string_view key);
  // The names of the key's direct sub-keys, each once, in file order.
  std::vector<std::string> SubKeys(std::string_view key) const;
  // The names of the key's values ("" for the unnamed value), in file order.
  std::vector<std::string> ValueNames(std::string_view key) const;

  // nullopt when the value is missing or its line is malformed.
  std::optional<SettingValue> Get(std::string_view key, std::string_view name) const;
  // nullopt as Get, and also when the value is of the other type.
  std::optional<std::string> GetString(std::string_view key, std::string_view name) const;
  std::optional<uint32_t> GetDword(std::string_view key, std::string_view name) const;

  // Create the key when needed; false on the root or when the file cannot
  // be written.
  bool SetString(std::string_view key, std::string_view name, std::string_view value);
  bool SetDword(std::string_view key, std::string_view name, uint32_t value);
  // True when the value is absent afterwards.
  bool DeleteValue(std::string_view key, std::string_view name);

private:
  bool Set(std::string_view key, std::string_view name, const std::string& encoded);
  bool PrepareFolder() const;

  std::string file_;
};

// $VEXO_SETTINGS_FILE, else $XDG_CONFIG_HOME/vexo3/settings.ini when that is
// an absolute path, else <home>/.config/vexo3/settings.ini; empty when no
// home folder is known.
std::string DefaultSettingsFile();

} // namespace sys
