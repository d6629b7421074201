// Private-profile INI files: the settings files beside the modules
// ("config.ini", "game.ini"), read and written with the semantics the
// modules were written against.
//
// Reading: section and key names match without regard to ASCII case and
// surrounding blanks; a value is the text after the first '=', trimmed, with
// one pair of matching surrounding quotes (' or ") removed; the first match
// wins. Lines starting with ';' are comments. CRLF and LF files both read.
// Values are bytes of the text's code page and are never converted.
//
// Writing: every call reads the file, changes it and replaces it as a whole
// (a temporary file in the same folder, then a rename), under an exclusive
// lock on "<file>.lock" beside it, so that processes writing one file at
// once lose nothing. The file and its section are created when missing;
// every line the change does not touch is kept byte for byte; new lines take
// the file's own line ending (LF for a new file). A reader never needs the
// lock: it sees the old file or the new one.
#pragma once

#include "platform/sys/codepage.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

// Files larger than this are refused (read as absent, never rewritten).
constexpr size_t kMaxIniFileSize = 16 * 1024 * 1024;

// The text of one INI file, line by line, with the edits a profile function
// makes. Names are compared as the readers above do; codePage tells which
// bytes start a double-byte character, whose second byte is never folded.
class IniDocument {
public:
  explicit IniDocument(int codePage = kDefaultCodePage) : codePage_(codePage) {}
  static IniDocument Parse(std::string_view text, int codePage = kDefaultCodePage);

  // The whole file as it is to be written.
  std::string Text() const;
  // True once an edit has changed the text.
  bool Changed() const { return changed_; }

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;
  // Sets or adds the key (and the section); false for a name or value that
  // cannot be stored (see IsStorable*), leaving the text alone.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  // Adds an empty section when it is missing; false for a name that cannot be
  // stored.
  bool AddSection(std::string_view section);
  // Remove every line of that key in the section (every block of a repeated
  // section); true when something was removed.
  bool DeleteKey(std::string_view section, std::string_view key);
  // Removes the section's header and every line up to the next header, for
  // every block of that name; true when something was removed.
  bool DeleteSection(std::string_view section);

  // Names in the order they first appear, each once, as first spelt.
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(std::string_view section) const;

  // A section name may not hold ']', a line break or a zero byte; a key may
  // not be empty (after trimming), hold '=', a line break or a zero byte, or
  // start with '[' or ';'; a value may not hold a line break or a zero byte.
  static bool IsStorableSection(std::string_view section);
  static bool IsStorableKey(std::string_view key);
  static bool IsStorableValue(std::string_view value);

  // The names matching rule: ASCII case folded except for the second byte of
  // a double-byte character; surrounding blanks are not part of a name.
  bool NamesEqual(std::string_view a, std::string_view b) const;

private:
  enum class Kind : uint8_t { Other, Section, Key };
  // One line; its name and value are spans of its text.
  struct Line {
    std::string text;     // without its line ending
    std::string_view eol; // "\r\n", "\n" or "" (last line)
    Kind kind = Kind::Other;
    uint32_t nameAt = 0, nameSize = 0;   // section or key name, trimmed
    uint32_t valueAt = 0, valueSize = 0; // key value, trimmed, outer quotes removed
    std::string_view Name() const { return std::string_view(text).substr(nameAt, nameSize); }
    std::string_view Value() const { return std::string_view(text).substr(valueAt, valueSize); }
  };
  static Line ParseLine(std::string text, std::string_view eol, bool first);
  // Index ranges [header, end) of every block of the section.
  std::vector<std::pair<size_t, size_t>> Blocks(std::string_view section) const;
  std::string_view NewLineEnding() const;
  void EndLastLine();

  int codePage_;
  std::vector<Line> lines_;
  bool changed_ = false;
};

// The file's current contents: an empty document when the file does not
// exist, nullopt when it cannot be read or is too large.
std::optional<IniDocument> IniLoad(const std::string& path);

// Reads the file under its lock, runs edit on it and, when edit returns true
// and has changed the document, replaces the file atomically. False when the
// file cannot be read, locked or written, or when edit returns false.
bool IniUpdate(const std::string& path, const std::function<bool(IniDocument&)>& edit);

// The value of the key, or defaultValue (less its trailing spaces) when the
// key, the section or the file is missing.
std::string IniGetString(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view defaultValue);
// The same into out[0..size): at most size - 1 bytes, cut so as never to end
// in half a double-byte character, then a zero byte. Returns the number of
// bytes copied without the zero; with size 0 nothing is written.
size_t IniGetString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view defaultValue, char* out, size_t size,
                    int codePage = kDefaultCodePage);
// The key's value as an integer: defaultValue when the key is missing or its
// value is empty; otherwise an optional sign and digits, the rest ignored,
// and 0 when there are no digits. "0x", "0o" and "0b" prefixes give
// hexadecimal, octal and binary; a value past 32 bits wraps around.
int32_t IniGetInt(const std::string& path, std::string_view section, std::string_view key,
                  int32_t defaultValue);
// The rule of IniGetInt applied to a value already read.
int32_t IniParseInt(std::string_view value);

bool IniWriteString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value);
// True when the key is absent afterwards (a missing file stays missing).
bool IniDeleteKey(const std::string& path, std::string_view section, std::string_view key);
bool IniDeleteSection(const std::string& path, std::string_view section);
std::vector<std::string> IniSectionNames(const std::string& path);
std::vector<std::string> IniKeyNames(const std::string& path, std::string_view section);

// The settings file beside a module: modulePath with everything after its
// last '/' or '\' replaced by iniName ("/opt/v/Kivo32" -> "/opt/v/config.ini").
std::string IniPathBeside(std::string_view modulePath, std::string_view iniName);

} // namespace sys
