#include "album/manager/library_album.h"

#include "album/albumdatabase.h"
#include "album/myalbum.h"
#include "album/songprobe.h"
#include "album/songrecord.h"

#include <cstring>

namespace album {
namespace {

std::string Field(const char* bytes, size_t size) {
  return std::string(bytes, strnlen(bytes, size));
}

} // namespace

std::vector<ReservationRow> LibraryAlbum::Reservations() {
  std::vector<ReservationRow> rows;
  if (AlbumDatabase* db = Db())
    for (const ReservationQueue::Entry& e : db->Reservations().Entries())
      rows.push_back({e.number, e.title, e.path, kKindAll});
  return rows;
}

void LibraryAlbum::ClearReservations() {
  if (AlbumDatabase* db = Db())
    db->Reservations().Clear();
}

void LibraryAlbum::AddReservation(const ReservationRow& row) {
  if (AlbumDatabase* db = Db())
    db->Reservations().Add(row.number, row.text, row.path);
}

uint8_t LibraryAlbum::SongType(int32_t number) {
  SongRecord record;
  AlbumDatabase* db = Db();
  if (!db || number < 1 || !db->GetSongDataBySongNum(static_cast<uint32_t>(number), record))
    return 0;
  return static_cast<uint8_t>(record.type);
}

std::string LibraryAlbum::SongPath(int32_t number) {
  SongRecord record;
  AlbumDatabase* db = Db();
  if (!db || number < 1 || !db->GetSongDataBySongNum(static_cast<uint32_t>(number), record))
    return {};
  return Field(record.fileName.data(), record.fileName.size());
}

std::optional<std::string> LibraryAlbum::ProbeTitle(const std::string& path) {
  SongInfo info{};
  if (!ProbeSongHeader(path, info))
    return std::nullopt;
  return InfoTitle(info);
}

bool LibraryAlbum::RebuildFolders(const std::vector<ReservationRow>& folders, bool first,
                                  bool second) {
  AlbumDatabase* db = Db();
  if (!db)
    return false;
  for (const ReservationRow& row : folders)
    db->AddSubAlbumFolder(row.path, true);
  // The first variant adds the folders to the albums there are; the second
  // builds every album again.
  db->SetAddedFolders(first);
  return db->Rebuild(second ? 1 : 0) == 1;
}

void LibraryAlbum::Reload() {
  if (AlbumDatabase* db = Db())
    db->Reload();
}

int LibraryAlbum::AlbumMode() {
  AlbumDatabase* db = Db();
  return db ? db->GetAlbumMode() : 0;
}

void LibraryAlbum::SaveMyAlbum() {
  if (AlbumDatabase* db = Db())
    if (MyAlbumStore* store = db->MyAlbums())
      store->Save();
}

void LibraryAlbum::RecordMyAlbumPaths() {
  if (AlbumDatabase* db = Db())
    if (MyAlbumStore* store = db->MyAlbums())
      store->MakePathLists();
}

void LibraryAlbum::RenumberMyAlbum() {
  if (AlbumDatabase* db = Db())
    if (MyAlbumStore* store = db->MyAlbums())
      store->Renumber();
}

} // namespace album
