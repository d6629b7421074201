// The album manager: a frame of class "VEXO3ALBUM" with a tool bar holding
// the view-type and kind combos, a status bar and three panes side by side
// (tree, song list, reservation list) under caption strips. It switches the
// panes among the three view types, runs the commands of its menu, tool
// bar and keys, rebuilds the album from the folders listed in the third
// pane, and tells the host window (WM_COPYDATA, the frame as wParam, no
// data) when it replaced the reservation queue or the list mode changed.
// Settings live in [AlbManager], [AlbViewOne..Three] of the config.ini in
// the module folder. Owner's thread only.
#pragma once

#include "album/manager/bitmap_combo.h"
#include "album/manager/manager_album.h"
#include "album/manager/manager_views.h"
#include "album/manager/search_dialog.h"
#include "platform/gdi/dib.h"
#include "platform/ui/frame/drop_list.h"
#include "platform/ui/frame/frame_wnd.h"
#include "platform/ui/frame/splitter.h"
#include "platform/ui/frame/status_bar.h"

#include <array>
#include <optional>
#include <memory>
#include <string>

namespace album {

inline constexpr const char* kManagerClass = "VEXO3ALBUM";
inline constexpr uint32_t kManagerResource = 128;
inline constexpr uintptr_t kReserveReplacedNotify = 0x10504;
inline constexpr uintptr_t kListModeNotify = 0x10505;

inline constexpr uint16_t kViewCombo = 1001, kKindCombo = 1002;
inline constexpr uint32_t kCaptionIds[3] = {2000, 2001, 2002};
inline constexpr int kCaptionHeight = 18;

// Commands of the menu, tool bar and keys.
namespace cmd {
inline constexpr uint16_t kUpLevel = 32802, kClose = 50000, kCloseMenu = 50001;
inline constexpr uint16_t kTake = 38800, kRebuildSecond = 32779, kRebuildFirst = 1002;
inline constexpr uint16_t kIcons = 3000, kList = 3001, kReport = 3002;
inline constexpr uint16_t kType0 = 32811, kType1 = 32812, kType2 = 32813;
inline constexpr uint16_t kPlainList = 32815, kSearch = 32816;
inline constexpr uint16_t kSearchSinger = 1100, kSearchTitle = 1101, kSearchText = 1102;
inline constexpr uint16_t kCut = 32817, kCopy = 32818, kPaste = 32819, kSelectAll = 32825;
inline constexpr uint16_t kIndex = 172, kServer = 173;
inline constexpr uint16_t kRefresh = 2001, kReplace = 2003;
} // namespace cmd

// The command a function key posts (F2 to F9), 0 for other keys.
uint16_t CommandOfKey(ui::WParam key);

struct ManagerSetup {
  ui::FrameResources resources;
  std::string moduleFolder; // the folder of config.ini, with or without '/'
  ui::Hwnd host = 0;
  int16_t requestedType = -1;
  ManagerAlbum* album = nullptr;
};

class CMainFrame : public ui::FrameWnd {
public:
  // Makes, places and shows the manager; nullptr when it could not be made
  // (the box "Create to Frame window is failed!" said so). The object
  // belongs to its window.
  static CMainFrame* Create(const ManagerSetup& setup);
  // The manager now open in this process, nullptr for none.
  static CMainFrame* Current();

  int ViewType() const; // the combo's: 0, 1, 2 (others count as 1)
  int CurrentType() const { return currentType_; }
  int32_t KindCode() const;
  ManagerView& Tree() { return views_[0]; }
  ManagerView& Songs() { return views_[1]; }
  ManagerView& Reserves() { return views_[2]; }
  AlbBitmapCombo& TypeCombo() { return typeCombo_; }
  ui::DropList& KindComboBox() { return kindCombo_; }
  ui::StatusBar& Status() { return status_; }
  ui::Splitter& Panes() { return splitter_; }
  std::string CaptionText(int pane) const;
  void SetCaptionText(int pane, std::string_view utf8);
  // Status pane 2: the song's singer and fields, number and path.
  void ShowSongInfo(int32_t number, std::string_view singer, std::string_view field1,
                    std::string_view field2, std::string_view path);
  void SetLastFocus(uint32_t controlId) { lastFocus_ = controlId; }
  // The tree's current folder (view types 1 and 2), written as CurrDir and
  // CurrFolder when the manager closes.
  void SetCurrentFolder(std::string path, int32_t number);
  const std::string& CurrentFolderPath() const { return currDir_; }
  int32_t CurrentFolderNumber() const { return currFolder_; }
  // A change of the database's reservation queue: the reservation list
  // follows it in view types 0 and 1 (type 2 lists folders).
  void ReserveNotice(int kind, int32_t number);
  const SearchSettings& Search() const { return search_; }

  // The steps the commands run, for the host and the tests.
  bool RebuildFromFolders(bool firstVariant);
  void ReplaceReservations();

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
  bool OnCommand(uint16_t id) override;
  bool OnCommandState(ui::CommandState& state) override;
  std::string TipText(uint16_t command) override;
  std::string ClassName() const override { return kManagerClass; }

private:
  CMainFrame() = default;
  bool BuildClient();
  void OnShowing();
  void ChangeViewType(int type);
  void SetToolBarFor(int type);
  void FillReservations();
  void Refresh(ui::LParam value);
  void OnKey(ui::WParam key, ui::LParam from);
  void WriteSettings();
  void Notify(uintptr_t kind);
  void SetStyle(int style);
  void LayoutCaptions();
  void PlaceToolBar();
  std::string String(uint32_t id) const;
  void RetextMenu(int type);
  void SelectType(int type);
  void OpenSearch();
  void RunSearch(uint16_t kindCommand);
  bool EditAllowed(uint16_t id) const;

  ManagerSetup setup_;
  std::string config_;
  int currentType_ = -1;
  uint32_t lastFocus_ = kSongListControlId;
  bool switching_ = false;
  bool replacing_ = false;
  std::string currDir_;
  int32_t currFolder_ = 0;
  gdi::Rect normal_;
  SearchSettings search_;
  AlbBitmapCombo typeCombo_;
  ui::DropList kindCombo_;
  ui::StatusBar status_;
  ui::Splitter splitter_;
  std::array<ManagerView, 3> views_;
  struct Caption;
  std::array<std::unique_ptr<ui::ScreenWindow>, 3> captions_;
};

} // namespace album
