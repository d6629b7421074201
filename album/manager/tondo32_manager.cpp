#include "album/manager/tondo32_manager.h"

#include "album/albumdatabase.h"
#include "album/manager/library_album.h"
#include "album/manager/main_frame.h"
#include "album/tondo32_reserve.h"
#include "platform/res/bundle.h"

namespace album {
namespace {

// The manager works on the library's own database and queue.
LibraryAlbum& Album() {
  static LibraryAlbum* album = new LibraryAlbum([] { return Tondo32Database(); });
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
  // The queue's changes reach the open manager's reservation list.
  album::SetTondo32ManagerReserveNotice([](int kind, int32_t number, int) {
    if (album::CMainFrame* open = album::CMainFrame::Current())
      open->ReserveNotice(kind, number);
  });
  album::CMainFrame* frame = album::CMainFrame::Create(setup);
  return frame ? frame->GetHwnd() : 0;
}
