// The info view: its pages (title pages, the score page, the lyric-text
// page) drawn by the title parser over what lies behind, its placement for
// what it shows, and the clips of background mode 3.
#include "display/info.h"
#include "display/frame.h"
#include "display/settings.h"
#include "display/word.h"

#include "htmltitle/marquell.h"
#include "platform/media/mci.h"
#include "platform/sys/ini.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace display {

namespace {

InfoVideoFactory& VideoFactory() {
  static InfoVideoFactory factory;
  return factory;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

void SetInfoVideoFactory(InfoVideoFactory factory) { VideoFactory() = std::move(factory); }

std::string ConvertLyricText(std::string_view text, int32_t linesPerParagraph) {
  const int32_t perParagraph = std::max(linesPerParagraph, 1);
  size_t at = 0;
  while (at < 2 && at < text.size() && (text[at] == '\r' || text[at] == '\n'))
    ++at;
  std::string out;
  out.reserve(text.size() + text.size() / 2 * 3);
  int32_t counted = 0;
  bool lineStart = true, held = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\n')
      continue;
    if (c == '\r') {
      if (counted == perParagraph - 1) {
        out += "<P>";
        counted = 0;
      } else if (held) {
        out += " / ";
        ++counted;
      }
      lineStart = true;
      held = false;
      continue;
    }
    if (lineStart && IsBlank(c))
      continue;
    lineStart = false;
    held = true;
    out += c;
  }
  return out;
}

std::string LyricTemplatePath(const std::string& configPath, const std::string& programFolder) {
  const std::string value = sys::IniGetString(configPath, "Words", "File", "");
  if (!value.empty() && value.size() <= 260)
    if (auto path = SettingsPathToLinux(value))
      return *path;
  // Settings live apart from the program here: a folder without its own
  // template uses the program's.
  const std::string own =
      (std::filesystem::path(configPath).parent_path() / "Lyric.htm").string();
  std::error_code ec;
  if (!programFolder.empty() && !std::filesystem::exists(own, ec))
    return programFolder + "/Lyric.htm";
  return own;
}

std::optional<std::string> BuildLyricPage(const std::string& templatePath, std::string_view text,
                                          int32_t linesPerParagraph) {
  std::ifstream in(templatePath, std::ios::binary);
  if (!in)
    return std::nullopt;
  std::string page(kMaxPageTemplate, '\0');
  in.read(page.data(), static_cast<std::streamsize>(page.size()));
  if (in.bad())
    return std::nullopt;
  page.resize(static_cast<size_t>(in.gcount()));
  page.resize(std::min(page.size(), page.find('\0')));
  page += ConvertLyricText(text, linesPerParagraph);
  return page;
}

std::optional<gdi::Rect> InfoRect(InfoContent content, const InfoGeometry& g) {
  const gdi::Rect whole{0, 0, g.width, g.height};
  const int32_t below = g.titleTop + g.titleHeight + 2;
  const bool own = !g.mode2 && !g.layoutEdit;
  auto textPage = [&] {
    const int32_t gap = g.lyricTop - g.titleTop - g.titleHeight;
    if (gap <= g.lyricHeight / 2)
      return gdi::Rect{};
    return gdi::MakeRect(0, below, g.width, gap - 4);
  };
  switch (content) {
  case InfoContent::TitlePage:
    if (g.mode2 && g.backgroundMode == kModeInfo)
      return std::nullopt;
    if (own)
      return gdi::MakeRect(g.border + 2, below, g.width - 2 * (g.border + 1),
                           g.height - 2 * (g.border + 1) - below);
    return whole;
  case InfoContent::TextPage:
    if (g.mode2 && g.backgroundMode == kModeInfo)
      return std::nullopt;
    return own ? textPage() : whole;
  case InfoContent::Video:
    return own ? textPage() : whole;
  }
  return whole;
}

// ---- CKivo32Info ----

CKivo32Info::CKivo32Info(CKivo32Frame& frame) : Kivo32View(frame) {
  if (VideoFactory())
    video_ = VideoFactory()();
}

CKivo32Info::~CKivo32Info() = default;

void CKivo32Info::SetVideo(std::unique_ptr<InfoVideo> video) {
  if (video_)
    video_->Close();
  video_ = std::move(video);
  if (video_) {
    video_->SetFullScreen(fullScreen_);
    video_->SetPlayOnce(playOnce_);
  }
}

bool CKivo32Info::ShowTitlePage() {
  if (frame_.Timing() && frame_.Timing()->Running())
    return false;
  EndPage();
  content_ = (content_ & kVideo) | kTitlePage;
  PlaceFor(frame_.Client());
  win::SetTimer(frame_.Hwnd(), kPageTimer, kPagePeriodMs);
  ShowView();
  return true;
}

void CKivo32Info::ShowLyricPage() {
  if (!ShowsVideo())
    EndPage();
  content_ = (content_ & kVideo) | kLyricPage;
  PlaceFor(frame_.Client());
}

bool CKivo32Info::ShowLyricText(std::string_view text) {
  const std::string path = LyricTemplatePath(frame_.ConfigPath(), frame_.ProgramFolder());
  const int32_t lines = sys::IniGetInt(frame_.ConfigPath(), "Words", "LineNum", 2);
  std::optional<std::string> page = BuildLyricPage(path, text, lines);
  if (!page)
    return false;
  ShowLyricPage();
  frame_.StorePage(*page);
  if (!frame_.ParsePage()) {
    ClearLyricPage();
    return false;
  }
  ShowView();
  return true;
}

void CKivo32Info::EndPage() {
  win::KillTimer(frame_.Hwnd(), kPageTimer);
  // The page goes; a clip playing stays, with the view around it.
  frame_.DropPage();
  if (ShowsVideo()) {
    if (content_ != kVideo && GetHwnd())
      ui::InvalidateRect(GetHwnd(), nullptr, true);
    content_ = kVideo;
    return;
  }
  content_ = 0;
  if (GetHwnd())
    ui::ShowWindow(GetHwnd(), ui::SW_HIDE);
}

void CKivo32Info::ClearLyricPage() {
  if (!ShowsLyricPage())
    return;
  content_ &= ~kLyricPage;
  frame_.DropPage();
  if (!content_)
    EndPage();
  else if (GetHwnd())
    ui::InvalidateRect(GetHwnd(), nullptr, true);
}

void CKivo32Info::Refresh() {
  if (GetHwnd() && (content_ & (kTitlePage | kLyricPage)))
    ui::InvalidateRect(GetHwnd(), nullptr, true);
}

InfoGeometry CKivo32Info::Geometry(const gdi::Rect& frameClient) const {
  InfoGeometry g;
  g.border = kFrameBorder;
  g.width = frameClient.Width();
  g.height = frameClient.Height();
  if (frame_.Title()) {
    const gdi::Rect t = frame_.Title()->RectInFrame();
    g.titleTop = t.top;
    g.titleHeight = t.Height();
  }
  if (frame_.Word()) {
    const gdi::Rect w = frame_.Word()->RectInFrame();
    g.lyricTop = w.top;
    g.lyricHeight = w.Height();
  }
  g.mode2 = frame_.PlacedByMode2();
  g.backgroundMode = frame_.BackgroundMode();
  g.layoutEdit = frame_.LayoutEdit();
  return g;
}

void CKivo32Info::PlaceFor(const gdi::Rect& frameClient) {
  const InfoGeometry g = Geometry(frameClient);
  std::optional<gdi::Rect> rect;
  if (ShowsVideo())
    rect = InfoRect(InfoContent::Video, g);
  else if (ShowsLyricPage())
    rect = InfoRect(InfoContent::TextPage, g);
  else
    rect = InfoRect(InfoContent::TitlePage, g);
  if (rect)
    Place(*rect);
  PlaceVideo();
}

void CKivo32Info::ShowView() {
  if (!GetHwnd())
    return;
  ui::SetWindowPos(GetHwnd(), ui::HWND_TOP, 0, 0, 0, 0,
                   ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOACTIVATE);
  ui::ShowWindow(GetHwnd(), ui::SW_SHOWNA);
  ui::InvalidateRect(GetHwnd(), nullptr, true);
}

void CKivo32Info::ReadVideoSettings() {
  fullScreen_ = sys::IniGetInt(frame_.ConfigPath(), "Avi/Flc", "FullScreen", 0) != 0;
  playOnce_ = sys::IniGetInt(frame_.ConfigPath(), "Avi/Flc", "AutoChange", 1) != 0;
  if (video_) {
    video_->SetFullScreen(fullScreen_);
    video_->SetPlayOnce(playOnce_);
  }
}

bool CKivo32Info::OpenVideo(const std::string& path) {
  // The clip before goes; the view stays up for the next one.
  if (video_)
    video_->Close();
  videoPath_ = path;
  if (video_ && GetHwnd() && video_->Open(GetHwnd(), path)) {
    content_ |= kVideo;
    PlaceVideo();
    return true;
  }
  // Nothing to show: the view goes as a closed clip's does.
  if (content_ & kVideo) {
    content_ &= ~kVideo;
    EndPage();
  }
  return false;
}

void CKivo32Info::PlayOrStop(bool allow) {
  if (video_ && video_->IsOpen())
    video_->PlayOrStop(GetHwnd(), allow);
}

void CKivo32Info::PlayVideoCommand(bool allow) {
  if (!fullScreen_ && !lastVideoRect_.IsEmpty())
    ui::InvalidateRect(frame_.Hwnd(), &lastVideoRect_, true);
  PlayOrStop(allow);
  if (video_ && GetHwnd()) {
    const gdi::Rect r = video_->VideoRect();
    const gdi::Point at = ui::ScreenToClient(frame_.Hwnd(), ui::ClientToScreen(GetHwnd(), {0, 0}));
    lastVideoRect_ = gdi::Offset(r, at.x, at.y);
  }
}

void CKivo32Info::CloseVideo() {
  if (video_)
    video_->Close();
  if (content_ & kVideo) {
    content_ &= ~kVideo;
    EndPage();
  }
}

void CKivo32Info::RealisePalette() {
  if (video_ && video_->IsOpen())
    video_->RealisePalette();
}

void CKivo32Info::RereadFullScreen() {
  const bool was = fullScreen_;
  ReadVideoSettings();
  if (fullScreen_ == was)
    return;
  PlaceVideo();
  if (GetHwnd())
    ui::InvalidateRect(GetHwnd(), nullptr, true);
}

void CKivo32Info::PlaceVideo() {
  if (!video_)
    return;
  // Without a clip showing, its window is parked.
  video_->Place(ShowsVideo() && video_->IsOpen() ? GetHwnd() : 0);
}

void CKivo32Info::ShowVideoArea() {
  EndPage();
  content_ |= kVideo;
  PlaceFor(frame_.Client());
  ShowView();
}

LResult CKivo32Info::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_CREATE:
    ReadVideoSettings();
    break;
  case win::WM_PAINT: {
    ui::Paint p(GetHwnd());
    if (!p.IsValid())
      return 0;
    frame_.PaintBehind(GetHwnd(), p.Dc(), p.Area());
    if (content_ & (kTitlePage | kLyricPage)) {
      const gdi::Rect client = ClientRect();
      p.Dc().SetTextColor(gdi::Rgb(255, 255, 255));
      DrawHTML(&p.Dc(), client.Width(), client.Height());
    }
    return 0;
  }
  case win::WM_QUERYNEWPALETTE:
  case win::WM_PALETTECHANGED:
    RealisePalette();
    return 0;
  case win::MM_MCINOTIFY:
    // A clip that played to its end asks for the next.
    if (wParam == media::mci::kNotifySuccessful && (!video_ || video_->OwnsNotice(lParam)))
      win::PostMessage(frame_.Hwnd(), win::WM_COMMAND, cmd::kPlayVideo, 0);
    return 0;
  default:
    break;
  }
  return Kivo32View::OnMessage(message, wParam, lParam);
}

} // namespace display
