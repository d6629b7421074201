// The album manager's view of an album database: the database's own
// reservation queue, its song records, its folder rebuild and its my-album
// store. The database is asked for each time, so that a database the
// library opens again is the one used.
#pragma once

#include "album/manager/manager_album.h"

#include <functional>

namespace album {

class AlbumDatabase;

class LibraryAlbum : public ManagerAlbum {
public:
  explicit LibraryAlbum(std::function<AlbumDatabase*()> database)
      : database_(std::move(database)) {}

  std::vector<ReservationRow> Reservations() override;
  void ClearReservations() override;
  void AddReservation(const ReservationRow& row) override;
  uint8_t SongType(int32_t number) override;
  std::string SongPath(int32_t number) override;
  std::optional<std::string> ProbeTitle(const std::string& path) override;
  bool RebuildFolders(const std::vector<ReservationRow>& folders, bool first,
                      bool second) override;
  void Reload() override;
  void SaveMyAlbum() override;
  void RecordMyAlbumPaths() override;
  void RenumberMyAlbum() override;
  int AlbumMode() override;

private:
  AlbumDatabase* Db() const { return database_ ? database_() : nullptr; }
  std::function<AlbumDatabase*()> database_;
};

} // namespace album
