#include "album/tests/support/album_bytes.h"

#include "core/lzss/lzss.h"

#include <memory>

namespace album::testing {

Bytes U16(uint16_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}

Bytes U32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Bytes Field(const std::string& text, size_t size) {
  Bytes b(text.begin(), text.begin() + std::min(text.size(), size));
  b.resize(size, 0);
  return b;
}

Bytes Zeros(size_t n) {
  return Bytes(n, 0);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Scrambled(const std::string& plain) {
  Bytes out;
  for (size_t i = 0; i < plain.size(); ++i)
    out.push_back(static_cast<uint8_t>((static_cast<uint8_t>(plain[i]) + i % 5) ^ 0x80));
  return out;
}

Bytes Record(const RecordSpec& r) {
  Bytes code;
  for (int i = 0; i < 16; ++i)
    code.push_back(i == 6 ? r.category : static_cast<uint8_t>(0xC0 + i));
  Bytes name = r.fileName;
  name.resize(256, 0);
  return Cat({U32(r.number), Field(r.title, 48), Field(r.singer, 32), Field(r.lyricist, 32),
              Field(r.composer, 32), code, Field(r.excerpt, 120),
              Bytes{static_cast<uint8_t>(r.type)}, name});
}

std::vector<RecordSpec> FixtureRecords() {
  return {{7, "Arirang", "Folk Choir", "Trad.", "Trad.", 3, "Arirang arirang", 't',
           Text("arirang.vx3")},
          {9, "Blue Moon", "Kim", "Hart", "Rodgers", 5, "Blue moon, you saw me", 'b',
           Text("blue.sb3")}};
}

Bytes LocalAlbumFixture(uint32_t directIndex) {
  Bytes out = Cat({Text("VEXO3 ALBUM V2.0\x1A"), U32(2), U32(12345), Field("pop [003]", 48),
                   Field("/songs/pop", 260), U32(0), U32(0), U32(directIndex), U32(0)});
  for (const RecordSpec& r : FixtureRecords())
    out = Cat({out, Record(r)});
  return out;
}

Bytes InternetAlbumFixture(bool scrambled, uint32_t directIndex) {
  const std::string location = "http://x/songs";
  Bytes loc = scrambled ? Scrambled(location) : Text(location);
  Bytes out = Cat({Text("INTERNET VEXO3 ALBUM V1.2\x1A"), U32(0x01020304), U32(2), U32(directIndex),
                   Zeros(16), U32(static_cast<uint32_t>(loc.size())), Zeros(3), loc});
  for (RecordSpec r : FixtureRecords()) {
    if (scrambled) {
      std::string plain(r.fileName.begin(), r.fileName.end());
      r.fileName = Scrambled(plain);
      if (r.type == 't')
        r.type = 'T';
    }
    out = Cat({out, Record(r)});
  }
  return out;
}

namespace {

Bytes SubAlbum() {
  return Cat({U16(3), U16(0), Field("/alb/Song0003.alb", 516), Field("/songs/pop", 260), U32(2),
              Bytes{'e'}});
}

Bytes Entry(bool full, uint32_t number, uint16_t sub, int16_t group, uint32_t pos, char type,
            const std::string& title, const std::string& file, const std::string& singer,
            uint8_t category) {
  Bytes out = Cat({U32(number), U16(sub), U16(static_cast<uint16_t>(group)), U32(pos),
                   Bytes{static_cast<uint8_t>(type)}, U16(static_cast<uint16_t>(title.size())),
                   Text(title), U16(static_cast<uint16_t>(file.size())), Text(file)});
  if (full) {
    Bytes code(16, 0);
    code[6] = category;
    out = Cat({out, U16(static_cast<uint16_t>(singer.size())), Text(singer), code});
  }
  return out;
}

Bytes Entries(bool full) {
  return Cat({Entry(full, 7, 3, 0, 0, 't', "Arirang", "arirang.vx3", "Folk Choir", 3),
              Entry(full, 9, 3, 1, 1, 'b', "Blue Moon", "blue.sb3", "Kim", 5)});
}

} // namespace

Bytes MasterAlbumFixture(bool v21) {
  return Cat({Text(v21 ? "VEXO3 MASTER ALBUM V2.1\x1A" : "VEXO3 MASTER ALBUM V2.0\x1A"), U16(1),
              U32(2), U32(46), U32(785), U32(0), U32(1), SubAlbum(), Entries(v21)});
}

Bytes ModeAlbumFixture(int version, bool newSongList) {
  std::string magic =
      "LOCAL INTERNET VEXO3 MASTER ALBUM V1." + std::to_string(version - 10) + "\x1A";
  Bytes out = Cat({Text(magic), U16(1), U32(2), U32(61), U32(785), U32(1700000000), U32(1),
                   SubAlbum(), Entries(version != 10)});
  if (newSongList)
    out = Cat({out, U32(2), U32(9), U32(7)});
  return out;
}

Bytes ThunkFixture() {
  return Cat({Text("INTERNET VELMORITH THUNK V1.2\x1A"), Zeros(8), U32(2), Zeros(16), U32(11),
              Text("iRo0001.alz"), U32(11), U32(11), Text("iRo0002.alz"), U32(12), U32(1), U32(7)});
}

Bytes RollFixture(uint8_t byte37) {
  Bytes album = InternetAlbumFixture();
  auto codec = std::make_unique<core::LzssCodec>();
  return Cat({Text("INTERNET VEXO3 COMPRESSED ALBUM V1.0\x1A"), Bytes{byte37},
              U32(static_cast<uint32_t>(album.size())), codec->Pack(album)});
}

} // namespace album::testing
