// The fonts and colours the display draws its texts with: seven font records
// (the lyric lines' three colour groups, the number strips, the title and the
// info strip), each with an outline flag and a run of the twenty colour
// entries, kept in "config.ini" under "Words" + the name of the record's
// first entry, and written straight back so the file always holds every key.
#pragma once

#include "platform/gdi/font.h"
#include "platform/gdi/types.h"
#include "platform/sys/codepage.h"
#include "platform/sys/ini.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace display {

class LyricStyleTable {
public:
  static constexpr int kFontRecords = 7;
  static constexpr int kEntries = 20;
  // Entry names come from these resource strings, one per entry.
  static constexpr uint32_t kFirstNameString = 240;
  // Bytes of a name, without its terminating zero.
  static constexpr size_t kMaxNameBytes = 29;
  // A face is read up to this many bytes and kept up to 31.
  static constexpr size_t kMaxFaceReadBytes = 40;

  // The entry names used until the resource module gives its own.
  static const std::array<const char*, kEntries> kBuiltInNames;

  // A resource module's string by number, in code-page bytes; nullopt when
  // the module has none.
  using StringLookup = std::function<std::optional<std::string>(uint32_t id)>;

  explicit LyricStyleTable(std::string configPath, int codePage = sys::kDefaultCodePage);

  const std::string& ConfigPath() const { return path_; }

  // Takes the names of entries 0 to 19 from strings 240 to 259; a string the
  // module lacks (or an empty one) keeps the built-in name, so that no two
  // records ever share a section.
  void LoadNames(const StringLookup& strings);
  // Reads every record and writes it straight back (Outline, Font, Weight,
  // Italic, then its colours). False when the file could not be written; the
  // values read are in use either way.
  bool LoadAndStore();
  // Reads every record without writing.
  void Reload();
  // [Locale_<locale>] Font: any value but "@" becomes the face of all seven
  // records.
  void ApplyLocaleFace(int locale);

  // The first entry of a font record and the number of entries it covers.
  static int FirstEntry(int record);
  static int EntryCount(int record);
  // "Words" + the name of the record's first entry.
  std::string Section(int record) const;
  std::string_view Name(int entry) const;

  // Records outside 0..6 give record 0.
  const gdi::LogFont& Font(int record) const;
  bool Outline(int record) const;
  int32_t OutlineValue(int record) const;
  // Entries outside 0..19 give black.
  gdi::Colour Entry(int entry) const;
  // Colour k (1 to 4) of the lyric colour group: group 0 is entries 0-3,
  // group 1 entries 4-7, any other group entries 8-11. A k outside 1..4 is
  // held to the nearest.
  gdi::Colour Colour(int group, int k) const;

private:
  struct Record {
    gdi::LogFont font;
    int32_t outline = 1;
  };
  static gdi::LogFont DefaultFont();
  void ReadRecord(int record, const sys::IniDocument& doc);

  std::string path_;
  int codePage_;
  std::array<std::string, kEntries> names_;
  std::array<Record, kFontRecords> records_;
  std::array<gdi::Colour, kEntries> colours_{};
};

} // namespace display
