#include "display/controller.h"

#include "display/frame.h"
#include "display/resources.h"
#include "display/utils.h"
#include "platform/gdi/dib.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/window.h"

#include <optional>

namespace display {

const std::array<BarButton, kBarButtons> kBarButtonTable = {{
    {barcmd::kClose, {3, 3, 43, 21}, 20010, "Off", 56},
    {barcmd::kStill, {3, 27, 28, 45}, 20020, "Pic", 57},
    {barcmd::kSettings, {56, 27, 82, 45}, 20130, "Cfg", 58},
    {barcmd::kOverlay, {3, 48, 28, 66}, 20030, "Ovl", 59},
    {barcmd::kMpeg, {30, 48, 55, 66}, 20040, "Mpeg", 60},
    {barcmd::kAvi, {57, 48, 82, 66}, 20050, "Avi", 61},
    {cmd::kMpegPlay, {3, 72, 51, 90}, 20060, "Play", 62},
    {cmd::kMpegSlow, {57, 72, 80, 90}, 20070, "SPlay", 63},
    {cmd::kMpegBackward, {3, 93, 26, 111}, 20080, "Rew", 64},
    {cmd::kMpegForward, {28, 93, 51, 111}, 20090, "Fwd", 65},
    {cmd::kMpegPause, {57, 93, 80, 111}, 20100, "Pause", 66},
    {cmd::kMpegStart, {3, 114, 26, 132}, 20110, "Begin", 67},
    {cmd::kMpegEnd, {28, 114, 51, 132}, 20120, "End", 68},
}};

const BarButton kStopButton = {cmd::kMpegPlay, {3, 72, 51, 90}, 20140, "Stop", 69};

namespace {

// The transport: enabled in mode 2 only.
constexpr uint32_t kTransport[] = {cmd::kMpegPlay,    cmd::kMpegSlow,  cmd::kMpegBackward,
                                   cmd::kMpegForward, cmd::kMpegPause, cmd::kMpegStart,
                                   cmd::kMpegEnd};

std::optional<gdi::Dib> Bitmap(uint32_t id) {
  if (auto bytes = MapBitmapColours(id))
    return gdi::Dib::FromBmpFile(*bytes);
  return std::nullopt;
}

void DrawBitmap(gdi::Dc& dc, uint32_t id, gdi::Point at, gdi::Size size) {
  if (auto dib = Bitmap(id))
    dc.StretchDib(at.x, at.y, size.cx, size.cy, 0, 0, dib->Width(), dib->Height(), dib->View(),
                  gdi::kSrcCopy);
}

bool RegisterBarClass() {
  static const bool registered = [] {
    return ui::RegisterScreenClass({kControllerClass, ui::CS_OWNDC | ui::CS_DBLCLKS,
                                    [] { return std::make_unique<ui::ScreenWindow>(); }, nullptr,
                                    std::nullopt});
  }();
  return registered || win::IsClassRegistered(kControllerClass);
}

} // namespace

// ---- ToolTipButton ----

ToolTipButton* ToolTipButton::Make(const BarButton& b, win::Hwnd bar, win::Hwnd toolTip) {
  auto* button = new ToolTipButton;
  button->toolTip_ = toolTip;
  // A window made and destroyed again takes its object with it.
  bool gone = false;
  button->gone_ = &gone;
  const bool created = button->Create(b.text, win::WS_VISIBLE, b.rect, bar, b.id);
  if (gone)
    return nullptr;
  button->gone_ = nullptr;
  if (!created) {
    delete button;
    return nullptr;
  }
  return button;
}

void ToolTipButton::Detached() {
  if (gone_)
    *gone_ = true;
  delete this;
}

win::LResult ToolTipButton::OnMessage(uint32_t message, win::WParam wParam, win::LParam lParam) {
  const win::Hwnd self = GetHwnd();
  if (toolTip_ && (message == win::WM_MOUSEMOVE || message == win::WM_LBUTTONDOWN ||
                   message == win::WM_LBUTTONUP)) {
    win::Msg msg{self, message, wParam, lParam, 0};
    win::SendMessage(toolTip_, ui::TTM_RELAYEVENT, 0, reinterpret_cast<win::LParam>(&msg));
  }
  if (message == win::WM_KEYDOWN && wParam == ui::VK_ESCAPE) {
    win::SendMessage(win::GetParent(self), win::WM_COMMAND, barcmd::kClose, 0);
    return 0;
  }
  return BitmapButton::OnMessage(message, wParam, lParam);
}

// ---- CMenuBarWnd ----

CMenuBarWnd::CMenuBarWnd(CKivo32Frame& frame) : frame_(frame) {
  RegisterBarClass();
}

CMenuBarWnd* CMenuBarWnd::Open(CKivo32Frame& frame, gdi::Point at) {
  auto* bar = new CMenuBarWnd(frame);
  win::CreateParams p;
  p.className = kControllerClass;
  p.title = kControllerTitle;
  p.style = win::WS_POPUP;
  p.parent = frame.Hwnd();
  p.x = at.x;
  p.y = at.y;
  p.width = kControllerWidth;
  p.height = kControllerHeight;
  p.object = bar;
  // A window made and destroyed again takes its object with it.
  bool gone = false;
  bar->gone_ = &gone;
  const win::Hwnd hwnd = win::CreateWindow(p);
  if (gone)
    return nullptr;
  bar->gone_ = nullptr;
  if (!hwnd) {
    delete bar;
    return nullptr;
  }
  ui::MoveWindow(hwnd, at.x, at.y, kControllerWidth, kControllerHeight, true);
  ui::ShowWindow(hwnd, ui::SW_SHOW);
  return win::GetWindowObject(hwnd) == bar ? bar : nullptr;
}

void CMenuBarWnd::Detached() {
  if (gone_)
    *gone_ = true;
  delete this;
}

ToolTipButton* CMenuBarWnd::Button(uint32_t id) const {
  for (ToolTipButton* b : buttons_)
    if (b && b->GetHwnd() && b->Id() == id)
      return b;
  return nullptr;
}

bool CMenuBarWnd::MakeButton(const BarButton& b, size_t slot) {
  ToolTipButton* button = ToolTipButton::Make(b, GetHwnd(), tips_ ? tips_->GetHwnd() : 0);
  buttons_[slot] = button;
  if (!button)
    return false;
  button->SetBitmaps(Bitmap(b.firstBitmap), Bitmap(b.firstBitmap + 1), Bitmap(b.firstBitmap + 2));
  if (tips_) {
    ui::ToolInfo tool;
    tool.window = button->GetHwnd();
    tool.flags = ui::TTF_IDISHWND | ui::TTF_CENTERTIP;
    tool.text = LoadString(b.tip);
    tips_->AddTool(tool);
  }
  return true;
}

bool CMenuBarWnd::MakeButtons() {
  bool all = true;
  for (size_t i = 0; i < kBarButtonTable.size(); ++i)
    all = MakeButton(kBarButtonTable[i], i) && all;
  return all;
}

void CMenuBarWnd::SetDeviceButtons() {
  if (ToolTipButton* b = Button(barcmd::kOverlay))
    b->Enable(frame_.Overlay().IsOpen());
  if (ToolTipButton* b = Button(barcmd::kMpeg))
    b->Enable(frame_.Mpeg().IsOpen());
  if (ToolTipButton* b = Button(barcmd::kAvi))
    b->Enable(frame_.PlacedByMode2());
}

void CMenuBarWnd::SetTransport(int32_t mode) {
  for (uint32_t id : kTransport)
    if (ToolTipButton* b = Button(id))
      b->Enable(mode == kModeMpeg);
  // The settings of the current mode's device: the overlay card's dialog or
  // the MPEG device's own.
  if (ToolTipButton* b = Button(barcmd::kSettings))
    b->Enable(mode == kModeOverlay || mode == kModeMpeg);
}

void CMenuBarWnd::FollowFrame() {
  const int32_t mode = frame_.BackgroundMode();
  SetDeviceButtons();
  if (mode != kModeMpeg && showsStop_)
    ShowStop(false);
  SetTransport(mode);
  if (GetHwnd())
    ui::InvalidateRect(GetHwnd(), nullptr, true);
}

void CMenuBarWnd::ShowStop(bool stop) {
  if (stop == showsStop_ || !GetHwnd())
    return;
  size_t slot = 0;
  while (slot < buttons_.size() && kBarButtonTable[slot].id != cmd::kMpegPlay)
    ++slot;
  if (slot == buttons_.size())
    return;
  if (ToolTipButton* old = buttons_[slot]) {
    const win::Hwnd oldHwnd = old->GetHwnd();
    buttons_[slot] = nullptr;
    if (tips_)
      tips_->RemoveTool(oldHwnd, oldHwnd);
    win::DestroyWindow(oldHwnd);
  }
  showsStop_ = stop;
  if (MakeButton(stop ? kStopButton : kBarButtonTable[slot], slot))
    buttons_[slot]->Enable(frame_.BackgroundMode() == kModeMpeg);
}

void CMenuBarWnd::OnPaint() {
  ui::Paint paint(GetHwnd());
  if (!paint.IsValid())
    return;
  gdi::Dc& dc = paint.Dc();
  const gdi::Rect client = ui::GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  dc.FillRect(client, kColour3dFace);
  DrawBitmap(dc, frame_.FixedFrame() ? 173 : 161, kStripAt, kStripSize);
  // The indicator shows the mode the frame is in now, whichever request
  // came last and whether or not the frame took it.
  const int32_t mode = frame_.BackgroundMode();
  if (mode >= kModeStill && mode <= kModeInfo)
    DrawBitmap(dc, 162 + static_cast<uint32_t>(mode), kIndicatorAt, kIndicatorSize);
  indicatorShown_ = mode;
}

void CMenuBarWnd::OnCommand(win::WParam wParam, win::LParam lParam) {
  const win::Hwnd frame = frame_.Hwnd();
  const uint32_t id = ui::LowWord(wParam);
  switch (id) {
  case barcmd::kClose:
    win::DestroyWindow(GetHwnd());
    return;
  case barcmd::kStill:
  case barcmd::kOverlay:
  case barcmd::kMpeg:
  case barcmd::kAvi: {
    // The indicator and the buttons follow once the frame has handled the
    // request (FollowFrame): a refused or changed request shows as such.
    const win::WParam code = id == barcmd::kStill     ? kVideoOffRequest
                             : id == barcmd::kOverlay ? kOverlayVideoRequest
                             : id == barcmd::kMpeg    ? kMpegVideoRequest
                                                      : kAviVideoRequest;
    win::PostMessage(frame, win::WM_USER, code, 0);
    return;
  }
  case barcmd::kSettings:
    win::PostMessage(frame, win::WM_COMMAND, cmd::kDeviceSettings, 0);
    return;
  default:
    win::PostMessage(frame, win::WM_COMMAND, wParam, lParam);
    return;
  }
}

win::LResult CMenuBarWnd::OnMessage(uint32_t message, win::WParam wParam, win::LParam lParam) {
  const win::Hwnd self = GetHwnd();
  switch (message) {
  case win::WM_CREATE: {
    tips_ = std::make_unique<ui::ToolTip>();
    if (!tips_->Create(self))
      tips_.reset();
    else
      tips_->SetInitialDelay(ui::GetDoubleClickTime());
    return MakeButtons() ? 0 : -1;
  }
  case win::WM_SHOWWINDOW:
    if (wParam) {
      SetDeviceButtons();
      SetTransport(frame_.BackgroundMode());
    }
    return Default(message, wParam, lParam);
  case win::WM_ERASEBKGND:
    return 1;
  case win::WM_PAINT:
    OnPaint();
    return 0;
  case win::WM_LBUTTONDOWN:
    // Dragged by its client area, as by a caption.
    win::PostMessage(self, win::WM_SYSCOMMAND, ui::SC_MOVE | ui::HTCAPTION, lParam);
    return 0;
  case win::WM_KEYDOWN:
    if (wParam == ui::VK_ESCAPE) {
      win::SendMessage(self, win::WM_COMMAND, barcmd::kClose, 0);
      return 0;
    }
    return Default(message, wParam, lParam);
  case win::WM_COMMAND:
    OnCommand(wParam, lParam);
    return 0;
  case win::WM_DESTROY:
    if (tips_ && tips_->GetHwnd())
      win::DestroyWindow(tips_->GetHwnd());
    buttons_.fill(nullptr);
    return Default(message, wParam, lParam);
  default:
    return Default(message, wParam, lParam);
  }
}

// ---- LyricWindowController ----

LyricWindowController::~LyricWindowController() {
  Close();
}

bool LyricWindowController::Open(gdi::Point screenPoint) {
  Close();
  CMenuBarWnd* bar = CMenuBarWnd::Open(frame_, screenPoint);
  if (!bar)
    return false;
  bar_ = bar->GetHwnd();
  Update();
  return true;
}

void LyricWindowController::Close() {
  if (bar_ && win::IsWindow(bar_))
    win::DestroyWindow(bar_);
  bar_ = 0;
}

CMenuBarWnd* LyricWindowController::Bar() const {
  if (!bar_ || !win::IsWindow(bar_))
    return nullptr;
  return dynamic_cast<CMenuBarWnd*>(win::GetWindowObject(bar_));
}

bool LyricWindowController::IsOpen() const {
  return Bar() != nullptr;
}

void LyricWindowController::Update() {
  CMenuBarWnd* bar = Bar();
  if (!bar || frame_.BackgroundMode() != kModeMpeg)
    return;
  bar->ShowStop(frame_.Mpeg().IsOpen() && frame_.Mpeg().IsPlaying());
}

void LyricWindowController::ModeChanged() {
  if (CMenuBarWnd* bar = Bar())
    bar->FollowFrame();
}

} // namespace display
