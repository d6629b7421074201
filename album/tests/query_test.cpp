// The album's queries: the text matches against tables of cases, and the
// title, singer and text queries, the walk, the random pick, the singer
// lists and the category filter over a small catalogue in every context.
#include "album/query.h"

#include "album/albumdatabase.h"
#include "album/albumformats.h"
#include "album/tests/support/album_bytes.h"
#include "album/tests/support/song_tree.h"
#include "platform/sys/codepage.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <set>

namespace {

using namespace album;
using namespace album::testing;
namespace fs = std::filesystem;

std::string Cp(const char* utf8) {
  return sys::FromUtf8(utf8).value();
}

TEST(QueryText, MatchTable) {
  const std::string ga = Cp("가"), na = Cp("나");
  struct Case {
    const char* what;
    int kind; // 0 prefix, 2 anywhere
    std::string pattern, text;
    int expected;
  };
  const std::vector<Case> cases = {
      {"blanks and case: 'a b' begins 'AB...'", 0, "a b", "AB cd", 1},
      {"a prefix never matches inside", 0, "ab", "XAB", 0},
      {"an empty pattern matches nothing", 0, "", "ab", 0},
      {"a pattern longer than the text", 0, "abc", "ab", 0},
      {"a prefix ending in half a character", 0, ga.substr(0, 1), ga + na, 0},
      {"a whole double-byte prefix", 0, ga, ga + na, 1},
      {"AB in XAB", 2, "AB", "XAB", 1},
      {"AB in XAAB", 2, "AB", "XAAB", 1},
      {"AB at the very start and end", 2, "ab", "ab", 1},
      {"an empty pattern finds nothing", 2, "", "ab", 0},
      {"a lead byte equal, the trail byte not", 2, ga, std::string("\xB0\xA2"), 0},
      // C7 B0 | A1 41: the bytes B0 A1 straddle two characters.
      {"a lead byte equal to another character's trail byte", 2, ga,
       std::string("\xC7\xB0\xA1\x41"), 0},
      {"after such a straddle the real one is found", 2, ga, std::string("\xC7\xB0") + ga, 1},
      {"half a character never matches", 2, ga.substr(0, 1), ga, 0},
      {"trail bytes 0x41-0x5A are not letters", 2, std::string("\x81\x61"),
       std::string("\x81\x41"), 0},
      {"a trail byte 0x41 matches itself", 2, std::string("\x81\x41"), std::string("x\x81\x41"),
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string p = QueryKey(c.pattern), t = QueryKey(c.text);
    EXPECT_EQ(c.kind == 0 ? MatchPrefix(p, t) : FindSubstringDbcs(p, t), c.expected);
  }
}

TEST(QueryText, KeysFoldSingleByteLettersAndCutWholeCharacters) {
  EXPECT_EQ(QueryKey("  Ab C\x81" "A"), "abc\x81" "A") << "the trail byte stays";
  EXPECT_EQ(MatchNoSpaces(" a b "), "ab");
  const std::string ga = Cp("가");
  std::string k63, k64;
  for (int i = 0; i < 63; ++i)
    k63 += ga;
  k64 = k63 + ga;
  EXPECT_EQ(MatchNoSpaces(k63 + "a").size(), 127u);
  EXPECT_EQ(MatchNoSpaces(k64), k63) << "126 bytes: the 64th character does not fit whole";
  EXPECT_EQ(MatchNoSpaces("a" + k64).size(), 127u);
  EXPECT_EQ(MatchNoSpaces(std::string(200, 'x')).size(), 127u);
  // A lone lead byte at the end of a field is one character, and nothing
  // past the field is read.
  const std::string buffer = "ab\xB0\xA1";
  EXPECT_EQ(FindSubstringDbcs(ga, std::string_view(buffer).substr(0, 3)), 0);
  EXPECT_EQ(FindSubstringDbcs("\xB0", std::string_view(buffer).substr(0, 3)), 1);
}

// The match index answers as a scan of every record with the plain
// matches would: random fields of letters, blanks, trail bytes 0x41-0x5A
// and lone lead bytes, random patterns cut from them.
TEST(QueryIndex, AnswersAsTheRecordScanDoes) {
  sys::test::ScratchFolder dir;
  std::mt19937 rng(17);
  const std::vector<std::string> pieces = {"a", "B", " ", "ab", "\xB0\xA1", "\xB0\x41",
                                           "\x81\x61", "\xC7\xB0", "A", "\xA1"};
  auto text = [&](size_t most) {
    std::string t;
    for (int n = static_cast<int>(rng() % 12); n > 0; --n)
      t += pieces[rng() % pieces.size()];
    return t.substr(0, std::min(t.size(), most));
  };
  LocalAlbum album;
  album.name = "x";
  album.folder = "C:\\x";
  for (uint32_t i = 0; i < 300; ++i) {
    SongRecord r;
    r.number = i + 1;
    SetField(r.title, text(47));
    SetField(r.singer, text(31));
    SetField(r.excerpt, text(119));
    // Some fields filled to the end, their last byte maybe a lone lead.
    if (i % 7 == 0)
      for (size_t k = 0; k < r.singer.size(); ++k)
        r.singer[k] = k % 2 ? 'q' : '\xB0';
    album.records.push_back(r);
  }
  ASSERT_TRUE(WriteLocalAlbum(dir / "Song0001.alb", album));
  std::shared_ptr<AlbumMatchIndex> index = AlbumMatchIndex::Build(dir / "Song0001.alb");
  ASSERT_TRUE(index->valid);
  ASSERT_EQ(index->records, 300u);
  for (int round = 0; round < 3000; ++round) {
    const int kind = static_cast<int>(rng() % 4);
    const SongRecord& from = album.records[rng() % album.records.size()];
    std::string source = kind == 1 ? FieldText(from.singer) : kind == 2 ? FieldText(from.excerpt)
                                                                        : FieldText(from.title);
    size_t start = rng() % (source.size() + 1);
    std::string pattern = round % 5 == 0 ? text(6) : source.substr(start, rng() % 7);
    const std::string key = QueryKey(pattern);
    std::vector<uint32_t> expected;
    for (uint32_t i = 0; i < album.records.size(); ++i) {
      const SongRecord& r = album.records[i];
      if (kind == 0 && MatchPrefix(key, QueryKey(FieldText(r.title))))
        expected.push_back(i);
      if (kind == 1 &&
          MatchPrefix(key, QueryKey(std::string_view(r.singer.data(),
                                                     strnlen(r.singer.data(), r.singer.size())))))
        expected.push_back(i);
      if (kind == 2 && FindSubstringDbcs(key, QueryKey(FieldText(r.excerpt))))
        expected.push_back(i);
    }
    ASSERT_EQ(index->Matches(kind, key), expected)
        << "kind " << kind << " pattern '" << pattern << "' round " << round;
  }
}

// The catalogue of the database tests: two folders, titles, singers,
// categories and text excerpts chosen for the queries.
struct Song {
  const char* file; // folder/name
  const char* title;
  const char* singer;
  uint8_t category;
  const char* text;
};
const std::vector<Song> kSongs = {
    {"a/a1.vx3", "Abc Song", "Kim", 1, "XAAB lyric"},
    {"a/a2.vx3", "ab Other", "K im", 2, "hello"},
    {"a/a3.vx3", "가나다", "이 수", 1, "가나"},
    {"b/b1.vx3", "Zed", "kim", 2, "xab"},
    {"b/b2.vx3", "Abyss", "Lee", 1, "none"},
};

class QueryTest : public ::testing::Test {
public:
  void SetUp() override {
    album_ = dir_ / "album";
    fs::create_directories(album_);
    for (const Song& s : kSongs)
      ASSERT_TRUE(WriteSong(dir_ / ("songs/" + std::string(s.file)), Cp(s.title), Cp(s.singer),
                            s.category, s.text));
    sys::IniWriteString(album_ + "/config.ini", "AlbManager", "Dir1",
                        sys::ToStoredPath(dir_ / "songs/a").value());
    sys::IniWriteString(album_ + "/config.ini", "AlbManager", "Dir2",
                        sys::ToStoredPath(dir_ / "songs/b").value());
    db_.Open(album_);
    db_.CheckAlbumFolders();
    ASSERT_EQ(db_.GetNumOfSubAlb(), 2);
    for (const Song& s : kSongs) {
      std::string path = sys::ToStoredPath(dir_ / ("songs/" + std::string(s.file))).value();
      numbers_[s.file] = db_.FindSongByPath(path);
      ASSERT_NE(numbers_[s.file], 0u) << s.file;
    }
    db_.MyAlbums()->AddMyAlbum("Mine");
    db_.MyAlbums()->AddSong(0, N("b/b1.vx3"));
    db_.MyAlbums()->AddSong(0, N("a/a1.vx3"));
  }
  uint32_t N(const char* file) { return numbers_.at(file); }
  const Song& SongOf(uint32_t number) {
    for (const Song& s : kSongs)
      if (numbers_[s.file] == number)
        return s;
    ADD_FAILURE() << "no song " << number;
    return kSongs[0];
  }
  // The results of a whole query and the numbers of its matches.
  std::vector<int> Run(const std::string& text, int kind, std::vector<uint32_t>* matches = nullptr) {
    std::vector<int> results;
    if (!db_.OpenQueryByTitleSinger(text, kind))
      return results;
    SongRecord r;
    for (int step = 0; step < 100; ++step) {
      int result = db_.GetQueryByTitleSinger(r);
      results.push_back(result);
      if (result == kQueryMatched && matches)
        matches->push_back(r.number);
      if (result == kQueryFinished)
        break;
    }
    return results;
  }
  std::vector<std::pair<int32_t, std::string>> Walk() {
    std::vector<std::pair<int32_t, std::string>> out;
    if (!db_.OpenQueryBySequentially())
      return out;
    int32_t number = -1;
    const char* title = nullptr;
    const std::array<uint8_t, 16>* code = nullptr;
    for (int step = 0; step < 100; ++step) {
      int type = db_.GetQueryBySequentially(&number, &title, &code);
      if (type == kWalkEnd)
        break;
      EXPECT_TRUE(type == 't' || type == 'b' || type == 'w' || type == 'o') << type;
      out.emplace_back(number, title);
    }
    return out;
  }

  sys::test::ScratchFolder dir_;
  std::string album_;
  AlbumDatabase db_;
  std::map<std::string, uint32_t> numbers_;
};

TEST_F(QueryTest, StepsGoAlbumByAlbumRecordByRecord) {
  std::vector<uint32_t> m;
  // Album a: a1 and a2 match, a3 does not; album b: b2.
  EXPECT_EQ(Run("ab", kQueryByTitle, &m), (std::vector<int>{1, 1, 2, 1, 0}));
  EXPECT_EQ(m, (std::vector<uint32_t>{N("a/a1.vx3"), N("a/a2.vx3"), N("b/b2.vx3")}));
  // Filtered matches are steps without a match.
  db_.SetCategoryFilter(2);
  EXPECT_EQ(Run("ab", kQueryByTitle), (std::vector<int>{2, 1, 2, 2, 0}));
  db_.SetCategoryFilter(0);
  m.clear();
  EXPECT_EQ(Run("KI M", kQueryBySinger, &m), (std::vector<int>{1, 1, 2, 1, 0}));
  EXPECT_EQ(m, (std::vector<uint32_t>{N("a/a1.vx3"), N("a/a2.vx3"), N("b/b1.vx3")}));
  m.clear();
  EXPECT_EQ(Run("AB", kQueryByText, &m), (std::vector<int>{1, 2, 1, 0})) << "XAAB and xab";
  EXPECT_EQ(m, (std::vector<uint32_t>{N("a/a1.vx3"), N("b/b1.vx3")}));
  m.clear();
  Run(Cp("가"), kQueryByTitle, &m);
  EXPECT_EQ(m, std::vector<uint32_t>{N("a/a3.vx3")});
  EXPECT_EQ(Run("ab", 3), (std::vector<int>{2, 0})) << "kinds above 2 match nothing";
  EXPECT_EQ(Run("", kQueryByTitle), (std::vector<int>{2, 0}));

  // The record as stored: the bare file name.
  ASSERT_EQ(db_.OpenQueryByTitleSinger("zed", kQueryByTitle), 1);
  SongRecord r;
  while (db_.GetQueryByTitleSinger(r) == kQueryCallAgain) {
  }
  EXPECT_EQ(FieldText(r.fileName), "b1.vx3");
  EXPECT_EQ(FieldText(r.excerpt), "xab");
  db_.CloseQueryByTitleSinger();
  EXPECT_EQ(db_.GetQueryByTitleSinger(r), kQueryFinished) << "closed";
}

// Every context with every filter: totals, number lists, queries, walks and
// random picks give the context's songs that the filter shows.
TEST_F(QueryTest, ContextsAndFiltersNarrowEveryOperation) {
  struct Context {
    const char* what;
    int32_t context;
    std::set<std::string> songs;
  };
  const std::vector<Context> contexts = {
      {"whole album", -1, {"a/a1.vx3", "a/a2.vx3", "a/a3.vx3", "b/b1.vx3", "b/b2.vx3"}},
      {"my-album list", 0, {"b/b1.vx3", "a/a1.vx3"}},
      {"missing my-album list", 5, {}},
      {"sub-album 1", 1 << 16, {"a/a1.vx3", "a/a2.vx3", "a/a3.vx3"}},
      {"sub-album 2", 2 << 16, {"b/b1.vx3", "b/b2.vx3"}},
      {"missing sub-album", 9 << 16, {}},
  };
  db_.SeedRandom(7);
  for (const Context& c : contexts) {
    for (uint8_t filter : {0, 1, 2, 9}) {
      SCOPED_TRACE(std::string(c.what) + " filter " + std::to_string(filter));
      db_.SetCurrAlbumContext(c.context);
      db_.SetCategoryFilter(filter);
      std::set<uint32_t> shown, inContext;
      for (const std::string& f : c.songs) {
        inContext.insert(N(f.c_str()));
        if (filter == 0 || SongOf(N(f.c_str())).category == filter)
          shown.insert(N(f.c_str()));
      }
      EXPECT_EQ(db_.GetTotalNumOfSong(), shown.size());
      std::vector<int32_t> list(8, 0);
      ASSERT_EQ(db_.GetTotalSongList(list.data(), list.size() * 4), 1);
      list.resize(shown.size());
      EXPECT_EQ(std::set<uint32_t>(list.begin(), list.end()), shown);
      if (c.context == -1) {
        uint32_t highest = shown.empty() ? 0 : *shown.rbegin();
        EXPECT_EQ(db_.GetMaxSongNum(), highest);
      }

      // Queries that every song matches (an empty excerpt is never one).
      for (const char* letter : {"a", "z", "\xB0"}) {
        std::vector<uint32_t> m;
        std::vector<int> steps = Run(letter, kQueryByTitle, &m);
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back(), kQueryFinished);
        for (uint32_t n : m)
          EXPECT_TRUE(shown.count(n)) << n;
      }
      std::vector<uint32_t> any;
      for (const char* letter : {"a", "z"})
        Run(letter, kQueryByTitle, &any);
      Run(Cp("가"), kQueryByTitle, &any);
      EXPECT_EQ(std::set<uint32_t>(any.begin(), any.end()), shown);

      // The walk: the context's songs in title order, hidden ones as 0.
      std::vector<std::pair<int32_t, std::string>> walked = Walk();
      std::set<uint32_t> walkedShown;
      size_t hidden = 0;
      for (const auto& [n, title] : walked) {
        if (n == 0)
          ++hidden;
        else
          walkedShown.insert(static_cast<uint32_t>(n));
      }
      EXPECT_EQ(walkedShown, shown);
      EXPECT_EQ(walked.size(), c.context == 5 ? 0u : inContext.size());
      EXPECT_EQ(hidden, c.context == 5 ? 0u : inContext.size() - shown.size());

      // Random picks: only shown songs; none when there is none.
      SongRecord r;
      for (int i = 0; i < 20; ++i) {
        int picked = db_.GetRandomSong(r);
        EXPECT_EQ(picked, shown.empty() ? 0 : 1);
        if (picked)
          EXPECT_TRUE(shown.count(r.number)) << r.number;
      }
    }
  }
}

TEST_F(QueryTest, TheWalkEndsAtCloseAndFollowsTheTitleOrder) {
  std::vector<std::pair<int32_t, std::string>> walked = Walk();
  std::vector<std::string> titles;
  for (const auto& w : walked)
    titles.push_back(w.second);
  EXPECT_EQ(titles, (std::vector<std::string>{"Abc Song", "ab Other", "Abyss", "Zed", Cp("가나다")}));
  ASSERT_EQ(db_.OpenQueryBySequentially(), 1);
  int32_t n = 0;
  const char* t = nullptr;
  EXPECT_NE(db_.GetQueryBySequentially(&n, &t, nullptr), kWalkEnd);
  db_.CloseQueryBySequentially();
  EXPECT_EQ(db_.GetQueryBySequentially(&n, &t, nullptr), kWalkEnd);
}

// A chi-square test of seeded picks over the whole album and a sub-album:
// every song comes with the same chance, the first and the last too.
TEST_F(QueryTest, RandomPicksAreUniform) {
  for (int32_t context : {-1, 1 << 16}) {
    SCOPED_TRACE(context);
    db_.SetCurrAlbumContext(context);
    db_.SeedRandom(12345);
    std::map<uint32_t, int> counts;
    const int picks = 6000;
    SongRecord r;
    for (int i = 0; i < picks; ++i) {
      ASSERT_EQ(db_.GetRandomSong(r), 1);
      ++counts[r.number];
    }
    const size_t k = context == -1 ? 5 : 3;
    ASSERT_EQ(counts.size(), k);
    double chi = 0, expected = static_cast<double>(picks) / static_cast<double>(k);
    for (const auto& [n, c] : counts)
      chi += (c - expected) * (c - expected) / expected;
    // 0.1 % points of the chi-square law with 4 and 2 degrees of freedom.
    EXPECT_LT(chi, k == 5 ? 18.47 : 13.82);
  }
  // A sub-album whose songs the filter all hides gives no pick.
  db_.SetCurrAlbumContext(2 << 16);
  db_.SetCategoryFilter(9);
  SongRecord r;
  EXPECT_EQ(db_.GetRandomSong(r), 0);
}

TEST_F(QueryTest, SingerBlocksAreByteExact) {
  ASSERT_EQ(db_.PrepareSingerIndex(), 1);
  // Title order: Abc Song (Kim), ab Other (K im), Abyss (Lee), Zed (kim),
  // the Hangul title (the Hangul singer); "Kim", "K im" and "kim" are one.
  const uint8_t* list = db_.GetSingerList(0);
  ASSERT_NE(list, nullptr);
  Bytes expected = Cat({U32(3), U32(0), Field("Kim", 32), U32(1), Field("Lee", 32), U32(2),
                        Field(Cp("이 수"), 32)});
  EXPECT_EQ(Bytes(list, list + expected.size()), expected);
  const uint8_t* none = db_.GetSingerList(1);
  EXPECT_EQ(Bytes(none, none + 4), U32(0)) << "nothing is downloaded in the local album";

  auto code = [&](const char* file) {
    SongRecord r;
    EXPECT_EQ(db_.GetSongDataBySongNum(N(file), r), 1);
    return Bytes(r.songCode.begin(), r.songCode.end());
  };
  const uint8_t* songs = db_.GetSongListOfSinger(0, "KIM", 0);
  ASSERT_NE(songs, nullptr);
  expected = Cat({U32(3), U32(N("a/a1.vx3")), code("a/a1.vx3"), Field("Abc Song", 48),
                  U32(N("a/a2.vx3")), code("a/a2.vx3"), Field("ab Other", 48), U32(N("b/b1.vx3")),
                  code("b/b1.vx3"), Field("Zed", 48)});
  EXPECT_EQ(Bytes(songs, songs + expected.size()), expected);
  const uint8_t* downloaded = db_.GetSongListOfSinger(0, "Kim", 1);
  ASSERT_NE(downloaded, nullptr);
  EXPECT_EQ(Bytes(downloaded, downloaded + 4), U32(0));
  EXPECT_EQ(db_.GetSongListOfSinger(0, "Lee", 0), nullptr) << "another singer's name";
  EXPECT_EQ(db_.GetSongListOfSinger(-1, "Kim", 0), nullptr);
  EXPECT_EQ(db_.GetSongListOfSinger(3, "Kim", 0), nullptr);
  const uint32_t* numbers = db_.GetSingerSongNumbers(0);
  ASSERT_NE(numbers, nullptr);
  EXPECT_EQ(std::vector<uint32_t>(numbers, numbers + 4),
            (std::vector<uint32_t>{3, N("a/a1.vx3"), N("a/a2.vx3"), N("b/b1.vx3")}));
  EXPECT_EQ(db_.GetSingerSongNumbers(3), nullptr);

  // The filter keeps the singers with a song of its category, at their
  // positions, and their songs of that category.
  db_.SetCategoryFilter(2);
  list = db_.GetSingerList(0);
  expected = Cat({U32(1), U32(0), Field("Kim", 32)});
  EXPECT_EQ(Bytes(list, list + expected.size()), expected);
  songs = db_.GetSongListOfSinger(0, "kim", 0);
  EXPECT_EQ(Bytes(songs, songs + 4), U32(2));

  // The index follows a removal.
  db_.SetCategoryFilter(0);
  int32_t removed[] = {static_cast<int32_t>(N("b/b2.vx3"))};
  ASSERT_EQ(db_.RemoveSongs(removed, 1), 1);
  list = db_.GetSingerList(0);
  expected = Cat({U32(2), U32(0), Field("Kim", 32), U32(1), Field(Cp("이 수"), 32)});
  EXPECT_EQ(Bytes(list, list + expected.size()), expected);
}

// Downloaded songs carry upper-case type letters (the internet modes mark
// them so); album b's are made so here, its file indexed again at load.
TEST_F(QueryTest, SingerListsFollowTheDownloadFlag) {
  const std::string path = sys::ToLinuxPath(db_.GetAlbumByIndex(2)->path).value();
  db_.Flush();
  LocalAlbum full;
  ASSERT_EQ(ReadLocalAlbum(ReadAlbumFileBytes(path).value(), full), kAlbumRead);
  for (SongRecord& r : full.records)
    r.type = 'T';
  ++full.generation;
  ASSERT_TRUE(WriteLocalAlbum(path, full));
  AlbumDatabase db;
  db.Open(album_);
  ASSERT_EQ(db.ReindexedAlbums(), 1);
  ASSERT_EQ(db.EntryByNumber(N("b/b1.vx3"))->type, 'T');
  // Singers: Kim (a1, a2 not downloaded, b1 downloaded), Lee (b2
  // downloaded), the Hangul singer (a3 not downloaded).
  const uint8_t* down = db.GetSingerList(1);
  Bytes expected = Cat({U32(2), U32(0), Field("Kim", 32), U32(1), Field("Lee", 32)});
  EXPECT_EQ(Bytes(down, down + expected.size()), expected);
  const uint8_t* notDown = db.GetSingerList(0);
  expected = Cat({U32(2), U32(0), Field("Kim", 32), U32(2), Field(Cp("이 수"), 32)});
  EXPECT_EQ(Bytes(notDown, notDown + expected.size()), expected);
  const uint8_t* songs = db.GetSongListOfSinger(0, "kim", 1);
  EXPECT_EQ(Bytes(songs, songs + 8), Cat({U32(1), U32(N("b/b1.vx3"))}));
  songs = db.GetSongListOfSinger(0, "kim", 0);
  EXPECT_EQ(Bytes(songs, songs + 8), Cat({U32(2), U32(N("a/a1.vx3"))}));
}

TEST_F(QueryTest, ReloadsRebuildsAndRemovalsEndOrFollowOpenQueriesAndWalks) {
  SongRecord r;
  ASSERT_EQ(db_.OpenQueryByTitleSinger("ab", kQueryByTitle), 1);
  ASSERT_EQ(db_.GetQueryByTitleSinger(r), kQueryMatched);
  ASSERT_EQ(db_.OpenQueryBySequentially(), 1);
  int32_t n = 0;
  const char* t = nullptr;
  ASSERT_NE(db_.GetQueryBySequentially(&n, &t, nullptr), kWalkEnd);
  ASSERT_EQ(db_.Reload(), 1);
  EXPECT_EQ(db_.GetQueryByTitleSinger(r), kQueryFinished);
  EXPECT_EQ(db_.GetQueryBySequentially(&n, &t, nullptr), kWalkEnd);

  // A check closes them too.
  ASSERT_EQ(db_.OpenQueryByTitleSinger("ab", kQueryByTitle), 1);
  ASSERT_EQ(db_.OpenQueryBySequentially(), 1);
  db_.CheckAlbumFolders();
  EXPECT_EQ(db_.GetQueryByTitleSinger(r), kQueryFinished);
  EXPECT_EQ(db_.GetQueryBySequentially(&n, &t, nullptr), kWalkEnd);

  // A removed song: the walk goes on past it, queries no longer offer it,
  // the filtered counts leave it out.
  db_.SetCategoryFilter(1);
  EXPECT_EQ(db_.GetTotalNumOfSong(), 3u);
  ASSERT_EQ(db_.OpenQueryBySequentially(), 1);
  ASSERT_EQ(db_.GetQueryBySequentially(&n, &t, nullptr), 't');
  ASSERT_STREQ(t, "Abc Song");
  int32_t removed[] = {static_cast<int32_t>(N("a/a2.vx3")), static_cast<int32_t>(N("b/b2.vx3"))};
  ASSERT_EQ(db_.RemoveSongs(removed, 2), 1);
  ASSERT_EQ(db_.GetQueryBySequentially(&n, &t, nullptr), 't');
  EXPECT_STREQ(t, "Zed");
  EXPECT_EQ(db_.GetTotalNumOfSong(), 2u);
  EXPECT_EQ(db_.GetMaxSongNum(), std::max(N("a/a1.vx3"), N("a/a3.vx3")));
  db_.SetCategoryFilter(0);
  std::vector<uint32_t> m;
  Run("ab", kQueryByTitle, &m);
  EXPECT_EQ(m, std::vector<uint32_t>{N("a/a1.vx3")});
}

TEST_F(QueryTest, ASongRemovedWhileItsAlbumIsScannedIsNotOffered) {
  SongRecord r;
  ASSERT_EQ(db_.OpenQueryByTitleSinger("ab", kQueryByTitle), 1);
  ASSERT_EQ(db_.GetQueryByTitleSinger(r), kQueryMatched);
  EXPECT_EQ(r.number, N("a/a1.vx3"));
  int32_t gone[] = {static_cast<int32_t>(N("a/a2.vx3"))};
  ASSERT_EQ(db_.RemoveSongs(gone, 1), 1);
  std::vector<int> rest;
  for (int result = kQueryCallAgain; result != kQueryFinished && rest.size() < 10;)
    rest.push_back(result = db_.GetQueryByTitleSinger(r));
  EXPECT_EQ(rest, (std::vector<int>{2, 2, 1, 0}));
  EXPECT_EQ(r.number, N("b/b2.vx3"));
}

// The match index of an album is made again when its file changes on disk.
TEST_F(QueryTest, AnAlbumFileChangedOnDiskIsIndexedAgain) {
  std::vector<uint32_t> m;
  Run("zed", kQueryByTitle, &m);
  ASSERT_EQ(m.size(), 1u);
  const AlbumFile* b = db_.GetAlbumByIndex(2);
  const std::string path = sys::ToLinuxPath(b->path).value();
  LocalAlbum full;
  ASSERT_EQ(ReadLocalAlbum(ReadAlbumFileBytes(path).value(), full), kAlbumRead);
  for (SongRecord& r : full.records)
    if (FieldText(r.title) == "Zed")
      SetField(r.title, "Zulu");
  ASSERT_TRUE(WriteLocalAlbum(path, full));
  m.clear();
  Run("zed", kQueryByTitle, &m);
  EXPECT_TRUE(m.empty());
  Run("zulu", kQueryByTitle, &m);
  EXPECT_EQ(m, std::vector<uint32_t>{N("b/b1.vx3")});
}

// A favourite's song renamed while a filter that hides every song is set:
// the check still finds it.
TEST_F(QueryTest, AFilterSetDuringTheCheckLeavesTheFavouritesAlone) {
  ASSERT_EQ(db_.MyAlbums()->Save(), 1);
  fs::rename(dir_ / "songs/b/b1.vx3", dir_ / "songs/b/renamed.vx3");
  fs::last_write_time(dir_ / "songs/b",
                      fs::last_write_time(dir_ / "songs/b") - std::chrono::hours(1));
  db_.SetCategoryFilter(9);
  db_.CheckAlbumFolders();
  const uint32_t renamed =
      db_.FindSongByPath(sys::ToStoredPath(dir_ / "songs/b/renamed.vx3").value());
  ASSERT_NE(renamed, 0u);
  const MyAlbumList* list = db_.MyAlbums()->GetMyAlbum(0);
  EXPECT_EQ(std::set<uint32_t>(list->songs.begin(), list->songs.end()),
            (std::set<uint32_t>{renamed, N("a/a1.vx3")}));
}

} // namespace
