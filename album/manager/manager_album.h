// What the album manager's frame asks of the song album: the reservation
// queue, song records by number, the folder rebuild and the my-album store.
// The host's catalogue gives one over its open database; tests give a fake.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace album {

// Kind codes of the kind combo and the lists, by combo selection.
inline constexpr int32_t kKindAll = 90100;
inline constexpr int32_t kKindText = 90101;   // type byte 't'
inline constexpr int32_t kKindBinary = 90102; // type byte 'b'
inline constexpr int32_t kKindWave = 90103;   // type byte 'w'
inline constexpr int32_t kKindLast = 90106;

// The kind code of a kind-combo selection (any other: all).
int32_t KindOfSelection(int selection);
// The kind code of a song by its record's type byte (others: all).
int32_t KindOfTypeByte(uint8_t type);

// One row of the reservation list view, or one queued reservation. Numbers
// below 1 are file entries: -1 to -5 by file kind (-5 a ".sw3" file), the
// text the title shown and path the file; a folder row (view type 2)
// carries the folder in path and its number.
struct ReservationRow {
  int32_t number = 0;
  std::string text; // code-page bytes
  std::string path; // code-page bytes
  int32_t kind = kKindAll;
};

class ManagerAlbum {
public:
  virtual ~ManagerAlbum() = default;
  virtual std::vector<ReservationRow> Reservations() = 0;
  virtual void ClearReservations() = 0;
  virtual void AddReservation(const ReservationRow& row) = 0;
  // The type byte of a song (0 for none) and its file's full path.
  virtual uint8_t SongType(int32_t number) = 0;
  virtual std::string SongPath(int32_t number) = 0;
  // The title a readable song file's header gives; nullopt otherwise.
  virtual std::optional<std::string> ProbeTitle(const std::string& path) = 0;
  // Adds the folders to the folder list with their numbers, sets the two
  // rebuild flags and rebuilds; true on success.
  virtual bool RebuildFolders(const std::vector<ReservationRow>& folders, bool first,
                              bool second) = 0;
  virtual void Reload() = 0;
  // The album mode (0 the local album, 1 to 3 the internet modes).
  virtual int AlbumMode() { return 0; }
  // The my-album store: saved, songs recorded by path, renumbered by path.
  virtual void SaveMyAlbum() = 0;
  virtual void RecordMyAlbumPaths() = 0;
  virtual void RenumberMyAlbum() = 0;
};

} // namespace album
