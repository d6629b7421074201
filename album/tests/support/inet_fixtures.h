// Hand-built files of the internet album modes for the tests: index
// (thunk) files, internet albums (scrambled or plain), mode album records,
// and a mode-2 catalogue of two packed rolls laid out in an album folder.
#pragma once

#include "album/albumformats.h"
#include "album/tests/support/album_bytes.h"
#include "platform/sys/tests/scratch_folder.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace album::testing {

namespace inet_fs = std::filesystem;

inline void Put(const std::string& path, const Bytes& bytes) {
  inet_fs::create_directories(inet_fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline Bytes Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes U8(uint8_t v) {
  return Bytes{v};
}

inline Bytes ThunkBytes(const std::vector<std::pair<std::string, uint32_t>>& rolls,
                        const std::vector<uint32_t>& newSongs) {
  Bytes out = Cat({Text("INTERNET VELMORITH THUNK V1.2\x1A"), Zeros(8),
                   U32(static_cast<uint32_t>(rolls.size())), Zeros(16)});
  for (const auto& [name, stamp] : rolls)
    out = Cat({out, U32(static_cast<uint32_t>(name.size())), Text(name), U32(stamp)});
  out = Cat({out, U32(static_cast<uint32_t>(newSongs.size()))});
  for (uint32_t n : newSongs)
    out = Cat({out, U32(n)});
  return out;
}

// An internet album whose base location and file names are stored scrambled
// (mode 2) or plain.
inline Bytes InternetBytes(uint32_t stamp, const std::string& base, std::vector<RecordSpec> records,
                           bool scrambled) {
  Bytes loc = scrambled ? Scrambled(base) : Text(base);
  Bytes out = Cat({Text("INTERNET VEXO3 ALBUM V1.2\x1A"), U32(stamp),
                   U32(static_cast<uint32_t>(records.size())), U32(1), Zeros(16),
                   U32(static_cast<uint32_t>(loc.size())), Zeros(3), loc});
  for (RecordSpec& r : records) {
    if (scrambled)
      r.fileName = Scrambled(std::string(r.fileName.begin(), r.fileName.end()));
    out = Cat({out, Record(r)});
  }
  return out;
}

inline Bytes Code(uint8_t category) {
  Bytes code;
  for (int i = 0; i < 16; ++i)
    code.push_back(i == 6 ? category : static_cast<uint8_t>(0xC0 + i));
  return code;
}

inline Bytes SubRecord(uint16_t number, const std::string& path, const std::string& url,
                       uint32_t count) {
  return Cat({U16(number), U16(0), Field(path, 516), Field(url, 260), U32(count), U8('e')});
}

inline Bytes Entry(uint32_t number, uint16_t sub, uint32_t pos, char type, const std::string& title,
                   const std::string& file, const std::string& singer, uint8_t category) {
  return Cat({U32(number), U16(sub), U16(0xFFFF), U32(pos), U8(static_cast<uint8_t>(type)),
              U16(static_cast<uint16_t>(title.size())), Text(title),
              U16(static_cast<uint16_t>(file.size())), Text(file),
              U16(static_cast<uint16_t>(singer.size())), Text(singer), Code(category)});
}

struct Folders {
  sys::test::ScratchFolder scratch;
  std::string album = scratch.Path() + "/Album/";
  std::string download = scratch.Path() + "/Download/";
  Folders() { inet_fs::create_directories(album); }
};

inline std::vector<RecordSpec> PopRecords() {
  return {{7, "Arirang", "Folk Choir", "", "", 3, "", 't', Text("arirang.vx3")},
          {9, "Blue Moon", "Kim", "", "", 5, "", 'b', Text("blue.sb3")}};
}
inline std::vector<RecordSpec> RockRecords() {
  return {{12, "Cold", "Lee", "", "", 3, "", 'w', Text("cold.wm3")}};
}

// The catalogue of mode 2 built from a thunk and two packed rolls on disk.
inline void LayRolls(const Folders& f, uint32_t rockStamp = 12) {
  Put(f.album + "jThunk.alb", ThunkBytes({{"jRo0001.alb", 11}, {"jRo0002.alb", rockStamp}}, {12}));
  Put(f.album + "jRo0001.alz", PackRoll(InternetBytes(11, "\\pop", PopRecords(), true)));
  Put(f.album + "jRo0002.alz", PackRoll(InternetBytes(rockStamp, "\\rock", RockRecords(), true)));
}

} // namespace album::testing
