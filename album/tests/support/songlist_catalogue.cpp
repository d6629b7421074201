#include "album/tests/support/songlist_catalogue.h"

#include "album/albumformats.h"
#include "platform/sys/paths.h"

#include <vector>

namespace album::testing {
namespace {

struct Song {
  uint32_t number;
  std::string title, singer, lyricist, composer, excerpt, file;
};

SongRecord Record(const Song& s) {
  SongRecord r;
  r.number = s.number;
  SetField(r.title, s.title);
  SetField(r.singer, s.singer);
  SetField(r.lyricist, s.lyricist);
  SetField(r.composer, s.composer);
  SetField(r.excerpt, s.excerpt);
  SetField(r.fileName, s.file);
  r.type = 't';
  return r;
}

} // namespace

bool WriteListCatalogue(const std::string& albumFolder) {
  const std::vector<Song> first = {
      {1, "apple song", "Kim", "Lee", "Park", "Arirang arirang", "a.vx3"},
      {9999, "Banana" + std::string(29, '.'), "Singer of twenty b.", "L", "C",
       "exactly twenty-four byte", "b.vx3"},
      {20, "Elder" + std::string(29, '.') + "\xB0\xA1z",
       std::string("\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1") +
           "\xB3\xAA",
       "", "", "ababababababababababab\xB0\xA1", "e.vx3"},
      {7, "", "Nobody", "", "", "no title here", "f.vx3"},
      {30, "Hello\r\nWorld\tX", "Tab\tSinger", "Ly\rr", "Co\nm", "one\ntwo\tthree", "h.vx3"},
  };
  // Stored without direct index, in an order unlike the index positions.
  const std::vector<Song> second = {
      {40, "\xB0\xA1\xB3\xAA", "Korean", "", "", "\xB0\xA1", "i.vx3"},
      {8, "Grape", "Empty", "", "", "", "g.vx3"},
      {123456, "Date" + std::string(33, '.'), "S", "", "", "x", "d.vx3"},
      {10000, "Cherry" + std::string(30, '.'), "Twenty bytes singer!", "", "",
       "twenty-three bytes long", "c.vx3"},
  };
  const std::string folders[2] = {"D:\\Karaoke\\Pop", "E:\\Old"};
  MasterAlbum master;
  for (int a = 0; a < 2; ++a) {
    const std::vector<Song>& songs = a == 0 ? first : second;
    LocalAlbum album;
    album.songCount = static_cast<uint32_t>(songs.size());
    album.name = a == 0 ? "Pop [001]" : "Old [002]";
    album.folder = folders[a];
    album.directIndex = a == 0 ? 1 : 0;
    for (const Song& s : songs)
      album.records.push_back(Record(s));
    const std::string path = albumFolder + "/Song000" + std::to_string(a + 1) + ".alb";
    std::optional<std::string> stored = sys::ToStoredPath(path);
    if (!stored || !WriteLocalAlbum(path, album))
      return false;
    SubAlbumRecord sub;
    sub.number = static_cast<uint16_t>(a + 1);
    sub.albumPath = *stored;
    sub.folder = folders[a];
    sub.songCount = album.songCount;
    master.subAlbums.push_back(sub);
    for (size_t i = 0; i < songs.size(); ++i) {
      SongIndexEntry e;
      e.number = songs[i].number;
      e.subAlbum = sub.number;
      e.position = a == 0 ? static_cast<uint32_t>(i) : 0;
      e.type = 't';
      e.title = songs[i].title;
      e.fileName = songs[i].file;
      e.singer = songs[i].singer;
      master.entries.push_back(e);
    }
  }
  // Entries whose records are not there: a direct-index position holding
  // another song, and a number the second album does not have.
  SongIndexEntry wrong;
  wrong.number = 50;
  wrong.subAlbum = 1;
  wrong.position = 1;
  wrong.title = "Missing one";
  wrong.fileName = "m.vx3";
  master.entries.push_back(wrong);
  wrong.number = 60;
  wrong.subAlbum = 2;
  wrong.title = "Missing two";
  master.entries.push_back(wrong);
  return WriteMasterAlbum(albumFolder + "/Song.alb", master);
}

} // namespace album::testing
