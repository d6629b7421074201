#include "games/game_frame.h"

#include "games/host_link.h"
#include "games/presence.h"
#include "games/shell_dialogs.h"
#include "platform/sys/codepage.h"
#include "platform/sys/log.h"
#include "platform/ui/window/metrics.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

namespace games {
namespace {

// The frame title is kept in a 20-byte buffer.
constexpr size_t kTitleBytes = 19;

constexpr uint32_t kFrameStyle = ui::WS_MINIMIZE | ui::WS_SYSMENU | ui::WS_MINIMIZEBOX;

} // namespace

gdi::Size GameFrame::OuterSize() const {
  const int width = game_.traits.clientWidth + 2 * ui::GetSystemMetrics(ui::SM_CXFRAME);
  const int height = game_.traits.clientHeight + 2 * ui::GetSystemMetrics(BorderMetric()) +
                     ui::GetSystemMetrics(ui::SM_CYMENU) + ui::GetSystemMetrics(ui::SM_CYCAPTION);
  return {width, height};
}

bool GameFrame::Create() {
  const gdi::Size size = OuterSize();
  const gdi::Rect screen = ui::ScreenRect();
  const int x = screen.left + (screen.Width() - size.cx) / 2;
  const int y = screen.top + (screen.Height() - size.cy) / 2;
  const ui::FrameResources resources{game_.bundle.Files(),
                                     [b = game_.bundle](uint32_t id) { return b.String(id); }};
  // An overlapped window keeps its caption whatever its style says.
  const uint32_t style = kFrameStyle | ui::WS_CAPTION;
  ui::ResourceError error;
  keepObject_ = true;
  if (!LoadFrame(resources, kFrameResource, style, 0, &error,
                 gdi::MakeRect(x, y, size.cx, size.cy))) {
    sys::Warn("games", "the frame could not be made: %s", error.reason.c_str());
    if (GetHwnd())
      win::DestroyWindow(GetHwnd());
    keepObject_ = false;
    return false;
  }
  keepObject_ = false;
  const std::string title = game_.bundle.StringBytes(game_.traits.captionString);
  ui::SetWindowText(GetHwnd(), sys::ToUtf8(sys::CutBytes(title, kTitleBytes)));
  return true;
}

void GameFrame::HostLost() {
  game_.Box(game_.traits.hostLostString, ui::MB_OK | ui::MB_ICONERROR, GetHwnd());
  win::PostMessage(GetHwnd(), win::WM_CLOSE, 0, 0);
}

bool GameFrame::OnCommand(uint16_t id) {
  if (id == game_.traits.helpCommand) {
    RunHelpDialog(game_, GetHwnd());
    return true;
  }
  if (id == game_.traits.newGameCommand) {
    OnNewGame();
    return true;
  }
  switch (id) {
  case kCutLineCommand:
    RunCutLineDialog(game_, GetHwnd());
    return true;
  case kAboutCommand:
    RunAboutBox(game_, GetHwnd());
    return true;
  case ui::ID_APP_EXIT:
    win::PostMessage(GetHwnd(), win::WM_CLOSE, 0, 0);
    return true;
  default:
    return false;
  }
}

ui::LResult GameFrame::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_CREATE: {
    const ui::LResult r = FrameWnd::OnMessage(message, wParam, lParam);
    if (r == -1)
      return r;
    if (&game_.traits == &kDurm12 && ui::ScreenBitsPerPixel() <= 8)
      game_.Box(kFewColoursString, ui::MB_OK | ui::MB_ICONEXCLAMATION, GetHwnd());
    CreatePresenceWindow();
    OnCreated();
    return r;
  }
  case win::WM_DESTROY:
    if (const win::Hwnd host = FindHost()) {
      win::PostMessage(host, win::WM_USER, GameUnregister, static_cast<ui::LParam>(GetHwnd()));
      win::PostMessage(host, win::WM_USER, GameClose, 0);
    }
    if (MainWindow() == GetHwnd())
      win::PostQuitMessage(0);
    return FrameWnd::OnMessage(message, wParam, lParam);
  case win::WM_COPYDATA:
    if (TakeSongRecordCopy(wParam, win::AsCopyData(lParam), game_.traits.recordKind, record_)) {
      ++recordsTaken_;
      OnSongRecord(record_);
    }
    return 0;
  case win::WM_USER:
    switch (wParam) {
    case PlayStopped:
      ui::ShowWindow(GetHwnd(), ui::SW_RESTORE);
      ui::UpdateWindow(GetHwnd());
      PostToHost(GameRegister, static_cast<ui::LParam>(GetHwnd()));
      OnPlayStopped();
      return 0;
    case GameClose:
      if (const win::Hwnd main = MainWindow())
        win::PostMessage(main, win::WM_CLOSE, 0, 0);
      return 0;
    case SingScore:
      lastScore_ = static_cast<int32_t>(lParam);
      OnSingScore(lastScore_);
      return 0;
    case SongListComplete:
      OnSongListComplete();
      return 0;
    default:
      break;
    }
    return FrameWnd::OnMessage(message, wParam, lParam);
  default:
    return FrameWnd::OnMessage(message, wParam, lParam);
  }
}

} // namespace games
