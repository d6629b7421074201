#include "album/albumformats.h"

#include "album/tests/support/album_bytes.h"

#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

namespace {

using namespace album;
using namespace album::testing;

std::string Str(const std::array<char, 256>& a) {
  return FieldText(a);
}

void ExpectFixtureRecords(const std::vector<SongRecord>& records, bool scrambled = false) {
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].number, 7u);
  EXPECT_EQ(FieldText(records[0].title), "Arirang");
  EXPECT_EQ(FieldText(records[0].singer), "Folk Choir");
  EXPECT_EQ(FieldText(records[0].lyricist), "Trad.");
  EXPECT_EQ(FieldText(records[0].composer), "Trad.");
  EXPECT_EQ(records[0].songCode[kSongCodeCategory], 3);
  EXPECT_EQ(records[0].songCode[0], 0xC0);
  EXPECT_EQ(FieldText(records[0].excerpt), "Arirang arirang");
  EXPECT_EQ(records[0].type, scrambled ? 'T' : 't');
  EXPECT_EQ(records[1].number, 9u);
  EXPECT_EQ(FieldText(records[1].title), "Blue Moon");
  EXPECT_EQ(records[1].type, 'b');
  if (!scrambled) {
    EXPECT_EQ(Str(records[0].fileName), "arirang.vx3");
    EXPECT_EQ(Str(records[1].fileName), "blue.sb3");
  }
}

TEST(AlbumFormats, LocalAlbumReadsToItsState) {
  LocalAlbum a;
  ASSERT_EQ(ReadLocalAlbum(LocalAlbumFixture(), a), kAlbumRead);
  EXPECT_EQ(a.songCount, 2u);
  EXPECT_EQ(a.totalSize, 12345u);
  EXPECT_EQ(a.name, "pop [003]");
  EXPECT_EQ(a.folder, "/songs/pop");
  EXPECT_EQ(a.directIndex, 1u);
  ExpectFixtureRecords(a.records);
}

TEST(AlbumFormats, InternetAlbumReadsPlainAndScrambled) {
  InternetAlbum a;
  ASSERT_EQ(ReadInternetAlbum(InternetAlbumFixture(), a), kAlbumRead);
  EXPECT_EQ(a.stamp, 0x01020304u);
  EXPECT_EQ(a.directIndex, 1u);
  EXPECT_EQ(a.baseLocation, "http://x/songs");
  ExpectFixtureRecords(a.records);

  InternetAlbum s;
  ASSERT_EQ(ReadInternetAlbum(InternetAlbumFixture(true), s), kAlbumRead);
  Bytes loc = Scrambled("http://x/songs");
  EXPECT_EQ(s.baseLocation, std::string(loc.begin(), loc.end())); // kept as stored
  ExpectFixtureRecords(s.records, true);
  Bytes name = Scrambled("arirang.vx3");
  EXPECT_TRUE(std::equal(name.begin(), name.end(), s.records[0].fileName.begin(),
                         [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));
}

void ExpectSubAlbum(const std::vector<SubAlbumRecord>& subs) {
  ASSERT_EQ(subs.size(), 1u);
  EXPECT_EQ(subs[0].number, 3);
  EXPECT_EQ(subs[0].albumPath, "/alb/Song0003.alb");
  EXPECT_EQ(subs[0].folder, "/songs/pop");
  EXPECT_EQ(subs[0].songCount, 2u);
}

void ExpectEntries(const std::vector<SongIndexEntry>& e, bool full) {
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].number, 7u);
  EXPECT_EQ(e[0].subAlbum, 3);
  EXPECT_EQ(e[0].titleGroup, 0);
  EXPECT_EQ(e[0].position, 0u);
  EXPECT_EQ(e[0].type, 't');
  EXPECT_EQ(e[0].title, "Arirang");
  EXPECT_EQ(e[0].fileName, "arirang.vx3");
  EXPECT_EQ(e[0].singer, full ? "Folk Choir" : "");
  EXPECT_EQ(e[0].songCode[6], full ? 3 : 0);
  EXPECT_EQ(e[1].number, 9u);
  EXPECT_EQ(e[1].titleGroup, 1);
  EXPECT_EQ(e[1].position, 1u);
  EXPECT_EQ(e[1].singer, full ? "Kim" : "");
}

TEST(AlbumFormats, MasterAlbumReadsBothVersions) {
  for (bool v21 : {false, true}) {
    SCOPED_TRACE(v21 ? "V2.1" : "V2.0");
    MasterAlbum m;
    ASSERT_EQ(ReadMasterAlbum(MasterAlbumFixture(v21), m), kAlbumRead);
    EXPECT_EQ(m.version, v21 ? 21 : 20);
    ExpectSubAlbum(m.subAlbums);
    ExpectEntries(m.entries, v21);
  }
}

TEST(AlbumFormats, MasterAlbumV20IsSavedAsV21WithEmptySingers) {
  MasterAlbum m;
  ASSERT_EQ(ReadMasterAlbum(MasterAlbumFixture(false), m), kAlbumRead);
  Bytes expected = MasterAlbumFixture(true);
  // The V2.1 fixture with the singers and codes a V2.0 file does not have.
  MasterAlbum v21;
  ASSERT_EQ(ReadMasterAlbum(expected, v21), kAlbumRead);
  for (auto& e : v21.entries) {
    e.singer.clear();
    e.songCode = {};
  }
  EXPECT_EQ(EncodeMasterAlbum(m), EncodeMasterAlbum(v21));
  Bytes head(expected.begin(), expected.begin() + 24);
  Bytes encoded = EncodeMasterAlbum(m);
  EXPECT_EQ(Bytes(encoded.begin(), encoded.begin() + 24), head);
}

TEST(AlbumFormats, ModeAlbumReadsEveryVersion) {
  struct Case {
    const char* what;
    int version;
    bool list;
  };
  const Case cases[] = {{"V1.0 with list", 10, true}, {"V1.0 without list", 10, false},
                        {"V1.1 with list", 11, true}, {"V1.1 without list", 11, false},
                        {"V1.2 with list", 12, true}, {"V1.2 without list", 12, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ModeAlbum m;
    ASSERT_EQ(ReadModeAlbum(ModeAlbumFixture(c.version, c.list), m), kAlbumRead);
    EXPECT_EQ(m.version, c.version);
    EXPECT_EQ(m.writtenAt, 1700000000u);
    ExpectSubAlbum(m.subAlbums);
    ExpectEntries(m.entries, c.version != 10);
    EXPECT_EQ(m.hasNewSongList, c.list);
    EXPECT_EQ(m.newSongs, c.list ? std::vector<uint32_t>({9, 7}) : std::vector<uint32_t>());
  }
}

TEST(AlbumFormats, ThunkReadsRollsAndNewSongs) {
  ThunkFile t;
  ASSERT_EQ(ReadThunkFile(ThunkFixture(), t), kAlbumRead);
  ASSERT_EQ(t.rolls.size(), 2u);
  EXPECT_EQ(t.rolls[0].name, "iRo0001.alz");
  EXPECT_EQ(t.rolls[0].stamp, 11u);
  EXPECT_EQ(t.rolls[1].name, "iRo0002.alz");
  EXPECT_EQ(t.rolls[1].stamp, 12u);
  EXPECT_EQ(t.newSongs, std::vector<uint32_t>({7}));
}

TEST(AlbumFormats, RollUnpacksOnlyWithZeroAfterTheMagic) {
  Bytes album;
  ASSERT_EQ(UnpackRoll(RollFixture(0), album), kAlbumRead);
  EXPECT_EQ(album, InternetAlbumFixture());
  EXPECT_EQ(UnpackRoll(RollFixture(1), album), kAlbumWrongMagic);
  EXPECT_TRUE(album.empty());
}

// Each writable fixture read and written again gives its bytes back.
TEST(AlbumFormats, EveryWritableFixtureIsWrittenBackByteForByte) {
  using Recode = std::function<Bytes(const Bytes&)>;
  struct Case {
    const char* what;
    Bytes bytes;
    Recode recode;
  };
  const Recode local = [](const Bytes& b) {
    LocalAlbum a;
    EXPECT_EQ(ReadLocalAlbum(b, a), kAlbumRead);
    return EncodeLocalAlbum(a);
  };
  const Recode internet = [](const Bytes& b) {
    InternetAlbum a;
    EXPECT_EQ(ReadInternetAlbum(b, a), kAlbumRead);
    return EncodeInternetAlbum(a);
  };
  const Recode master = [](const Bytes& b) {
    MasterAlbum a;
    EXPECT_EQ(ReadMasterAlbum(b, a), kAlbumRead);
    return EncodeMasterAlbum(a);
  };
  const Recode mode = [](const Bytes& b) {
    ModeAlbum a;
    EXPECT_EQ(ReadModeAlbum(b, a), kAlbumRead);
    return EncodeModeAlbum(a);
  };
  const Recode thunk = [](const Bytes& b) {
    ThunkFile a;
    EXPECT_EQ(ReadThunkFile(b, a), kAlbumRead);
    return EncodeThunkFile(a);
  };
  const Recode roll = [](const Bytes& b) {
    Bytes album;
    EXPECT_EQ(UnpackRoll(b, album), kAlbumRead);
    return PackRoll(album);
  };
  const Case cases[] = {
      {"local, direct index", LocalAlbumFixture(1), local},
      {"local, scanned", LocalAlbumFixture(0), local},
      {"internet plain", InternetAlbumFixture(false), internet},
      {"internet scrambled", InternetAlbumFixture(true), internet},
      {"master V2.1", MasterAlbumFixture(true), master},
      {"mode V1.2 with new songs", ModeAlbumFixture(12, true), mode},
      {"mode V1.2 without new songs", ModeAlbumFixture(12, false), mode},
      {"thunk", ThunkFixture(), thunk},
      {"roll", RollFixture(0), roll},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.recode(c.bytes), c.bytes);
  }
}

TEST(AlbumFormats, WritersReplaceTheFileOnDisk) {
  sys::test::ScratchFolder dir;
  std::string path = dir / "Song0003.alb";
  sys::test::WriteFile(path, "old contents");
  LocalAlbum a;
  ASSERT_EQ(ReadLocalAlbum(LocalAlbumFixture(), a), kAlbumRead);
  ASSERT_TRUE(WriteLocalAlbum(path, a));
  std::optional<Bytes> written = ReadAlbumFileBytes(path);
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, LocalAlbumFixture());

  MasterAlbum m;
  ASSERT_EQ(ReadMasterAlbum(MasterAlbumFixture(true), m), kAlbumRead);
  ASSERT_TRUE(WriteMasterAlbum(dir / "Song.alb", m));
  EXPECT_EQ(ReadAlbumFileBytes(dir / "Song.alb"), MasterAlbumFixture(true));

  // A folder that cannot take the file: the writer fails and leaves nothing.
  EXPECT_FALSE(WriteLocalAlbum(dir / "missing/Song0001.alb", a));
  EXPECT_FALSE(WriteModeAlbum(dir / "missing/iSong.alb", ModeAlbum{}));
}

TEST(AlbumFormats, AShortWriteLeavesTheOldFileWhole) {
  sys::test::ScratchFolder dir;
  const Bytes old = LocalAlbumFixture(0);
  sys::test::WriteFile(dir / "Song0003.alb", std::string(old.begin(), old.end()));
  sys::test::WriteFile(dir / "Song.alb", "old master");
  LocalAlbum a;
  ASSERT_EQ(ReadLocalAlbum(LocalAlbumFixture(1), a), kAlbumRead);
  MasterAlbum m;
  ASSERT_EQ(ReadMasterAlbum(MasterAlbumFixture(true), m), kAlbumRead);
  // A file-size limit cuts the writes short, as a full disk would.
  struct rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 400;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool local = WriteLocalAlbum(dir / "Song0003.alb", a);
  bool master = WriteMasterAlbum(dir / "Song.alb", m);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(local);
  EXPECT_FALSE(master);
  EXPECT_EQ(ReadAlbumFileBytes(dir / "Song0003.alb"), old);
  EXPECT_EQ(sys::test::ReadFile(dir / "Song.alb"), "old master");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                          std::filesystem::directory_iterator()),
            2);
}

TEST(AlbumFormats, ShortAndDamagedFilesGiveTheirCodes) {
  struct Case {
    const char* what;
    Bytes bytes;
    std::function<int(const Bytes&)> read;
    int code;
    size_t itemsKept; // records or entries read before the fault
  };
  auto local = [](const Bytes& b) {
    LocalAlbum a;
    int c = ReadLocalAlbum(b, a);
    return c * 100 + static_cast<int>(a.records.size());
  };
  auto internet = [](const Bytes& b) {
    InternetAlbum a;
    int c = ReadInternetAlbum(b, a);
    return c * 100 + static_cast<int>(a.records.size());
  };
  auto master = [](const Bytes& b) {
    MasterAlbum a;
    int c = ReadMasterAlbum(b, a);
    return c * 100 + static_cast<int>(a.entries.size());
  };
  auto mode = [](const Bytes& b) {
    ModeAlbum a;
    int c = ReadModeAlbum(b, a);
    return c * 100 + static_cast<int>(a.entries.size());
  };
  auto thunk = [](const Bytes& b) {
    ThunkFile a;
    int c = ReadThunkFile(b, a);
    return c * 100 + static_cast<int>(a.rolls.size());
  };
  Bytes local1 = LocalAlbumFixture();
  local1.pop_back(); // the second record is short
  Bytes huge = LocalAlbumFixture();
  huge[17] = 0xFF, huge[18] = 0xFF, huge[19] = 0xFF, huge[20] = 0x7F; // count 2^31-1
  Bytes wrong = LocalAlbumFixture();
  wrong[16] = 0; // the magic's 0x1A
  Bytes negCount = InternetAlbumFixture();
  negCount[33] = 0x80;
  Bytes longLoc = InternetAlbumFixture();
  longLoc[57] = 0x7F; // base-location length past the file
  const Bytes plain = InternetAlbumFixture();
  Bytes bigLoc = Cat({Bytes(plain.begin(), plain.begin() + 54), U32(5000), Zeros(3), Zeros(5000)});
  Bytes master1 = MasterAlbumFixture(true);
  master1.resize(master1.size() - 3); // the second entry's code is short
  Bytes masterSubs = MasterAlbumFixture(true);
  masterSubs[24] = 0xFF, masterSubs[25] = 0x7F; // 32767 sub-albums
  Bytes masterNeg = MasterAlbumFixture(true);
  masterNeg[29] = 0x80;
  Bytes modeList = ModeAlbumFixture(12, true);
  modeList.resize(modeList.size() - 4); // the list's second number is missing
  Bytes thunkName = ThunkFixture();
  thunkName[58] = 0xFF, thunkName[59] = 0xFF, thunkName[60] = 0xFF, thunkName[61] = 0xFF;
  Bytes thunkNoList = ThunkFixture();
  thunkNoList.resize(thunkNoList.size() - 8);
  const Case cases[] = {
      {"local wrong magic", wrong, local, 0, 0},
      {"local magic only", Bytes(local1.begin(), local1.begin() + 17), local, -1, 0},
      {"local header short", Bytes(local1.begin(), local1.begin() + 348), local, -1, 0},
      {"local short record", local1, local, -1, 1},
      {"local count past the file", huge, local, -1, 2},
      {"internet negative count", negCount, internet, -1, 0},
      {"internet location past the file", longLoc, internet, -1, 0},
      {"internet location past its bound", bigLoc, internet, -2, 0},
      {"master entry short", master1, master, -1, 1},
      {"master sub-albums past the file", masterSubs, master, -1, 0},
      {"master negative song count", masterNeg, master, -1, 0},
      {"master wrong magic", LocalAlbumFixture(), master, 0, 0},
      {"mode new-song list short", modeList, mode, -1, 2},
      {"mode wrong magic", MasterAlbumFixture(true), mode, 0, 0},
      {"thunk name length past the file", thunkName, thunk, -1, 0},
      {"thunk without new-song list", thunkNoList, thunk, -1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int got = c.read(c.bytes);
    EXPECT_EQ(got, c.code * 100 + static_cast<int>(c.itemsKept));
  }
}

TEST(AlbumFormats, RollsThatDoNotUnpackToOneAlbumAreRefused) {
  auto pack = [](const Bytes& album, uint32_t stated) {
    Bytes roll = PackRoll(album);
    Bytes size = U32(stated);
    std::copy(size.begin(), size.end(), roll.begin() + 38);
    return roll;
  };
  Bytes album = InternetAlbumFixture();
  Bytes extra = Cat({album, Bytes{1, 2, 3}});
  Bytes cut(album.begin(), album.end() - 1);
  const Bytes roll = RollFixture();
  struct Case {
    const char* what;
    Bytes roll;
    int code;
  };
  const Case cases[] = {
      {"whole", pack(album, static_cast<uint32_t>(album.size())), kAlbumRead},
      {"stated size larger than the stream gives",
       pack(album, static_cast<uint32_t>(album.size() + 1)), kAlbumShort},
      {"stated size past every bound", pack(album, 0xFFFFFFFF), kAlbumTooLarge},
      {"bytes after the records", pack(extra, static_cast<uint32_t>(extra.size())), kAlbumShort},
      {"last record short", pack(cut, static_cast<uint32_t>(cut.size())), kAlbumShort},
      {"header only", Bytes(roll.begin(), roll.begin() + 40), kAlbumShort},
      {"no roll", LocalAlbumFixture(), kAlbumWrongMagic},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes out;
    EXPECT_EQ(UnpackRoll(c.roll, out), c.code);
    EXPECT_EQ(out.empty(), c.code != kAlbumRead);
  }
}

TEST(AlbumFormats, FixedFieldsAreCutWithoutHalfACharacter) {
  LocalAlbum a;
  // 46 ASCII bytes and a two-byte character: the character does not fit
  // in the 47 bytes before the terminator.
  a.name = std::string(46, 'a') + "\xB0\xA1";
  a.folder = std::string(300, 'f');
  Bytes b = EncodeLocalAlbum(a);
  LocalAlbum back;
  ASSERT_EQ(ReadLocalAlbum(b, back), kAlbumRead);
  EXPECT_EQ(back.name, std::string(46, 'a'));
  EXPECT_EQ(back.folder, std::string(259, 'f'));
  EXPECT_EQ(b[17 + 8 + 47], 0);
  SongRecord r;
  SetField(r.title, std::string(47, 'x') + "\xB0\xA1");
  EXPECT_EQ(FieldText(r.title), std::string(47, 'x'));
  SetField(r.title, "ab\xB0\xA1");
  EXPECT_EQ(FieldText(r.title), "ab\xB0\xA1");
}

// Every prefix of every fixture is read by every reader under the sanitizers;
// a prefix of a whole file is never taken for the whole file.
TEST(AlbumFormats, EveryPrefixOfEveryFixtureIsReadSafely) {
  const Bytes fixtures[] = {LocalAlbumFixture(),
                            InternetAlbumFixture(true),
                            MasterAlbumFixture(false),
                            MasterAlbumFixture(true),
                            ModeAlbumFixture(10, true),
                            ModeAlbumFixture(11, false),
                            ModeAlbumFixture(12, true),
                            ThunkFixture(),
                            RollFixture()};
  for (const Bytes& f : fixtures) {
    for (size_t n = 0; n < f.size(); ++n) {
      Bytes prefix(f.begin(), f.begin() + n);
      LocalAlbum l;
      InternetAlbum i;
      MasterAlbum m;
      ModeAlbum o;
      ThunkFile t;
      Bytes r;
      int codes[] = {ReadLocalAlbum(prefix, l),  ReadInternetAlbum(prefix, i),
                     ReadMasterAlbum(prefix, m), ReadModeAlbum(prefix, o),
                     ReadThunkFile(prefix, t),   UnpackRoll(prefix, r)};
      for (int c : codes) {
        // A mode album may end after its entries (no new-song list).
        if (c == kAlbumRead) {
          EXPECT_TRUE(HasMagic(prefix, kModeAlbumMagicV10) ||
                      HasMagic(prefix, kModeAlbumMagicV11) || HasMagic(prefix, kModeAlbumMagicV12))
              << "prefix " << n;
        }
        EXPECT_GE(c, -2);
      }
    }
  }
}

} // namespace
