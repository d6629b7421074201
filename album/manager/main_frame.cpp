#include "album/manager/main_frame.h"

#include "album/reserve.h"
#include "platform/sys/codepage.h"
#include "platform/sys/ini.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/cursor.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <string>

namespace album {
namespace {

constexpr const char* kCaptionClass = "VexoAlbumCaption";
constexpr uint32_t kTitleString = 32806, kRebuildQuestion = 32808, kQuestionCaption = 40000;
constexpr uint32_t kSongInfo = 32783, kUnknown = 32784;
constexpr uint32_t kBuilding = 50025, kBuilt = 50026;
constexpr uint32_t kComboFace = 129, kViewTypeTip = 130, kKindTip = 6013;
constexpr uint32_t kViewTypeTexts = 6000, kKindTexts = 6006;
constexpr int kKindCount = 7;
constexpr int32_t kStatusEdge = 140;
constexpr gdi::Colour kFace = gdi::Rgb(192, 192, 192);
constexpr gdi::Colour kLight = gdi::Rgb(255, 255, 255);
constexpr gdi::Colour kShadow = gdi::Rgb(128, 128, 128);
constexpr int32_t kToolBarShift = 6;

CMainFrame* gCurrent = nullptr;

// A UTF-8 text as its code-page bytes would fit a field of that many bytes,
// cut on a character boundary.
std::string Cut(std::string_view utf8, size_t bytes) {
  const std::string stored = sys::FromUtf8Lossy(utf8);
  return sys::ToUtf8(sys::CutBytes(stored, bytes));
}

} // namespace

// A caption strip over a pane: its text on the face colour, framed in the
// highlight and shadow colours.
struct CMainFrame::Caption : ui::ScreenWindow {
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override {
    if (message == win::WM_PAINT) {
      ui::Paint paint(GetHwnd());
      if (!paint.IsValid())
        return 0;
      gdi::Dc& dc = paint.Dc();
      const gdi::Rect r = ui::GetClientRect(GetHwnd()).value_or(gdi::Rect{});
      dc.FillRect(r, kFace);
      dc.FillRect(gdi::MakeRect(r.left, r.top, r.Width(), 1), kLight);
      dc.FillRect(gdi::MakeRect(r.left, r.top, 1, r.Height()), kLight);
      dc.FillRect(gdi::MakeRect(r.left, r.bottom - 1, r.Width(), 1), kShadow);
      dc.FillRect(gdi::MakeRect(r.right - 1, r.top, 1, r.Height()), kShadow);
      dc.SetBkMode(gdi::kTransparent);
      dc.SetTextColor(gdi::Rgb(0, 0, 0));
      gdi::Rect text = {r.left + 4, r.top, r.right - 4, r.bottom};
      dc.DrawText(sys::FromUtf8Lossy(win::GetWindowText(GetHwnd()).value_or(""),
                                     dc.SystemCodePage()),
                  text, gdi::kDtLeft | gdi::kDtVCenter | gdi::kDtSingleLine | gdi::kDtNoPrefix);
      return 0;
    }
    if (message == win::WM_SIZE)
      ui::SetWindowPos(GetHwnd(), ui::HWND_TOP, 0, 0, 0, 0,
                       ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOACTIVATE);
    return Default(message, wParam, lParam);
  }
};

CMainFrame* CMainFrame::Current() {
  return gCurrent;
}

CMainFrame* CMainFrame::Create(const ManagerSetup& setup) {
  static const bool registered = [] {
    return ui::RegisterScreenClass(
        {kCaptionClass, 0, [] { return std::make_unique<Caption>(); }, nullptr, kFace});
  }();
  (void)registered;
  if (gCurrent && win::IsWindow(gCurrent->GetHwnd())) {
    ui::SetForegroundWindow(gCurrent->GetHwnd());
    return gCurrent;
  }
  auto* frame = new CMainFrame;
  frame->setup_ = setup;
  std::string folder = setup.moduleFolder;
  if (!folder.empty() && folder.back() != '/')
    folder += '/';
  frame->config_ = folder + "config.ini";
  const std::string& ini = frame->config_;
  const gdi::Rect screen = ui::ScreenRect();
  const int32_t cx = sys::IniGetInt(ini, "AlbManager", "cx", screen.Width() / 3 * 2);
  const int32_t cy = sys::IniGetInt(ini, "AlbManager", "cy", screen.Height() / 2);
  const int32_t x = sys::IniGetInt(ini, "AlbManager", "x", cx / 4);
  const int32_t y = sys::IniGetInt(ini, "AlbManager", "y", cy / 2);
  frame->normal_ = gdi::MakeRect(x, y, cx, cy);
  ui::ResourceError error;
  frame->keepObject_ = true;
  const bool made = frame->LoadFrame(setup.resources, kManagerResource, ui::WS_OVERLAPPEDWINDOW, 0,
                                     &error, frame->normal_) &&
                    frame->BuildClient();
  if (!made) {
    if (frame->GetHwnd())
      win::DestroyWindow(frame->GetHwnd());
    delete frame;
    ui::MessageBox("Create to Frame window is failed!", "Error", ui::MB_OK);
    return nullptr;
  }
  frame->keepObject_ = false;
  ui::SetWindowText(frame->GetHwnd(), Cut(frame->String(kTitleString), 31));
  gCurrent = frame;
  ui::ShowWindow(frame->GetHwnd(), ui::SW_SHOW);
  return frame;
}

std::string CMainFrame::String(uint32_t id) const {
  return setup_.resources.strings ? setup_.resources.strings(id).value_or("") : std::string();
}

bool CMainFrame::BuildClient() {
  if (setup_.requestedType < 0 || setup_.requestedType > 2)
    setup_.requestedType = 2;
  ui::ToolBar* bar = CreateToolBar(kManagerResource);
  if (!bar || !status_.Create(GetHwnd()))
    return false;
  // The leading separator makes room for the two combos.
  bar->SetSeparatorWidth(0, 285 + kToolBarShift);
  UpdateToolRects();
  status_.SetParts({0, kStatusEdge, -1});
  status_.SetText(1, " ");
  status_.SetText(2, " ");
  DockBarBottom(status_.GetHwnd(), status_.Height());
  if (!splitter_.Create(GetHwnd(), ui::kPaneId, 3))
    return false;
  splitter_.SetPaneTop(kCaptionHeight);
  const gdi::Rect screen = ui::ScreenRect();
  const int32_t twoThirds = screen.Width() / 3 * 2;
  const int32_t rest = (twoThirds - 140) / 2;
  const int32_t widths[3] = {sys::IniGetInt(config_, "AlbViewOne", "cx", 140),
                             sys::IniGetInt(config_, "AlbViewTwo", "cx", rest),
                             sys::IniGetInt(config_, "AlbViewThree", "cx", rest)};
  const uint32_t ids[3] = {kTreeControlId, kSongListControlId, kReserveListControlId};
  for (int i = 0; i < 3; ++i) {
    if (!views_[static_cast<size_t>(i)].Create(splitter_.GetHwnd(), ids[i]))
      return false;
    splitter_.SetColumnWidth(i, widths[i]);
    splitter_.SetPane(i, views_[static_cast<size_t>(i)].GetHwnd());
  }
  for (int i = 0; i < 3; ++i) {
    auto caption = std::make_unique<Caption>();
    win::CreateParams p;
    p.className = kCaptionClass;
    p.title = " ";
    p.style = win::WS_CHILD | win::WS_VISIBLE;
    p.parent = splitter_.GetHwnd();
    p.id = kCaptionIds[i];
    p.width = 10;
    p.height = kCaptionHeight;
    p.object = caption.get();
    if (!win::CreateWindow(p))
      return false;
    captions_[static_cast<size_t>(i)] = std::move(caption);
  }
  splitter_.SetLayoutHook([this] { LayoutCaptions(); });
  SetClient(splitter_.GetHwnd());

  const int last = sys::IniGetInt(config_, "AlbViewTwo", "LastViewType", 3);
  SetStyle(last == 0 ? kStyleIcons : last == 3 ? kStyleList : kStyleReport);

  // The view-type combo's face and images, their teal turned into the
  // window colour.
  std::optional<std::vector<uint8_t>> images;
  if (setup_.resources.files)
    images = setup_.resources.files("bitmaps/COMMONBITSO.bmp");
  typeCombo_.Prepare(sys::FromUtf8Lossy(String(kComboFace)),
                     images ? std::optional<std::span<const uint8_t>>(*images) : std::nullopt);
  // The combos over the tool bar's room.
  typeCombo_.SetNotifyWindow(GetHwnd());
  kindCombo_.SetNotifyWindow(GetHwnd());
  // The bar starts left of the frame (PlaceToolBar): the combos begin where
  // the frame's client does.
  const int32_t x0 = kToolBarShift;
  if (!typeCombo_.Create(bar->GetHwnd(), kViewCombo, gdi::MakeRect(x0, 1, 140, 150)) ||
      !kindCombo_.Create(bar->GetHwnd(), kKindCombo, {x0 + 145, 1, x0 + 280, 150}))
    return false;
  for (int i = 0; i < 3; ++i)
    typeCombo_.AddString(String(kViewTypeTexts + static_cast<uint32_t>(i)));
  for (int i = 0; i < kKindCount; ++i)
    kindCombo_.AddString(String(kKindTexts + static_cast<uint32_t>(i)));
  typeCombo_.SetCurSel(setup_.requestedType);
  kindCombo_.SetCurSel(0);
  if (ui::ToolTip* tips = GetToolTips()) {
    tips->AddTool({typeCombo_.GetHwnd(), kViewTypeTip,
                   ui::GetClientRect(typeCombo_.GetHwnd()).value_or(gdi::Rect{}), {}});
    tips->AddTool({kindCombo_.GetHwnd(), kKindTip,
                   ui::GetClientRect(kindCombo_.GetHwnd()).value_or(gdi::Rect{}), {}});
    typeCombo_.SetToolTips(tips->GetHwnd());
    kindCombo_.SetToolTips(tips->GetHwnd());
  }
  RecalcLayout();
  PlaceToolBar();
  return true;
}

void CMainFrame::PlaceToolBar() {
  // The tool bar sits 6 pixels further left and is 6 wider than docked.
  ui::ToolBar* bar = GetToolBar();
  if (!bar || !bar->GetHwnd())
    return;
  const ui::Hwnd h = bar->GetHwnd();
  const gdi::Point at = ui::ScreenToClient(GetHwnd(), ui::ClientToScreen(h, {0, 0}));
  const gdi::Rect r = ui::GetClientRect(h).value_or(gdi::Rect{});
  if (at.x == 0)
    ui::MoveWindow(h, at.x - kToolBarShift, at.y, r.Width() + kToolBarShift, r.Height());
}

void CMainFrame::LayoutCaptions() {
  for (int i = 0; i < 3; ++i) {
    const auto& caption = captions_[static_cast<size_t>(i)];
    if (!caption || !caption->GetHwnd())
      continue;
    const gdi::Rect pane = splitter_.PaneRect(i);
    const int32_t left = i == 0 ? pane.left : pane.left - 2;
    ui::MoveWindow(caption->GetHwnd(), left, 0, splitter_.ColumnWidth(i) + 4, kCaptionHeight);
  }
}

std::string CMainFrame::CaptionText(int pane) const {
  if (pane < 0 || pane > 2 || !captions_[static_cast<size_t>(pane)])
    return {};
  return win::GetWindowText(captions_[static_cast<size_t>(pane)]->GetHwnd()).value_or("");
}

void CMainFrame::SetCaptionText(int pane, std::string_view utf8) {
  if (pane < 0 || pane > 2 || !captions_[static_cast<size_t>(pane)])
    return;
  const ui::Hwnd h = captions_[static_cast<size_t>(pane)]->GetHwnd();
  ui::SetWindowText(h, utf8);
  ui::InvalidateRect(h, nullptr, true);
}

int CMainFrame::ViewType() const {
  const int selection = typeCombo_.CurSel();
  return selection >= 0 && selection <= 2 ? selection : 1;
}

int32_t CMainFrame::KindCode() const {
  return KindOfSelection(kindCombo_.CurSel());
}

void CMainFrame::SetToolBarFor(int type) {
  kindCombo_.Enable(type != 0);
  UpdateCommandStates();
}

void CMainFrame::RetextMenu(int type) {
  ui::Menu menu = Menu().Current();
  if (menu.SetText(cmd::kCloseMenu, String(type == 2 ? 50002 : 50001)))
    Menu().SetMenu(menu, &Accelerators());
}

void CMainFrame::FillReservations() {
  ManagerView& view = Reserves();
  view.ClearRows();
  if (setup_.album)
    for (ReservationRow row : setup_.album->Reservations()) {
      if (row.number >= 1)
        row.kind = KindOfTypeByte(setup_.album->SongType(row.number));
      view.AddRow(row);
    }
  view.RecordCount();
}

void CMainFrame::OnShowing() {
  ui::WaitCursor wait;
  Tree().Refresh();
  currentType_ = ViewType();
  SetToolBarFor(currentType_);
  for (ManagerView& v : views_)
    v.SetMode(currentType_);
  // Emptied first, so that each showing lists the queue once; the folder
  // view starts with no rows, ready for the folders to build from.
  FillReservations();
  if (currentType_ == 2) {
    Reserves().ClearRows();
    Reserves().RecordCount();
  }
  RetextMenu(currentType_);
}

void CMainFrame::SelectType(int type) {
  typeCombo_.SetCurSel(type);
  win::PostMessage(GetHwnd(), win::WM_COMMAND, ui::MakeWParam(kViewCombo, ui::CBN_SELCHANGE),
                   typeCombo_.GetHwnd());
}

void CMainFrame::ChangeViewType(int type) {
  const int from = currentType_;
  if (type == from)
    return;
  switching_ = true;
  if (ui::ToolTip* tips = GetToolTips())
    win::SendMessage(tips->GetHwnd(), ui::TTM_ACTIVATE, 0, 0);
  Tree().SetMode(type);
  const auto setModes = [&] {
    for (ManagerView& v : views_)
      v.SetMode(type);
  };
  if (type == 2) {
    if (from == 0 && setup_.album)
      setup_.album->SaveMyAlbum();
    Songs().Reset();
    setModes();
    Tree().Refresh();
    if (from == 1)
      Songs().Reload();
    Reserves().ClearRows();
    Reserves().RecordCount();
  } else if (from == 2) {
    ManagerView& rows = Reserves();
    if (!rows.Rows().empty() && static_cast<int>(rows.Rows().size()) != rows.RecordedCount()) {
      const int answer =
          ui::MessageBox(String(kRebuildQuestion), String(kQuestionCaption),
                         ui::MB_YESNO | ui::MB_ICONQUESTION, GetHwnd());
      if (answer == ui::IDYES) {
        if (setup_.album)
          setup_.album->ClearReservations();
        // The rebuild selects type 0 itself once it succeeds.
        RebuildFromFolders(true);
      }
    }
    FillReservations();
    Songs().Reset();
    setModes();
    Tree().Refresh();
    if (type == 1)
      Songs().Reload();
  } else {
    Songs().Reset();
    setModes();
    if (type == 1 && setup_.album)
      setup_.album->SaveMyAlbum();
    Tree().Refresh();
    if (type == 1)
      Songs().Reload();
  }
  SetToolBarFor(type);
  currentType_ = type;
  RetextMenu(type);
  if (ui::ToolTip* tips = GetToolTips())
    win::SendMessage(tips->GetHwnd(), ui::TTM_ACTIVATE, 1, 0);
  switching_ = false;
}

bool CMainFrame::RebuildFromFolders(bool firstVariant) {
  // The internet modes' lists are numbered against the mode's index: a
  // rebuild there would renumber them against the wrong one.
  if (!setup_.album || setup_.album->AlbumMode() != 0)
    return false;
  const std::vector<ReservationRow> rows = Reserves().Rows();
  setup_.album->RecordMyAlbumPaths();
  status_.SetText(1, String(kBuilding));
  // No folders, no rebuild: a full rebuild would free the album first.
  const bool built = !rows.empty() && setup_.album->RebuildFolders(rows, firstVariant, !firstVariant);
  if (built) {
    Reserves().ClearRows();
    Notify(kListModeNotify);
    setup_.album->Reload();
  }
  status_.SetText(1, String(kBuilt));
  if (built) {
    setup_.album->RenumberMyAlbum();
    SelectType(0);
  }
  return built;
}

void CMainFrame::ReplaceReservations() {
  if (!setup_.album)
    return;
  // The whole new queue first, then the old one goes.
  std::vector<ReservationRow> queue;
  for (ReservationRow row : Reserves().Rows()) {
    if (row.number >= 1) {
      row.path = setup_.album->SongPath(row.number);
    } else {
      // A file row names its file; song files show the title of their header.
      if (row.path.empty())
        row.path = row.text;
      if (row.number == -1 || row.number == -2 || row.number == -5)
        if (auto title = setup_.album->ProbeTitle(row.path))
          row.text = *title;
    }
    queue.push_back(std::move(row));
  }
  // The list already shows these rows: the queue's own notices are not
  // applied to it meanwhile.
  replacing_ = true;
  setup_.album->ClearReservations();
  for (const ReservationRow& row : queue)
    setup_.album->AddReservation(row);
  replacing_ = false;
  Notify(kReserveReplacedNotify);
}

void CMainFrame::ReserveNotice(int kind, int32_t number) {
  if (replacing_ || (currentType_ != 0 && currentType_ != 1))
    return;
  ReservationRow added;
  if (kind == kReserveAdded && setup_.album) {
    const std::vector<ReservationRow> queue = setup_.album->Reservations();
    if (queue.empty())
      return;
    added = queue.back();
    if (added.number >= 1)
      added.kind = KindOfTypeByte(setup_.album->SongType(added.number));
  }
  Reserves().ApplyReserveNotice(kind, number, added);
}

void CMainFrame::SetCurrentFolder(std::string path, int32_t number) {
  currDir_ = std::move(path);
  currFolder_ = number;
}

void CMainFrame::Refresh(ui::LParam value) {
  if (value == 5000) {
    Songs().Reload();
    return;
  }
  Songs().Refresh();
  if (currentType_ != 2 && !Reserves().Rows().empty())
    ReplaceReservations();
}

void CMainFrame::Notify(uintptr_t kind) {
  if (setup_.host && win::IsWindow(setup_.host))
    win::SendCopyData(setup_.host, GetHwnd(), kind, nullptr, 0);
}

void CMainFrame::SetStyle(int style) {
  Songs().SetStyle(style);
  UpdateCommandStates();
}

void CMainFrame::ShowSongInfo(int32_t number, std::string_view singer, std::string_view field1,
                              std::string_view field2, std::string_view path) {
  const std::string unknown = String(kUnknown);
  auto orUnknown = [&](std::string_view s) { return s.empty() ? unknown : std::string(s); };
  std::string text = String(kSongInfo);
  // "%s" places in order: singer and the two further fields.
  for (const std::string& part : {orUnknown(singer), orUnknown(field1), orUnknown(field2)}) {
    const size_t at = text.find("%s");
    if (at == std::string::npos)
      break;
    text.replace(at, 2, part);
  }
  text += "  " + std::to_string(number) + "  " + std::string(path);
  status_.SetText(2, text);
}

bool CMainFrame::OnCommand(uint16_t id) {
  switch (id) {
  case cmd::kUpLevel:
    Tree().Refresh();
    return true;
  case cmd::kClose:
  case cmd::kCloseMenu:
    win::PostMessage(GetHwnd(), win::WM_CLOSE);
    return true;
  case cmd::kTake:
    Refresh(0);
    return true;
  case cmd::kRebuildSecond:
  case cmd::kRebuildFirst:
    // Only the folder view lists folders; the other types' rows are songs.
    if (currentType_ == 2)
      RebuildFromFolders(id == cmd::kRebuildFirst);
    return true;
  case cmd::kIcons:
    SetStyle(kStyleIcons);
    return true;
  case cmd::kList:
    SetStyle(kStyleList);
    return true;
  case cmd::kReport:
    SetStyle(kStyleReport);
    return true;
  case cmd::kType0:
  case cmd::kType1:
  case cmd::kType2:
    SelectType(id - cmd::kType0);
    return true;
  case cmd::kSearch:
    OpenSearch();
    return true;
  case cmd::kSearchSinger:
  case cmd::kSearchTitle:
  case cmd::kSearchText:
    RunSearch(id);
    return true;
  case cmd::kCut:
  case cmd::kCopy:
  case cmd::kPaste:
    if (EditAllowed(id))
      win::PostMessage(Songs().GetHwnd(), win::WM_COMMAND, id, 0);
    return true;
  case cmd::kRefresh:
    Refresh(0);
    return true;
  case cmd::kReplace:
    if (currentType_ == 0 || currentType_ == 1)
      ReplaceReservations();
    return true;
  default:
    return false;
  }
}

void CMainFrame::OpenSearch() {
  if (currentType_ != 0 || !setup_.resources.files)
    return;
  const auto bytes = setup_.resources.files("dialogs/160.dlg");
  if (!bytes)
    return;
  auto form = ui::ParseDialogTemplate(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  if (!form)
    return;
  AlbSearchDlg dialog(std::move(*form), search_, Tree().Current().leaf);
  if (dialog.DoModal(GetHwnd()) > 0 && search_.kind)
    win::PostMessage(GetHwnd(), win::WM_COMMAND, search_.kind, 0);
}

void CMainFrame::RunSearch(uint16_t kindCommand) {
  ui::WaitCursor wait;
  const int kind = kindCommand == cmd::kSearchSinger ? 1 : kindCommand == cmd::kSearchText ? 2 : 0;
  if (!search_.narrow)
    Songs().Reset();
  Tree().StartSearch({kind, search_.text, search_.narrow});
}

// Cut, copy and paste go to the song list while it had the focus last, as
// far as its own states allow.
bool CMainFrame::EditAllowed(uint16_t id) const {
  const ManagerView::EditStates& edit = views_[1].Edit();
  const bool allowed = id == cmd::kCut ? edit.cut : id == cmd::kCopy ? edit.copy : edit.paste;
  return lastFocus_ == kSongListControlId && allowed;
}

bool CMainFrame::OnCommandState(ui::CommandState& state) {
  const int type = currentType_ < 0 ? ViewType() : currentType_;
  switch (state.id) {
  case cmd::kTake:
    state.enabled = (type == 0 || type == 1) && Songs().SelectedCount() > 0;
    return true;
  case cmd::kRebuildSecond:
    state.enabled = type == 2;
    return true;
  case cmd::kPlainList:
  case cmd::kSearch:
    state.enabled = type == 0;
    return true;
  case cmd::kIcons:
  case cmd::kList:
  case cmd::kReport: {
    const int style = Songs().Style();
    state.checked = (state.id == cmd::kIcons && style == kStyleIcons) ||
                    (state.id == cmd::kList && style == kStyleList) ||
                    (state.id == cmd::kReport && style == kStyleReport);
    return true;
  }
  case cmd::kCut:
  case cmd::kCopy:
  case cmd::kPaste:
    state.enabled = EditAllowed(state.id);
    return true;
  default:
    return false;
  }
}

std::string CMainFrame::TipText(uint16_t command) {
  if (switching_)
    return {};
  if (command == cmd::kTake) {
    const int type = currentType_ < 0 ? ViewType() : currentType_;
    return Cut(String(38802 + static_cast<uint32_t>(std::clamp(type, 0, 2))), 59);
  }
  // The combos' tips and the buttons' commands, each a string of its own.
  return Cut(String(command), 59);
}

uint16_t CommandOfKey(ui::WParam key) {
  static constexpr uint16_t kKeys[] = {cmd::kType0, cmd::kType1, cmd::kType2, cmd::kIcons,
                                       cmd::kList,  cmd::kReport, cmd::kIndex, cmd::kServer};
  if (key < ui::VK_F1 + 1 || key > ui::VK_F1 + 8)
    return 0;
  return kKeys[key - ui::VK_F1 - 1];
}

void CMainFrame::OnKey(ui::WParam key, ui::LParam from) {
  const bool ctrl = ui::GetKeyState(ui::VK_CONTROL) < 0;
  if (const uint16_t command = CommandOfKey(key)) {
    win::PostMessage(GetHwnd(), win::WM_COMMAND, command, 0);
    return;
  }
  if (!ctrl || !Tree().Current().leaf)
    return;
  switch (key) {
  case 'A':
    if (from == kSongListControlId)
      win::PostMessage(Songs().GetHwnd(), win::WM_COMMAND, cmd::kSelectAll, 0);
    else if (from == kReserveListControlId)
      win::PostMessage(Reserves().GetHwnd(), win::WM_COMMAND, cmd::kSelectAll, 0);
    break;
  case 'C':
    win::PostMessage(Songs().GetHwnd(), win::WM_COMMAND, cmd::kCopy, 0);
    break;
  case 'X':
    win::PostMessage(Songs().GetHwnd(), win::WM_COMMAND, cmd::kCut, 0);
    break;
  case 'V':
    if (Tree().Current().inMyAlbum)
      win::PostMessage(Songs().GetHwnd(), win::WM_COMMAND, cmd::kPaste, 0);
    break;
  default:
    break;
  }
}

void CMainFrame::WriteSettings() {
  // The normal rectangle, also of a maximised or minimised frame.
  if (auto placement = ui::GetWindowPlacement(GetHwnd()))
    normal_ = placement->normal;
  const auto write = [&](const char* section, const char* key, int32_t value) {
    sys::IniWriteString(config_, section, key, std::to_string(value));
  };
  write("AlbManager", "cx", normal_.Width());
  write("AlbManager", "cy", normal_.Height());
  write("AlbManager", "x", normal_.left);
  write("AlbManager", "y", normal_.top);
  write("AlbViewOne", "cx", splitter_.ColumnWidth(0));
  write("AlbViewTwo", "cx", splitter_.ColumnWidth(1));
  write("AlbViewThree", "cx", splitter_.ColumnWidth(2));
  if (!currDir_.empty())
    sys::IniWriteString(config_, "AlbViewOne", "CurrDir", currDir_);
  if (currFolder_ != 0)
    write("AlbViewOne", "CurrFolder", currFolder_);
  write("AlbViewTwo", "LastViewType", Songs().Style());
}

ui::LResult CMainFrame::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_SHOWWINDOW:
    if (wParam)
      OnShowing();
    return FrameWnd::OnMessage(message, wParam, lParam);
  case ui::WM_MEASUREITEM:
    if (auto* item = reinterpret_cast<ui::MeasureItem*>(lParam); item && wParam == kViewCombo) {
      typeCombo_.Measure(*item);
      return 1;
    }
    return FrameWnd::OnMessage(message, wParam, lParam);
  case ui::WM_DRAWITEM:
    if (auto* item = reinterpret_cast<const ui::DrawItem*>(lParam);
        item && item->dc && wParam == kViewCombo) {
      typeCombo_.Draw(*item);
      return 1;
    }
    return FrameWnd::OnMessage(message, wParam, lParam);
  case win::WM_KEYDOWN:
    OnKey(wParam, lParam);
    return FrameWnd::OnMessage(message, wParam, lParam);
  case win::WM_SIZE: {
    const ui::LResult result = FrameWnd::OnMessage(message, wParam, lParam);
    PlaceToolBar();
    return result;
  }
  case win::WM_COMMAND: {
    const uint16_t code = static_cast<uint16_t>(ui::HighWord(wParam));
    const uint16_t id = static_cast<uint16_t>(ui::LowWord(wParam));
    if (code == ui::CBN_SELCHANGE && lParam && lParam == typeCombo_.GetHwnd() && id == kViewCombo) {
      ChangeViewType(ViewType());
      return 0;
    }
    if (code == ui::CBN_SELCHANGE && lParam && lParam == kindCombo_.GetHwnd()) {
      Songs().Reload();
      return 0;
    }
    if (id == cmd::kRefresh && lParam) {
      Refresh(lParam);
      return 0;
    }
    return FrameWnd::OnMessage(message, wParam, lParam);
  }
  case win::WM_DESTROY:
    WriteSettings();
    if (gCurrent == this)
      gCurrent = nullptr;
    return FrameWnd::OnMessage(message, wParam, lParam);
  default:
    return FrameWnd::OnMessage(message, wParam, lParam);
  }
}

} // namespace album
