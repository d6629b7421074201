#include "album/manager/tondo32_manager.h"

#include "album/albumdatabase.h"
#include "album/manager/main_frame.h"
#include "album/myalbum.h"
#include "album/songprobe.h"
#include "album/songrecord.h"
#include "platform/res/bundle.h"

#include <cstring>

namespace album {
namespace {

std::string Field(const char* bytes, size_t size) {
  return std::string(bytes, strnlen(bytes, size));
}

// The manager's view of the library's database. The reservation queue is
// kept here for the process's time.
class TondoAlbum : public ManagerAlbum {
public:
  std::vector<ReservationRow> Reservations() override { return queue_; }
  void ClearReservations() override { queue_.clear(); }
  void AddReservation(const ReservationRow& row) override { queue_.push_back(row); }
  uint8_t SongType(int32_t number) override {
    SongRecord record;
    AlbumDatabase* db = Tondo32Database();
    if (!db || number < 1 || !db->GetSongDataBySongNum(static_cast<uint32_t>(number), record))
      return 0;
    return static_cast<uint8_t>(record.type);
  }
  std::string SongPath(int32_t number) override {
    SongRecord record;
    AlbumDatabase* db = Tondo32Database();
    if (!db || number < 1 || !db->GetSongDataBySongNum(static_cast<uint32_t>(number), record))
      return {};
    return Field(record.fileName.data(), record.fileName.size());
  }
  std::optional<std::string> ProbeTitle(const std::string& path) override {
    SongInfo info{};
    if (!ProbeSongHeader(path, info))
      return std::nullopt;
    return InfoTitle(info);
  }
  bool RebuildFolders(const std::vector<ReservationRow>& folders, bool first,
                      bool second) override {
    AlbumDatabase* db = Tondo32Database();
    if (!db)
      return false;
    for (const ReservationRow& row : folders)
      db->AddSubAlbumFolder(row.path, true);
    // The first variant adds the folders to the albums there are; the
    // second builds every album again.
    db->SetAddedFolders(first);
    return db->Rebuild(second ? 1 : 0) == 1;
  }
  void Reload() override {
    if (AlbumDatabase* db = Tondo32Database())
      db->Reload();
  }
  void SaveMyAlbum() override {
    if (MyAlbumStore* store = Store())
      store->Save();
  }
  void RecordMyAlbumPaths() override {
    if (MyAlbumStore* store = Store())
      store->MakePathLists();
  }
  void RenumberMyAlbum() override {
    if (MyAlbumStore* store = Store())
      store->Renumber();
  }

private:
  static MyAlbumStore* Store() {
    AlbumDatabase* db = Tondo32Database();
    return db ? db->MyAlbums() : nullptr;
  }
  std::vector<ReservationRow> queue_;
};

TondoAlbum& Album() {
  static TondoAlbum* album = new TondoAlbum;
  return *album;
}

} // namespace
} // namespace album

extern "C" uint32_t TONDO32_Tondo32Manager(uint32_t hostWindow, int16_t viewType) {
  const res::Bundle* bundle = album::Tondo32Bundle();
  album::AlbumDatabase* db = album::Tondo32Database();
  if (!bundle || !db)
    return 0;
  album::ManagerSetup setup;
  const res::Bundle b = *bundle;
  setup.resources = {b.Files(), [b](uint32_t id) { return b.String(id); }};
  setup.moduleFolder = db->AlbumFolder();
  setup.host = hostWindow;
  setup.requestedType = viewType;
  setup.album = &album::Album();
  album::CMainFrame* frame = album::CMainFrame::Create(setup);
  return frame ? frame->GetHwnd() : 0;
}
