#include "display/frame.h"

#include "display/lyric/lyric_style_table.h"
#include "display/resources.h"
#include "display/utils.h"

#include "htmltitle/marquell.h"
#include "platform/sys/ascii.h"
#include "platform/sys/ini.h"
#include "platform/sys/log.h"
#include "platform/sys/paths.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/cursor.h"
#include "platform/ui/window/drop.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

#include <algorithm>
#include <cstdio>

namespace display {
namespace {

// How long the frame waits for the player core or the host to answer a send.
constexpr uint32_t kSendTimeoutMs = 5000;

// A view class: no background, the class cursor as given.
bool RegisterView(const char* name, uint32_t style, ui::CursorHandle cursor) {
  ui::ScreenClass c;
  c.name = name;
  c.style = style;
  c.cursor = std::move(cursor);
  // Views are made by the frame with their objects; one made by name alone
  // gets a plain window.
  c.factory = [] { return std::make_unique<ui::ScreenWindow>(); };
  return ui::RegisterScreenClass(c);
}

class PlainFrameWindow : public ui::ScreenWindow {};

std::string Extension(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  return sys::AsciiLowered(path.substr(dot + 1));
}

bool IsOneOf(const std::string& ext, std::initializer_list<const char*> list) {
  for (const char* e : list)
    if (ext == e)
      return true;
  return false;
}

void BringToTop(win::Hwnd hwnd) {
  if (hwnd)
    ui::SetWindowPos(hwnd, ui::HWND_TOP, 0, 0, 0, 0,
                     ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOACTIVATE);
}

void Invalidate(win::Hwnd hwnd) {
  if (hwnd)
    ui::InvalidateRect(hwnd, nullptr, true);
}

// The current background of a class, read by swapping it out and back.
std::optional<gdi::Colour> ClassBackground(const char* cls) {
  std::optional<gdi::Colour> current;
  ui::SetClassBackground(cls, std::nullopt, &current);
  ui::SetClassBackground(cls, current);
  return current;
}

} // namespace

bool RegisterDisplayClasses() {
  const uint32_t frameStyle = ui::CS_VREDRAW | ui::CS_HREDRAW | ui::CS_DBLCLKS | ui::CS_OWNDC;
  const uint32_t viewStyle = ui::CS_DBLCLKS | ui::CS_OWNDC;
  bool ok = true;
  if (!win::IsClassRegistered(kFrameClass)) {
    ui::ScreenClass frame;
    frame.name = kFrameClass;
    frame.style = frameStyle;
    frame.factory = [] { return std::make_unique<PlainFrameWindow>(); };
    frame.background = kColour3dFace;
    ok = ui::RegisterScreenClass(frame) && ok;
  }
  struct View {
    const char* name;
    ui::CursorHandle cursor;
  };
  const View views[] = {{kWordClass, nullptr},
                        {kTitleClass, nullptr},
                        {kNumClass, nullptr},
                        {kSysMenuClass, ui::LoadCursor(ui::IDC_HAND)},
                        {kInfoClass, nullptr}};
  for (const auto& v : views)
    if (!win::IsClassRegistered(v.name))
      ok = RegisterView(v.name, viewStyle, v.cursor) && ok;
  return ok;
}

CKivo32Frame::CKivo32Frame() = default;

int CKivo32Frame::TextCodePage() const {
  return word_ && word_->Lines() ? word_->Lines()->CodePage() : sys::kDefaultCodePage;
}

CKivo32Frame::~CKivo32Frame() {
  if (mediaPick_.joinable())
    mediaPick_.join();
  if (GetHwnd())
    win::DestroyWindow(GetHwnd());
  if (pageParsed_)
    QuillmarkToNULL();
}

win::Hwnd CKivo32Frame::CreateFrame(std::string_view title) {
  const gdi::Rect screen = ui::ScreenRect();
  win::CreateParams p;
  p.className = kFrameClass;
  p.title = std::string(title);
  p.style = win::WS_POPUP | win::WS_CLIPCHILDREN | ui::WS_MINIMIZEBOX | ui::WS_MAXIMIZEBOX |
            ui::WS_SYSMENU | ui::WS_THICKFRAME;
  p.width = screen.Width() / 3;
  p.height = screen.Height() / 3;
  p.x = screen.left + p.width;
  p.y = screen.top + p.height;
  p.object = this;
  return win::CreateWindow(p);
}

// ---- link-up ----

void CKivo32Frame::FindHostWindows() {
  const win::Hwnd host = win::FindWindow(kHostClass, std::nullopt);
  remote_ = host ? win::FindWindowEx(host, kRemoteClass, kMessageTitle) : 0;
  tamblo_ = host ? win::FindWindowEx(host, kTambloClass, kMessageTitle) : 0;
}

void CKivo32Frame::LinkAtStart() {
  FindHostWindows();
  const auto self = static_cast<win::LParam>(Hwnd());
  if (tamblo_)
    win::SendMessageTimeout(tamblo_, win::WM_USER, kLinkDisplay, self, kSendTimeoutMs);
  if (remote_)
    win::PostMessage(remote_, win::WM_USER, kDisplayStarted, self);
}

void CKivo32Frame::RefreshLink() {
  FindHostWindows();
  if (tamblo_)
    win::PostMessage(tamblo_, win::WM_USER, kLinkDisplay, static_cast<win::LParam>(Hwnd()));
}

// ---- creation ----

bool CKivo32Frame::CreateViews() {
  const win::Hwnd self = Hwnd();
  const uint32_t child = win::WS_CHILD | win::WS_VISIBLE | win::WS_CLIPSIBLINGS;
  word_ = std::make_unique<CKivo32Word>(*this, ReadLyricFactors(configPath_));
  title_ = std::make_unique<CKivo32Title>(*this);
  num_ = std::make_unique<CKivo32Num>(*this);
  sysMenu_ = std::make_unique<CKivo32SysMenu>(*this);
  info_ = std::make_unique<CKivo32Info>(*this);
  receiver_ = std::make_unique<LyricReceiver>(*this);
  word_->SetReceiver(receiver_.get());
  const bool made =
      sysMenu_->Create(kSysMenuClass, "", child, 6000, self) &&
      word_->Create(kWordClass, LoadString(72), child | ui::WS_SYSMENU, kWordId, self) &&
      num_->Create(kNumClass, LoadString(73), child | ui::WS_SYSMENU, 4000, self) &&
      title_->Create(kTitleClass, LoadString(9), child | ui::WS_SYSMENU, 3000, self) &&
      info_->Create(kInfoClass, LoadString(74), child | win::WS_CLIPCHILDREN, 7000, self);
  if (!made)
    return false;
  // The strip is drawn over the views around it.
  ui::SetWindowExStyle(title_->Hwnd(), ui::GetWindowExStyle(title_->Hwnd()) | ui::WS_EX_TRANSPARENT);
  word_->SetPlacementKeys("Lyric");
  title_->SetPlacementKeys("Title");
  num_->SetPlacementKeys("ResvNum");
  // The info view hides again while it shows nothing.
  info_->EndPage();
  for (Kivo32View* v :
       std::initializer_list<Kivo32View*>{sysMenu_.get(), word_.get(), num_.get(), title_.get()})
    ui::UpdateWindow(v->Hwnd());
  return true;
}

void CKivo32Frame::OpenVideoDevices() {
  const win::Hwnd self = Hwnd();
  const std::string text = win::GetWindowText(self).value_or("");
  const OverlayChecks checks = ReadOverlayChecks(configPath_);
  // A device that cannot be opened only makes its background mode
  // unavailable; the display goes on without it.
  if (checks.mpeg && mpeg_.Detect(self) && mpeg_.Open(self, text)) {
    mpegList_ = std::make_unique<MediaList>(MediaKind::Mpeg);
    if (mpegList_->Load(configPath_))
      mpegList_->RebuildAll(configPath_, ResourceModule());
  }
  if (backgroundMode_ == kModeMpeg && !mpeg_.IsOpen())
    backgroundMode_ = kModeStill;
  if (checks.overlay && overlay_.Probe() && overlay_.Open(self, text)) {
    const int32_t source = sys::IniGetInt(configPath_, "Overlay", "Source", 0);
    if (!overlay_.SelectSource(source)) {
      overlay_.Close();
      ui::SetClassBackground(kFrameClass, mpeg_.IsOpen() ? kMpegKeyColour : kColour3dFace);
    } else if (backgroundMode_ != kModeOverlay) {
      overlay_.VideoOff();
    }
  }
  if (backgroundMode_ == kModeOverlay && !overlay_.IsOpen())
    backgroundMode_ = kModeStill;
  if (backgroundMode_ == kModeInfo) {
    if (PlacedByMode2())
      info_->ShowVideoArea();
    else
      SetBackgroundMode(kModeStill);
  }
}

LResult CKivo32Frame::OnCreate() {
  const win::Hwnd self = Hwnd();
  // The class's own background until a video device keys it.
  ui::SetClassBackground(kFrameClass, kColour3dFace);
  styleTable_ = std::make_unique<LyricStyleTable>(configPath_);
  styleTable_->LoadNames([](uint32_t id) -> std::optional<std::string> {
    const res::Bundle* bundle = ResourceModule();
    if (!bundle || !bundle->String(id))
      return std::nullopt;
    return bundle->StringBytes(id);
  });
  styleTable_->LoadAndStore();

  if (!CreateViews()) {
    ui::MessageBox("Create to child windows are failed!", "Error", ui::MB_OK | ui::MB_ICONSTOP,
                   self);
    return -1;
  }

  const WordsSettings words = ReadWordsSettings(configPath_);
  timing_ = std::make_unique<WipeTiming>(words.progressDuration);
  word_->SetTiming(timing_.get());
  word_->AttachLyric(*styleTable_, static_cast<uint32_t>(std::max(words.progressDuration, 1)),
                     words.byChar != 0);

  imageList_ = std::make_unique<MediaList>(MediaKind::Image);
  videoList_ = std::make_unique<MediaList>(MediaKind::AviFlc);
  for (MediaList* list : {imageList_.get(), videoList_.get()})
    if (list->Load(configPath_))
      list->RebuildAll(configPath_, ResourceModule());

  const FrameSettings s = ReadFrameSettings(configPath_);
  engine_ = std::make_unique<BackgroundImageEngine>(configPath_);
  engine_->SetLayoutType(s.imageType);
  engine_->SetFixed(s.imageIsFix != 0);
  asyncLoading_ = s.asyncLoading != 0;
  imageMessage_ = asyncLoading_ ? kNextImageAsyncMessage : kNextImageMessage;
  imageMode_ = static_cast<uint8_t>(s.imageMode);
  backgroundFolder_ = s.backgroundFolder;
  // Before the first preload, which may lay a picture out over it.
  engine_->DefaultBackground().Load(programFolder_ + "/bkimage.bmp");
  engine_->SetAsyncLoading(asyncLoading_);
  engine_->SetFixedFrame(s.fixedFrame != 0);
  if (!engine_->Initialise(self, imageList_.get()))
    return -1;
  if (engine_->FirstImageRequested())
    imageRequest_ = true;
  imageChange_ = s.imageChange != 0;

  SetBackgroundMode(s.display);
  word_->SetByChar(words.byChar);
  word_->SetSmallFont(words.smallFont);

  OpenVideoDevices();

  const gdi::Rect screen = ui::ScreenRect();
  const gdi::Rect rect = FitFrameRect(ReadFrameRect(configPath_), screen,
                                      gdi::Size{447, std::max(screen.Height() / 4, 1)});
  ui::MoveWindow(self, rect.left, rect.top, rect.Width(), rect.Height(), true);
  normalRect_ = rect;
  if (overlay_.IsOpen())
    overlay_.ReadPositions(configPath_);

  controller_ = std::make_unique<LyricWindowController>(*this);
  lyricsShown_ = true;
  firstPaintDone_ = false;
  backgroundLaidOut_ = false;
  return 0;
}

// ---- frame operations ----

void CKivo32Frame::SetBackgroundMode(int32_t mode) {
  if (mode == kModeInfo && backgroundMode_ != kModeInfo) {
    savedBackground_ = ClassBackground(kFrameClass);
    ui::SetClassBackground(kFrameClass, gdi::Rgb(0, 0, 0));
  } else if (mode != kModeInfo && backgroundMode_ == kModeInfo) {
    ui::SetClassBackground(kFrameClass, savedBackground_);
  }
  backgroundMode_ = mode;
}

void CKivo32Frame::RefreshAfterModeChange() {
  if (title_)
    title_->Refresh();
  if (sysMenu_)
    Invalidate(sysMenu_->Hwnd());
  if (lyricsShown_ && word_)
    Invalidate(word_->Hwnd());
  if (controller_)
    controller_->ModeChanged();
}

bool CKivo32Frame::RereadImageSettings() {
  if (!engine_)
    return false;
  word_->SetByChar(ReadWordsSettings(configPath_).byChar);
  const FrameSettings s = ReadFrameSettings(configPath_);
  const bool typeChanged = s.imageType != engine_->LayoutType();
  const bool fixChanged = (s.imageIsFix != 0) != engine_->Fixed();
  imageChange_ = s.imageChange != 0;
  engine_->SetFixed(s.imageIsFix != 0);
  if (typeChanged) {
    engine_->SetLayoutType(s.imageType);
    if (engine_->ImageCount() > 0)
      RecomposeImage();
  }
  return typeChanged || fixChanged;
}

void CKivo32Frame::RecomposeImage() {
  if (engine_)
    engine_->Recompose();
}

void CKivo32Frame::ApplyDisplayMode(const DisplayModeRecord& record) {
  displayMode_ = record.mode;
  displayModeReceived_ = true;
  if (record.mode == 2) {
    PlaceViewsInHost(record);
    win::PostMessage(Hwnd(), win::WM_USER, kAviVideoRequest, 0);
    return;
  }
  Embed(record);
  if (backgroundMode_ == kModeInfo)
    win::PostMessage(Hwnd(), win::WM_USER, kVideoOffRequest, 0);
}

void CKivo32Frame::PlaceViewsInHost(const DisplayModeRecord& record) {
  const auto host = static_cast<win::Hwnd>(record.hostWindow);
  if (!word_ || !win::IsWindow(host) || host == Hwnd())
    return;
  if (!ui::IsScreenWindow(host))
    sys::Warn("display", "the host window belongs to another program; the views are placed over it");
  auto rect = [](const int32_t (&r)[4]) { return gdi::MakeRect(r[0], r[1], r[2], r[3]); };
  word_->PlaceInHost(host, rect(record.lyric));
  // The host finds the lyric view as its item 5021.
  win::SetDlgCtrlId(word_->Hwnd(), kHostLyricItem);
  num_->PlaceInHost(host, rect(record.number));
  title_->PlaceInHost(host, rect(record.title));
}

void CKivo32Frame::ResetDisplayMode() {
  const bool placed = PlacedByMode2();
  displayMode_ = 0;
  if (!placed || !word_)
    return;
  for (Kivo32View* v : std::initializer_list<Kivo32View*>{word_.get(), title_.get(), num_.get()})
    v->ReturnFromHost();
  win::SetDlgCtrlId(word_->Hwnd(), kWordId);
  PlaceViews();
  for (Kivo32View* v : std::initializer_list<Kivo32View*>{word_.get(), title_.get(), num_.get()})
    ui::ShowWindow(v->Hwnd(), ui::SW_SHOWNA);
}

void CKivo32Frame::Embed(const DisplayModeRecord& record) {
  const win::Hwnd self = Hwnd();
  const auto host = static_cast<win::Hwnd>(record.hostWindow);
  if (embedded_ || !win::IsWindow(host) || host == self)
    return;
  if (ui::IsIconic(self))
    ui::ShowWindow(self, ui::SW_RESTORE);
  savedRect_ = ui::GetWindowRect(self).value_or(normalRect_);
  uint32_t style = win::GetWindowStyle(self);
  style = (style & ~(win::WS_POPUP | ui::WS_THICKFRAME)) | win::WS_CHILD;
  ui::SetWindowStyle(self, style);
  ui::SetWindowExStyle(self,
                       ui::GetWindowExStyle(self) & ~(ui::WS_EX_CLIENTEDGE | ui::WS_EX_WINDOWEDGE));
  // A host window of this process takes the frame inside its own window; one
  // of another process cannot, so the frame is placed over it at the
  // record's rectangle, which the host gives in screen coordinates then.
  if (!ui::IsScreenWindow(host))
    sys::Warn("display",
              "the host window belongs to another program; the display is "
              "placed over it at (%d, %d), not inside it",
              record.x, record.y);
  ui::SetParent(self, host);
  embedded_ = true;
  ui::SetWindowPos(self, ui::HWND_TOP, record.x, record.y, std::max(record.width, 0),
                   std::max(record.height, 0), ui::SWP_NOACTIVATE | ui::SWP_FRAMECHANGED);
  hostWindow_ = host;
  ui::ShowWindow(self, ui::SW_SHOW);
  SetSizingBorder(false);
}

void CKivo32Frame::LeaveEmbedding(bool showAgain) {
  const win::Hwnd self = Hwnd();
  if (!embedded_)
    return;
  const gdi::Rect screen = ui::ScreenRect();
  savedRect_ = FitFrameRect(ReadFrameRect(configPath_), screen,
                            gdi::Size{447, std::max(screen.Height() / 4, 1)});
  ui::ShowWindow(self, ui::SW_HIDE);
  uint32_t style = win::GetWindowStyle(self);
  style = (style & ~win::WS_CHILD) | win::WS_POPUP | ui::WS_THICKFRAME;
  ui::SetWindowStyle(self, style);
  ui::SetWindowExStyle(self,
                       ui::GetWindowExStyle(self) | ui::WS_EX_CLIENTEDGE | ui::WS_EX_WINDOWEDGE);
  ui::SetParent(self, 0);
  embedded_ = false;
  hostWindow_ = 0;
  ui::MoveWindow(self, savedRect_.left, savedRect_.top, savedRect_.Width(), savedRect_.Height(),
                 true);
  if (showAgain)
    ui::ShowWindow(self, ui::SW_SHOW);
  if ((imageMode_ & 1) && imageChange_)
    specialImageRequest_ = true;
}

void CKivo32Frame::SetSizingBorder(bool on) {
  const win::Hwnd self = Hwnd();
  const uint32_t style = win::GetWindowStyle(self);
  const uint32_t ex = ui::GetWindowExStyle(self);
  ui::SetWindowStyle(self, on ? style | ui::WS_THICKFRAME : style & ~ui::WS_THICKFRAME);
  ui::SetWindowExStyle(self, on ? ex | ui::WS_EX_CLIENTEDGE : ex & ~ui::WS_EX_CLIENTEDGE);
  ui::SetWindowPos(self, 0, 0, 0, 0, 0,
                   ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOZORDER | ui::SWP_NOACTIVATE |
                       ui::SWP_FRAMECHANGED);
  Invalidate(self);
}

void CKivo32Frame::ToggleMaximise() {
  if (embedded_)
    return;
  ui::ShowWindow(Hwnd(), ui::IsZoomed(Hwnd()) ? ui::SW_RESTORE : ui::SW_MAXIMIZE);
}

bool CKivo32Frame::Confirm() {
  const win::Hwnd self = Hwnd();
  if (remote_ && tamblo_)
    return ui::MessageBox(LoadString(266), LoadString(7), ui::MB_YESNO | ui::MB_ICONQUESTION,
                          self) == ui::IDYES;
  ui::MessageBox(LoadString(267), LoadString(7), ui::MB_OK | ui::MB_ICONEXCLAMATION, self);
  return false;
}

void CKivo32Frame::PaintBehind(win::Hwnd view, gdi::Dc& dc, const gdi::Rect& area) {
  if (backgroundMode_ != kModeStill || !engine_) {
    dc.FillRect(area, ClassBackground(kFrameClass).value_or(kColour3dFace));
    return;
  }
  // What the frame shows there: the image or the default background, lined
  // up with the frame's.
  const gdi::Point origin = ui::ScreenToClient(view, ui::ClientToScreen(Hwnd(), {0, 0}));
  if (imageList_->Empty() && !imageRequest_)
    engine_->PaintDefault(dc, area, origin);
  else
    engine_->Paint(dc, area, origin);
}

void CKivo32Frame::StorePage(std::string_view text) {
  // The parse result points into the copy being replaced: it goes first.
  DropPage();
  page_.assign(text);
}

bool CKivo32Frame::ParsePage() {
  pageParsed_ = HTMLParsing(page_.data()) == 1;
  return pageParsed_;
}

void CKivo32Frame::DropPage() {
  if (pageParsed_ || htmltitle::CurrentResult())
    QuillmarkToNULL();
  pageParsed_ = false;
}

void CKivo32Frame::LeaveVideoModes() {
  switch (backgroundMode_) {
  case kModeOverlay:
    overlay_.VideoOff();
    break;
  case kModeMpeg:
    mpeg_.VideoOff();
    break;
  case kModeInfo:
    info_->CloseVideo();
    break;
  default:
    return;
  }
  SetBackgroundMode(kModeStill);
}

void CKivo32Frame::EnterMpegMode() {
  if (!mpeg_.IsOpen())
    return;
  // The overlay card may have keyed the class on its own colour since.
  ui::SetClassBackground(kFrameClass, kMpegKeyColour);
  mpeg_.VideoOn();
  SetBackgroundMode(kModeMpeg);
}

void CKivo32Frame::EnterOverlayMode() {
  if (!overlay_.IsOpen())
    return;
  // The MPEG board may have keyed the class on its own colour since.
  ui::SetClassBackground(kFrameClass, overlay_.KeyColour());
  overlay_.VideoOn();
  SetBackgroundMode(kModeOverlay);
}

void CKivo32Frame::OpenFile(const std::string& path) {
  const win::Hwnd self = Hwnd();
  const std::string ext = Extension(path);
  if (IsOneOf(ext, {"htm", "html"})) {
    std::vector<uint8_t> block;
    if (LoadFileToGlobal(path, block) < 0)
      return;
    droppedPage_.assign(block.begin(), block.end());
    droppedPage_.resize(std::min(droppedPage_.size(), droppedPage_.find('\0')));
    win::SendCopyData(self, self, kHtmlPageCopy, droppedPage_.c_str(),
                      static_cast<uint32_t>(droppedPage_.size() + 1));
    if (info_)
      Invalidate(info_->Hwnd());
  } else if (IsOneOf(ext, {"avi", "flc", "mov", "mpg"})) {
    if (PlacedByMode2()) {
      SetBackgroundMode(kModeInfo);
      info_->ShowVideoArea();
      info_->OpenVideo(path);
      info_->PlayOrStop(true);
    } else if (Confirm()) {
      waitingVideo_ = path;
      win::SendMessageTimeout(remote_, win::WM_USER, kSysMenuRequest, 0, kSendTimeoutMs);
    }
  } else if (IsOneOf(ext, {"vx3", "sb3", "mid", "kar"})) {
    if (!tamblo_)
      return;
    // The player core opens stored paths: drive letters and code-page bytes.
    auto stored = sys::ToStoredPath(path);
    if (!stored) {
      sys::Warn("display", "%s has no name the player can open", path.c_str());
      return;
    }
    win::SendCopyDataTimeout(tamblo_, self, kSongFileCopy, stored->c_str(),
                             static_cast<uint32_t>(stored->size() + 1), kSendTimeoutMs);
  } else if (IsOneOf(ext, {"bmp", "pcx", "gif", "jpg"})) {
    LeaveVideoModes();
    Invalidate(self);
    RefreshAfterModeChange();
    imageRequest_ = true;
    engine_->NextImagePath() = path;
    win::SendMessage(self, kNextImageMessage, 0, 1);
  }
}

// ---- messages ----

void CKivo32Frame::PlaceViews() {
  if (!word_)
    return;
  sysMenu_->PlaceChild();
  if (!layoutEdit_ && !PlacedByMode2()) {
    word_->PlaceDocked(client_, embedded_);
    const int32_t wordHeight = word_->ClientRect().Height();
    title_->PlaceChild(client_, wordHeight);
    num_->PlaceChild(client_, wordHeight);
  }
  info_->PlaceFor(client_);
}

void CKivo32Frame::RememberNormalRect() {
  const win::Hwnd self = Hwnd();
  if (embedded_ || ui::IsIconic(self) || ui::IsZoomed(self))
    return;
  if (auto r = ui::GetWindowRect(self))
    normalRect_ = *r;
}

void CKivo32Frame::OnPaint() {
  ui::Paint p(Hwnd());
  if (!p.IsValid())
    return;
  if (timing_)
    timing_->Hold();
  if (backgroundMode_ == kModeStill && engine_) {
    if (imageList_->Empty() && !imageRequest_)
      engine_->PaintDefault(p.Dc(), p.Area());
    else
      engine_->Paint(p.Dc(), p.Area());
  }
  if (firstPaintDone_ && !layoutEdit_) {
    Invalidate(num_->Hwnd());
    Invalidate(title_->Hwnd());
    if (!PlacedByMode2())
      Invalidate(word_->Hwnd());
  }
  firstPaintDone_ = true;
  if (lyricsShown_)
    word_->LayoutCurrentLine();
  if (timing_)
    timing_->Release();
}

void CKivo32Frame::OnSize(WParam type, int32_t width, int32_t height) {
  if (type == ui::SIZE_MINIMIZED)
    return;
  client_ = gdi::Rect{0, 0, width, height};
  if (!engine_)
    return;
  engine_->SetClientRect(client_);
  PlaceViews();
  overlay_.Place(width, height);
  backgroundLaidOut_ = false;
  if (asyncLoading_ && imageList_->Empty())
    imageRequest_ = true;
  win::SendMessage(Hwnd(), kRelayoutMessage, 0, 0);
  if (repaintAfterClick_) {
    repaintAfterClick_ = false;
    word_->ReleasePainting();
    Invalidate(Hwnd());
  }
  RememberNormalRect();
}

void CKivo32Frame::OnRelayout() {
  if (info_ && info_->ShowsTitlePage())
    info_->EndPage();
  if (!engine_ || (imageList_->Empty() && !imageRequest_)) {
    backgroundLaidOut_ = true;
    return;
  }
  if (timing_)
    timing_->Hold();
  engine_->Recompose();
  if (asyncLoading_)
    engine_->StartRecompose();
  if (timing_)
    timing_->Release();
  backgroundLaidOut_ = true;
}

bool CKivo32Frame::PickNextOrFallback() {
  if (engine_->PickNextImage())
    return true;
  engine_->NextImagePath() = engine_->FallbackPath();
  return !engine_->NextImagePath().empty();
}

void CKivo32Frame::PreloadFollowingImage() {
  if (waitingFolder_.empty() || !backgroundFolder_) {
    PickNextOrFallback();
    if (!BackgroundImageEngine::NamesFile(engine_->NextImagePath()))
      imageRequest_ = false;
    else
      engine_->StartLoader(true);
    return;
  }
  // The loader picks from the waiting subfolder.
  imageList_->SetCurrentFolder(*backgroundFolder_ + "/" + waitingFolder_);
  engine_->StartLoader(false);
}

void CKivo32Frame::OnNextImage(WParam wParam, LParam lParam) {
  // The media pick's mark goes whatever the handling.
  struct ClearMark {
    std::atomic<bool>& mark;
    ~ClearMark() { mark = false; }
  } clearMark{mediaPickRunning_};
  if (backgroundMode_ != kModeStill || !engine_)
    return;
  // A media pick's result, when one is waiting, is the next image.
  if (auto picked = TakePick())
    engine_->NextImagePath() = *picked;
  bool pathGiven = lParam != 0;
  if (engine_->LoaderBusy()) {
    // Served when the loader has ended (also a subfolder's preload without
    // asynchronous loading); the loader keeps to its own path.
    // (A request already waiting keeps what it gave.)
    if (wParam != 1)
      rememberedPathGiven_ = pathGiven;
    engine_->SetShowWhenReady();
    return;
  }
  if (wParam == 1) {
    pathGiven = rememberedPathGiven_;
    if (specialImageRequest_) {
      specialImageRequest_ = false;
      if (auto pick = imageList_->FolderPick())
        engine_->NextImagePath() = *pick;
      pathGiven = true;
    }
  }
  if (!pathGiven && !BackgroundImageEngine::NamesFile(engine_->NextImagePath())) {
    if (!engine_->PickNextImage() || !BackgroundImageEngine::NamesFile(engine_->NextImagePath())) {
      imageRequest_ = false;
      return;
    }
  }
  if (engine_->LoadNextImageNow(Hwnd(), pathGiven)) {
    failedLoads_ = 0;
    Invalidate(Hwnd());
    Invalidate(info_->Hwnd());
    if (asyncLoading_ && !engine_->LoaderBusy())
      PreloadFollowingImage();
    return;
  }
  // Another image, a bounded number of times: a list of files that all
  // fail to decode ends with the shown image kept.
  if (++failedLoads_ >= engine_->LoadAttemptLimit()) {
    failedLoads_ = 0;
    imageRequest_ = false;
    return;
  }
  PickNextOrFallback();
  win::PostMessage(Hwnd(), kNextImageMessage, 0, 0);
}

void CKivo32Frame::OnTakeOverImage(LParam lParam) {
  struct ClearMark {
    std::atomic<bool>& mark;
    ~ClearMark() { mark = false; }
  } clearMark{mediaPickRunning_};
  if (backgroundMode_ != kModeStill || !engine_)
    return;
  if (auto picked = TakePick())
    engine_->NextImagePath() = *picked;
  bool pathGiven = lParam != 0;
  if (engine_->LoaderBusy()) {
    // The request waits for the loader and is then loaded at once; the
    // loader keeps to its own path.
    rememberedPathGiven_ = pathGiven;
    engine_->SetShowWhenReady();
    return;
  }
  if (!pathGiven) {
    if (waitingFolder_.empty() || !backgroundFolder_) {
      PickNextOrFallback();
      pathGiven = true;
    } else {
      imageList_->SetCurrentFolder(*backgroundFolder_ + "/" + waitingFolder_);
    }
  }
  if (!pathGiven && !BackgroundImageEngine::NamesFile(engine_->NextImagePath())) {
    if (!engine_->PickNextImage() || !BackgroundImageEngine::NamesFile(engine_->NextImagePath())) {
      imageRequest_ = false;
      return;
    }
  }
  if (!engine_->Ready()) {
    // Nothing preloaded (the preload failed or found no file): exchanging
    // the slots would show an empty or stale one, so the request loads now,
    // the shown picture staying when that fails too.
    if (!pathGiven)
      if (auto pick = imageList_->FolderPick()) {
        engine_->NextImagePath() = *pick;
        pathGiven = true;
      }
    OnNextImage(0, pathGiven ? 1 : 0);
    return;
  }
  if (engine_->TakeOver()) {
    Invalidate(Hwnd());
    Invalidate(info_->Hwnd());
  }
  engine_->StartLoader(pathGiven);
}

void CKivo32Frame::OnLoaderDone() {
  if (!engine_)
    return;
  const bool swappedBack = engine_->Swapped();
  const bool show = engine_->FinishLoader();
  if (swappedBack && !engine_->Swapped())
    Invalidate(Hwnd());
  if (show)
    win::PostMessage(Hwnd(), kNextImageMessage, 1, 0);
}

void CKivo32Frame::OnLeftButtonDown(WParam keys, gdi::Point point) {
  const win::Hwnd self = Hwnd();
  if (timing_)
    timing_->Hold();
  if (embedded_) {
    if (fixedFrame_ && !engine_->LoaderBusy()) {
      word_->HoldPaintingUntilResize();
      repaintAfterClick_ = true;
    }
    if (hostWindow_)
      win::PostMessage(hostWindow_, win::WM_USER, kDisplayClicked, static_cast<LParam>(self));
  } else if (!ui::IsZoomed(self)) {
    const gdi::Point screen = ui::ClientToScreen(self, point);
    if (!layoutEdit_ || !(keys & ui::MK_CONTROL)) {
      BringToTop(self);
      win::SendMessage(self, win::WM_SYSCOMMAND, ui::SC_MOVE | ui::HTCAPTION,
                       ui::MakeLParam(screen.x, screen.y));
    } else {
      // The views floating over the frame, else the info view within it.
      for (Kivo32View* v : std::initializer_list<Kivo32View*>{word_.get(), title_.get(),
                                                              num_.get(), info_.get()}) {
        auto r = ui::GetWindowRect(v->Hwnd());
        if (r && r->Contains(screen) && ui::IsWindowVisible(v->Hwnd())) {
          tracker_.Begin(v->Hwnd(), screen, self);
          break;
        }
      }
    }
  }
  if (timing_)
    timing_->Release();
}

void CKivo32Frame::OnMouseMove(WParam keys, gdi::Point point) {
  if (tracker_.IsTracking() && (keys & ui::MK_CONTROL))
    tracker_.Move(ui::ClientToScreen(Hwnd(), point));
}

void CKivo32Frame::OnLeftButtonUp(WParam, gdi::Point point) {
  if (!tracker_.IsTracking())
    return;
  tracker_.Move(ui::ClientToScreen(Hwnd(), point));
  tracker_.End();
}

void CKivo32Frame::OnKeyDown(WParam key, LParam flags) {
  const win::Hwnd self = Hwnd();
  if (key == 'T' && ui::GetKeyState(ui::VK_CONTROL) < 0) {
    topmost_ = !topmost_;
    ui::SetWindowPos(self, topmost_ ? ui::HWND_TOPMOST : ui::HWND_NOTOPMOST, 0, 0, 0, 0,
                     ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOACTIVATE);
  } else if (key == ui::VK_F5 && !(asyncLoading_ && engine_->LoaderBusy())) {
    if (backgroundMode_ == kModeStill)
      win::PostMessage(self, kNextImageMessage, 0, 0);
    else if (backgroundMode_ == kModeInfo)
      win::PostMessage(self, win::WM_COMMAND, cmd::kPlayVideo, 0);
    else if (backgroundMode_ == kModeMpeg) {
      win::SendMessage(self, win::WM_COMMAND, cmd::kMpegStop, 0);
      win::SendMessage(self, win::WM_COMMAND, cmd::kMpegPlay, 0);
    }
  }
  if (remote_)
    win::PostMessage(remote_, win::WM_KEYDOWN, key, flags & 0xFFFFFFFF);
}

void CKivo32Frame::OnTimer(WParam id) {
  switch (id) {
  case kLinkTimer:
    RefreshLink();
    break;
  case kPageTimer:
    if (info_)
      info_->EndPage();
    break;
  case kTitleTimer:
    win::KillTimer(Hwnd(), kTitleTimer);
    if (title_) {
      title_->ClearTitles();
      title_->Refresh();
    }
    break;
  default:
    break;
  }
}

LResult CKivo32Frame::OnSysCommand(WParam command, LParam lParam) {
  const win::Hwnd self = Hwnd();
  if (embedded_)
    return 0;
  if (ui::IsZoomed(self) && (command & 0xF010) == 0xF010)
    return 0;
  const WParam sc = command & 0xFFF0;
  if (layoutEdit_) {
    for (Kivo32View* v : std::initializer_list<Kivo32View*>{word_.get(), title_.get(), num_.get()})
      if (sc == ui::SC_MINIMIZE)
        ui::ShowWindow(v->Hwnd(), ui::SW_HIDE);
      else if (sc == ui::SC_MAXIMIZE || sc == ui::SC_RESTORE)
        ui::ShowWindow(v->Hwnd(), ui::SW_SHOWNA);
  }
  if (sc == ui::SC_MAXIMIZE)
    SetSizingBorder(false);
  else if (sc == ui::SC_RESTORE)
    SetSizingBorder(true);
  return Default(win::WM_SYSCOMMAND, command, lParam);
}

void CKivo32Frame::OnDropFiles(WParam drop) {
  const ui::DropFiles* files = ui::AsDropFiles(drop);
  if (!files || files->paths.empty())
    return;
  const std::string& path = files->paths.front();
  if (path.empty() || path.size() > kMaxDroppedPath) {
    sys::Warn("display", "a dropped path longer than %zu bytes is not opened", kMaxDroppedPath);
    return;
  }
  OpenFile(path);
}

void CKivo32Frame::OnDestroy() {
  const win::Hwnd self = Hwnd();
  // Floating views, and views in a host's window, come back into the frame
  // (a floating one storing its place) so that they go with it.
  for (Kivo32View* v : std::initializer_list<Kivo32View*>{word_.get(), title_.get(), num_.get()})
    if (v) {
      v->Dock();
      v->ReturnFromHost();
    }
  if (timing_)
    timing_->Stop();
  if (tamblo_)
    win::SendMessageTimeout(tamblo_, win::WM_USER, kLinkDisplay, 0, kSendTimeoutMs);
  win::KillTimer(self, kLinkTimer);
  if (engine_) {
    engine_->Stop();
    engine_->DefaultBackground().Destroy();
  }
  if (controller_)
    controller_->Close();
  if (mediaPick_.joinable())
    mediaPick_.join();
  mpeg_.Close();
  overlay_.Close();
  if (!configPath_.empty() && engine_) {
    std::optional<gdi::Rect> rect;
    if (!(ui::IsZoomed(self) && embedded_)) {
      // A minimised window comes back where it was before it was minimised.
      rect = ui::IsIconic(self) ? normalRect_ : ui::GetWindowRect(self).value_or(normalRect_);
      if (rect->IsEmpty())
        rect.reset();
    }
    WriteFrameState(configPath_, rect, backgroundMode_);
    if (backgroundMode_ == kModeOverlay)
      overlay_.WritePositions(configPath_);
  }
  for (MediaList* list : {imageList_.get(), videoList_.get(), mpegList_.get()})
    if (list)
      list->Free();
  if (quitOnDestroy_)
    win::PostQuitMessage(0);
}

void CKivo32Frame::ToggleLayoutEdit() {
  std::initializer_list<Kivo32View*> views{word_.get(), title_.get(), num_.get()};
  for (Kivo32View* v : views)
    ui::ShowWindow(v->Hwnd(), ui::SW_HIDE);
  layoutEdit_ = !layoutEdit_;
  for (Kivo32View* v : views) {
    if (layoutEdit_)
      v->PopOut();
    else
      v->Dock();
  }
  PlaceViews();
  for (Kivo32View* v : views)
    ui::ShowWindow(v->Hwnd(), ui::SW_SHOWNA);
  info_->PlaceFor(client_);
  if (backgroundMode_ == kModeInfo)
    Invalidate(Hwnd());
}

void CKivo32Frame::StartMediaPick(int32_t kind) {
  if (mediaPickRunning_.exchange(true))
    return;
  if (mediaPick_.joinable())
    mediaPick_.join();
  MediaList* list = kind == 0 ? imageList_.get() : videoList_.get();
  const win::Hwnd self = Hwnd();
  const uint32_t message = imageMessage_;
  // The thread only reads the list and posts what it found; the frame's
  // handlers take the result.
  mediaPick_ = std::thread([this, list, kind, self, message] {
    std::optional<std::string> pick = list->FolderPick();
    {
      std::lock_guard lock(pickMutex_);
      pickResult_ = pick;
    }
    if (kind == 0)
      win::PostMessage(self, message, 0, 1);
    else
      win::PostMessage(self, win::WM_COMMAND, cmd::kPlayVideo, 1);
  });
}

void CKivo32Frame::ReloadMediaLists(uint32_t kinds) {
  // A pick running on its thread reads the lists: it ends first.
  if (mediaPick_.joinable())
    mediaPick_.join();
  MediaList* lists[] = {imageList_.get(), videoList_.get(), mpegList_.get()};
  for (int kind = 0; kind < 3; ++kind)
    if (((kinds >> kind) & 1) && lists[kind])
      lists[kind]->RebuildAll(configPath_, ResourceModule());
}

std::optional<std::string> CKivo32Frame::TakePick() {
  std::lock_guard lock(pickMutex_);
  std::optional<std::string> pick = std::move(pickResult_);
  pickResult_.reset();
  return pick;
}

void CKivo32Frame::OnPlayVideo(LParam lParam) {
  std::optional<std::string> picked = TakePick();
  const bool fromPick = mediaPickRunning_.exchange(false);
  if (fromPick && picked)
    info_->VideoPath() = MediaFilePath(*picked);
  if (backgroundMode_ != kModeInfo)
    return;
  info_->ShowView();
  std::string path;
  if (!waitingVideo_.empty()) {
    path = std::move(waitingVideo_);
    waitingVideo_.clear();
  } else if (lParam == 0) {
    if (auto pick = videoList_->RandomPick())
      path = MediaFilePath(*pick);
  } else {
    path = info_->VideoPath();
  }
  if (!path.empty() && info_->OpenVideo(path))
    info_->PlayVideoCommand(true);
}

void CKivo32Frame::OnFolderPick() {
  if (backgroundMode_ != kModeStill || !backgroundFolder_ || waitingFolder_.empty() || !engine_)
    return;
  imageList_->SetCurrentFolder(*backgroundFolder_ + "/" + waitingFolder_);
  // The pick preloads; the next request shows it.
  if (auto pick = imageList_->FolderPick(); pick && BackgroundImageEngine::NamesFile(*pick)) {
    engine_->NextImagePath() = *pick;
    engine_->StartLoader(true);
  }
}

void CKivo32Frame::OnMpegCommand(uint32_t id) {
  if (backgroundMode_ != kModeMpeg || !mpeg_.IsOpen())
    return;
  auto store = [&](const std::string& file) {
    if (auto stored = sys::ToStoredPath(file))
      sys::IniWriteString(configPath_, "Mpeg", "File", *stored);
  };
  auto choose = [&]() -> std::optional<std::string> {
    return OpenFileDialog(Hwnd(), "MPEG (*.mpg,*.dat)|*.mpg;*.dat|All Files (*.*)|*.*||");
  };
  switch (id) {
  case cmd::kMpegPlay:
    if (!mpeg_.IsPlaying()) {
      std::optional<std::string> file;
      if (auto pick = mpegList_ ? mpegList_->RandomPick() : std::nullopt)
        file = MediaFilePath(*pick);
      bool remember = file.has_value();
      if (!file) {
        const std::string stored = sys::IniGetString(configPath_, "Mpeg", "File", "0");
        auto linuxPath = stored == "0" ? std::nullopt : SettingsPathToLinux(stored);
        if (linuxPath && FileExists(*linuxPath)) {
          file = linuxPath;
        } else {
          file = choose();
          remember = file.has_value();
        }
      }
      if (file && mpeg_.Load(*file) && mpeg_.Play() && remember)
        store(*file);
    } else {
      mpeg_.Stop();
    }
    break;
  case cmd::kMpegStop:
    if (mpeg_.IsPlaying())
      mpeg_.Stop();
    break;
  case cmd::kMpegBackward:
    mpeg_.Backward(10000);
    mpeg_.Resume();
    break;
  case cmd::kMpegForward:
    mpeg_.Forward(10000);
    mpeg_.Resume();
    break;
  case cmd::kMpegSlow:
    mpeg_.Slow(100);
    break;
  case cmd::kMpegPause:
    if (mpeg_.IsPaused())
      mpeg_.Play();
    else if (mpeg_.IsPlaying())
      mpeg_.Pause();
    break;
  case cmd::kMpegStart:
    mpeg_.SeekStart();
    mpeg_.Resume();
    break;
  case cmd::kMpegEnd:
    mpeg_.SeekEnd();
    mpeg_.Resume();
    break;
  case cmd::kMpegOpen:
    if (auto file = choose(); file && mpeg_.Load(*file))
      store(*file);
    break;
  default:
    break;
  }
  if (controller_)
    controller_->Update();
}

LResult CKivo32Frame::OnCommand(WParam wParam, LParam lParam) {
  const uint32_t id = ui::LowWord(wParam);
  const win::Hwnd self = Hwnd();
  switch (id) {
  case cmd::kInfoVideo:
    info_->PlayVideoCommand(true);
    return 0;
  case cmd::kMediaPick:
    StartMediaPick(lParam == 0 ? 0 : 1);
    return 0;
  case cmd::kDeviceSettings:
    if (backgroundMode_ == kModeMpeg)
      mpeg_.Configure();
    // Mode 1 with a card that needs it opens the overlay settings dialog.
    return 0;
  case cmd::kMpegPlay:
  case cmd::kMpegStop:
  case cmd::kMpegBackward:
  case cmd::kMpegForward:
  case cmd::kMpegSlow:
  case cmd::kMpegPause:
  case cmd::kMpegStart:
  case cmd::kMpegEnd:
  case cmd::kMpegOpen: {
    ui::CursorHandle previous = ui::SetCursor(ui::LoadCursor(ui::IDC_WAIT));
    OnMpegCommand(id);
    ui::SetCursor(previous);
    return 0;
  }
  case cmd::kController:
    controller_->Open(ui::GetCursorPos());
    return 0;
  case cmd::kLayoutEdit:
    ToggleLayoutEdit();
    return 0;
  case cmd::kLyricText:
    if (lParam == 0xFFFF || !info_->ShowsLyricPage()) {
      if (tamblo_)
        win::PostMessage(tamblo_, win::WM_USER, kLyricTextRequest, static_cast<LParam>(self));
    } else {
      info_->ClearLyricPage();
      Invalidate(info_->Hwnd());
    }
    return 0;
  case cmd::kLyricsShown:
    lyricsShown_ = !lyricsShown_;
    if (timing_ && timing_->Running())
      Invalidate(word_->Hwnd());
    return 0;
  case cmd::kOpenFile:
    if (auto path = OpenFileDialog(self, kOpenFilter))
      OpenFile(*path);
    return 0;
  case cmd::kPlayVideo:
    OnPlayVideo(lParam);
    return 0;
  case cmd::kCloseVideo:
    if (backgroundMode_ == kModeInfo)
      info_->CloseVideo();
    mediaPickRunning_ = false;
    return 0;
  case cmd::kFolderPick:
    OnFolderPick();
    return 0;
  default:
    return Default(win::WM_COMMAND, wParam, lParam);
  }
}

LResult CKivo32Frame::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_CREATE:
    if (Default(message, wParam, lParam) == -1)
      return -1;
    return OnCreate();
  case win::WM_PAINT:
    OnPaint();
    return 0;
  case win::WM_SIZE:
    OnSize(wParam, static_cast<int32_t>(ui::LowWord(static_cast<uintptr_t>(lParam))),
           static_cast<int32_t>(ui::HighWord(static_cast<uintptr_t>(lParam))));
    return 0;
  case win::WM_GETMINMAXINFO:
    if (auto* info = ui::AsMinMaxInfo(lParam))
      info->minTrackSize = gdi::Point{447, ui::ScreenRect().Height() / 4};
    return 0;
  case win::WM_QUERYNEWPALETTE:
    return engine_ && engine_->RealisePalette(Hwnd(), true) ? 1 : 0;
  case win::WM_PALETTECHANGED:
    // Another window's palette came first: the picture's colours again.
    if (engine_ && static_cast<win::Hwnd>(wParam) != Hwnd())
      engine_->RealisePalette(Hwnd(), false);
    return 0;
  case win::WM_COPYDATA:
    if (word_ && lParam)
      return word_->OnCopyData(wParam, *win::AsCopyData(lParam));
    return 0;
  case win::WM_USER:
    return word_ ? word_->OnUserMessage(wParam, lParam) : 0;
  case kRelayoutMessage:
    OnRelayout();
    return 0;
  case kNextImageMessage:
    OnNextImage(wParam, lParam);
    return 0;
  case kNextImageAsyncMessage:
    OnTakeOverImage(lParam);
    return 0;
  case kLoaderDoneMessage:
    OnLoaderDone();
    return 0;
  case kCloseMessage:
    if (timing_)
      timing_->Stop();
    win::DestroyWindow(Hwnd());
    return 0;
  case win::WM_LBUTTONDOWN:
    OnLeftButtonDown(wParam, ui::PointOfLParam(lParam));
    return 0;
  case win::WM_MOUSEMOVE:
    OnMouseMove(wParam, ui::PointOfLParam(lParam));
    return 0;
  case win::WM_LBUTTONUP:
    OnLeftButtonUp(wParam, ui::PointOfLParam(lParam));
    return 0;
  case win::WM_RBUTTONDOWN:
    if (sysMenu_)
      sysMenu_->OpenMenu(ui::GetCursorPos());
    return 0;
  case win::WM_RBUTTONDBLCLK:
    ToggleMaximise();
    return 0;
  case win::WM_WINDOWPOSCHANGED:
    if (mpeg_.IsOpen())
      mpeg_.Fit();
    return Default(message, wParam, lParam);
  case win::WM_MOVE:
    overlay_.Place(client_.Width(), client_.Height());
    if (info_ && info_->ShowsVideo())
      info_->PlaceFor(client_);
    RememberNormalRect();
    return 0;
  case win::WM_ERASEBKGND:
    if (backgroundMode_ == kModeStill)
      return 1;
    return Default(message, wParam, lParam);
  case win::WM_KEYDOWN:
    OnKeyDown(wParam, lParam);
    return 0;
  case win::WM_TIMER:
    OnTimer(wParam);
    return 0;
  case win::WM_SHOWWINDOW:
    if (wParam && word_) {
      SetSizingBorder(true);
      PlaceViews();
    }
    return Default(message, wParam, lParam);
  case win::WM_ACTIVATE:
    if (layoutEdit_ && ui::LowWord(wParam) != ui::WA_INACTIVE)
      for (Kivo32View* v :
           std::initializer_list<Kivo32View*>{word_.get(), title_.get(), num_.get()})
        BringToTop(v->Hwnd());
    return Default(message, wParam, lParam);
  case win::WM_SYSCOMMAND:
    return OnSysCommand(wParam, lParam);
  case win::WM_DROPFILES:
    OnDropFiles(wParam);
    return 0;
  case win::WM_DESTROY:
    Default(message, wParam, lParam);
    OnDestroy();
    return 0;
  case win::WM_COMMAND:
    return OnCommand(wParam, lParam);
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace display
