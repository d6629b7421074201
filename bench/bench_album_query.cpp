// bench-album-query: the album's queries as a user types them, over
// generated catalogues of 30,000 and 100,000 songs (1,000 folders each):
// 1 to 6 characters of real titles, singers and texts, each a whole query
// (open, every match read, close); the same queries on SQLite over the same
// records (an indexed range over the same keys for the prefix kinds, an
// FTS5 trigram table for the text, LIKE below three characters) with their
// match counts checked equal; the random pick; the singer index; memory.
//   bench-album-query [songs...]
// Each song tree and catalogue is made once into build/bench-data.
#include "album/albumdatabase.h"
#include "bench/album_bench_util.h"
#include "album/query.h"
#include "album/testdata/catalogue_gen.h"
#include "platform/sys/codepage.h"
#include "platform/sys/paths.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using album::bench::Clock;
using album::bench::MsSince;
using album::bench::StatusKb;

struct Spread {
  double median = 0, p99 = 0, worst = 0;
};
Spread Of(std::vector<double> v) {
  if (v.empty())
    return {};
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)], v.back()};
}

// The first n characters of a code-page text (blanks count as typed).
std::string FirstChars(const std::string& text, int n) {
  size_t i = 0;
  for (int c = 0; c < n && i < text.size(); ++c)
    i += static_cast<uint8_t>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1;
  return text.substr(0, i);
}

int CharCount(const std::string& text) {
  int n = 0;
  for (size_t i = 0; i < text.size(); ++n)
    i += static_cast<uint8_t>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1;
  return n;
}

std::string Utf8Key(const std::string& field) {
  return sys::ToUtf8(album::QueryKey(field));
}

// The songs' keys as SQLite holds them: the same normalised keys, in UTF-8.
class SqliteSide {
public:
  explicit SqliteSide(const album::AlbumDatabase& db) {
    sqlite3_open(":memory:", &db_);
    Exec("CREATE TABLE songs(id INTEGER PRIMARY KEY, number INTEGER, title TEXT, singer TEXT)");
    Exec("CREATE VIRTUAL TABLE texts USING fts5(body, tokenize='trigram case_sensitive 1')");
    Exec("BEGIN");
    sqlite3_stmt* song = Prepare("INSERT INTO songs VALUES(?1, ?2, ?3, ?4)");
    sqlite3_stmt* text = Prepare("INSERT INTO texts(rowid, body) VALUES(?1, ?2)");
    int64_t id = 0;
    // Album by album, record by record: the order the album's query sees.
    for (int a = 1; a <= db.GetNumOfSubAlb(); ++a) {
      std::vector<uint8_t> file =
          album::ReadAlbumFileBytes(sys::ToLinuxPath(db.GetAlbumByIndex(a)->path).value_or(""))
              .value_or(std::vector<uint8_t>{});
      album::LocalAlbum local;
      if (album::ReadLocalAlbum(file, local) != album::kAlbumRead)
        continue;
      for (const album::SongRecord& r : local.records) {
        ++id;
        sqlite3_bind_int64(song, 1, id);
        sqlite3_bind_int64(song, 2, r.number);
        Bind(song, 3, Utf8Key(album::FieldText(r.title)));
        Bind(song, 4, Utf8Key(album::FieldText(r.singer)));
        Step(song);
        sqlite3_bind_int64(text, 1, id);
        Bind(text, 2, Utf8Key(album::FieldText(r.excerpt)));
        Step(text);
      }
    }
    sqlite3_finalize(song);
    sqlite3_finalize(text);
    Exec("COMMIT");
    Exec("CREATE INDEX by_title ON songs(title)");
    Exec("CREATE INDEX by_singer ON songs(singer)");
    prefix_[0] = Prepare("SELECT number FROM songs WHERE title >= ?1 AND title < ?2 ORDER BY id");
    prefix_[1] =
        Prepare("SELECT number FROM songs WHERE singer >= ?1 AND singer < ?2 ORDER BY id");
    match_ = Prepare("SELECT rowid FROM texts WHERE texts MATCH ?1 ORDER BY rowid");
    like_ = Prepare("SELECT rowid FROM texts WHERE body LIKE ?1 ORDER BY rowid");
  }
  ~SqliteSide() {
    for (sqlite3_stmt* s : {prefix_[0], prefix_[1], match_, like_})
      sqlite3_finalize(s);
    sqlite3_close(db_);
  }

  // The number of matches of a query (pattern as the album's key).
  int Count(int kind, const std::string& key) {
    std::string u = sys::ToUtf8(key);
    sqlite3_stmt* s = nullptr;
    if (kind < 2) {
      s = prefix_[kind];
      std::string end = u;
      // The first text past every one beginning with u.
      while (!end.empty() && static_cast<uint8_t>(end.back()) == 0xFF)
        end.pop_back();
      if (!end.empty())
        end.back() = static_cast<char>(static_cast<uint8_t>(end.back()) + 1);
      Bind(s, 1, u);
      Bind(s, 2, end.empty() ? std::string("\xFF\xFF") : end);
    } else if (CharCount(key) >= 3) {
      s = match_;
      std::string quoted = "\"";
      for (char c : u)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      Bind(s, 1, quoted + "\"");
    } else {
      s = like_;
      std::string pattern = "%";
      for (char c : u)
        pattern += c; // keys hold no % or _ in these texts
      Bind(s, 1, pattern + "%");
    }
    int n = 0;
    while (sqlite3_step(s) == SQLITE_ROW)
      ++n;
    sqlite3_reset(s);
    return n;
  }

private:
  void Exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK)
      std::fprintf(stderr, "bench-album-query: %s: %s\n", sql, sqlite3_errmsg(db_));
    return s;
  }
  static void Bind(sqlite3_stmt* s, int i, const std::string& text) {
    sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  static void Step(sqlite3_stmt* s) {
    sqlite3_step(s);
    sqlite3_reset(s);
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* prefix_[2] = {};
  sqlite3_stmt* match_ = nullptr;
  sqlite3_stmt* like_ = nullptr;
};

// A whole query: every match read. The number of matches.
int Query(album::AlbumDatabase& db, const std::string& text, int kind) {
  int matches = 0;
  if (!db.OpenQueryByTitleSinger(text, kind))
    return 0;
  album::SongRecord r;
  for (int result; (result = db.GetQueryByTitleSinger(r)) != album::kQueryFinished;)
    matches += result == album::kQueryMatched ? 1 : 0;
  db.CloseQueryByTitleSinger();
  return matches;
}

struct Figures {
  Spread ours[3], theirs[3];
  double firstQuery = 0, singerIndex = 0, sqliteLoad = 0;
  Spread random;
  long rssKb = 0, rssOpenKb = 0, rssSingersKb = 0, rssIndexKb = 0;
  int mismatches = 0, queries = 0;
};

Figures Run(int songs) {
  malloc_trim(0); // what an earlier size freed is not counted again
  Figures f;
  const std::string work =
      std::string(VEXO_BIN_DIR) + "/../bench-data/album-query-" + std::to_string(songs);
  const int kFolders = 1000;
  const std::string albumDir = work + "/album";
  if (!fs::exists(work + "/songs/complete")) {
    fs::remove_all(work);
    fs::create_directories(work);
    album::testdata::CatalogueSpec spec;
    spec.songs = songs;
    spec.folders = kFolders;
    spec.seed = 11;
    spec.texts = true;
    std::vector<std::string> folders = album::testdata::MakeTestCatalogue(work + "/songs", spec);
    fs::create_directories(albumDir);
    album::AlbumDatabase db;
    db.Open(albumDir);
    for (const std::string& folder : folders)
      db.AddSubAlbumFolder(sys::ToStoredPath(folder).value_or(""), true);
    if (folders.empty() || db.Rebuild(1) != 1) {
      std::fprintf(stderr, "bench-album-query: cannot make the catalogue under %s\n",
                   work.c_str());
      std::exit(1);
    }
    std::ofstream(work + "/songs/complete") << "1\n";
  }

  album::AlbumDatabase db;
  db.Open(albumDir);
  f.rssOpenKb = StatusKb("VmRSS:");
  auto t = Clock::now();
  db.PrepareSingerIndex();
  f.singerIndex = MsSince(t);
  f.rssSingersKb = StatusKb("VmRSS:");

  // What the user types: the first 1 to 6 characters of real titles,
  // singers and texts (texts from a word start inside them).
  std::mt19937 rng(3);
  std::vector<const album::SongIndexEntry*> entries = db.Entries();
  std::vector<std::string> typed[3];
  for (int i = 0; i < 60; ++i) {
    const album::SongIndexEntry* e = entries[rng() % entries.size()];
    album::SongRecord r;
    db.GetSongDataBySongNum(e->number, r);
    std::string text = album::FieldText(r.excerpt);
    size_t blank = text.find(' ', rng() % std::max<size_t>(1, text.size()));
    std::string from = blank == std::string::npos ? text : text.substr(blank + 1);
    for (int n = 1; n <= 6; ++n) {
      typed[0].push_back(FirstChars(e->title, n));
      typed[1].push_back(FirstChars(e->singer, n));
      typed[2].push_back(FirstChars(from.empty() ? text : from, n));
    }
  }

  t = Clock::now();
  Query(db, typed[0][0], 0);
  f.firstQuery = MsSince(t); // every album's match index made
  f.rssIndexKb = StatusKb("VmRSS:");
  for (int kind = 0; kind < 3; ++kind)
    for (const std::string& text : typed[kind])
      Query(db, text, kind); // warm

  std::vector<int> counts[3];
  for (int kind = 0; kind < 3; ++kind) {
    std::vector<double> ours;
    for (const std::string& text : typed[kind]) {
      t = Clock::now();
      counts[kind].push_back(Query(db, text, kind));
      ours.push_back(MsSince(t));
    }
    f.ours[kind] = Of(ours);
  }
  std::vector<double> picks;
  album::SongRecord r;
  db.SeedRandom(9);
  for (int i = 0; i < 5000; ++i) {
    t = Clock::now();
    db.GetRandomSong(r);
    picks.push_back(MsSince(t));
  }
  f.random = Of(picks);
  f.rssKb = StatusKb("VmRSS:");

  // The same queries on SQLite, over the same records and keys.
  t = Clock::now();
  SqliteSide sql(db);
  f.sqliteLoad = MsSince(t);
  for (int kind = 0; kind < 3; ++kind) {
    std::vector<double> theirs;
    for (size_t i = 0; i < typed[kind].size(); ++i) {
      const std::string& text = typed[kind][i];
      t = Clock::now();
      int other = sql.Count(kind, album::QueryKey(text));
      theirs.push_back(MsSince(t));
      ++f.queries;
      if (counts[kind][i] != other) {
        ++f.mismatches;
        std::fprintf(stderr, "kind %d '%s': %d matches here, %d in SQLite\n", kind,
                     sys::ToUtf8(text).c_str(), counts[kind][i], other);
      }
    }
    f.theirs[kind] = Of(theirs);
  }
  return f;
}

} // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i)
    sizes.push_back(std::max(1000, std::atoi(argv[i])));
  if (sizes.empty())
    sizes = {30000, 100000};
  static const char* kKinds[3] = {"title", "singer", "text"};
  std::vector<std::string> lines;
  for (int songs : sizes) {
    Figures f = Run(songs);
    const std::string at = std::to_string(songs / 1000) + "k";
    auto add = [&](const std::string& name, double value, const char* unit) {
      char line[256];
      std::snprintf(line, sizeof line, "%s_%s: %.4g %s", name.c_str(), at.c_str(), value, unit);
      lines.push_back(line);
    };
    for (int k = 0; k < 3; ++k) {
      const std::string kind = kKinds[k];
      add("query_" + kind + "_p99", f.ours[k].p99, "ms");
      add("query_" + kind + "_median", f.ours[k].median, "ms");
      add("sqlite_" + kind + "_p99", f.theirs[k].p99, "ms");
      add("sqlite_" + kind + "_median", f.theirs[k].median, "ms");
    }
    add("first_query", f.firstQuery, "ms");
    add("sqlite_load", f.sqliteLoad, "ms");
    add("random_pick_p99", f.random.p99, "ms");
    add("singer_index", f.singerIndex, "ms");
    add("match_count_mismatches", f.mismatches, "queries");
    add("queries_compared", f.queries, "queries");
    std::fprintf(stderr,
                 "resident after opening %.1f MB, the singer index %.1f MB, the match "
                 "indexes %.1f MB\n",
                 f.rssOpenKb / 1024.0, f.rssSingersKb / 1024.0, f.rssIndexKb / 1024.0);
    add("rss_after_queries", static_cast<double>(f.rssKb) / 1024.0, "MB");
  }
  for (const std::string& l : lines)
    std::printf("%s\n", l.c_str());
  return 0;
}
