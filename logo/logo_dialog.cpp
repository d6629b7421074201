#include "logo/logo_dialog.h"

#include "platform/sys/codepage.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"

#include <algorithm>
#include <charconv>

namespace logo {
namespace {

ImagingCalls defaultImaging;
ImagingCalls* imaging = &defaultImaging;

constexpr uint16_t kIdOk = 1;

// "face:height": the face before the last ':' and the height after it;
// without ':' the whole text is the face, at height 12.
gdi::LogFont AboutFontOf(std::string_view spec, int codePage) {
  gdi::LogFont f;
  f.height = 12;
  f.weight = 400;
  f.outPrecision = 7;
  f.quality = 3;
  std::string_view face = spec;
  if (const size_t colon = spec.rfind(':'); colon != std::string_view::npos) {
    face = spec.substr(0, colon);
    const std::string_view number = spec.substr(colon + 1);
    int height = 0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), height);
    (void)end;
    f.height = error == std::errc() ? std::clamp(height, 1, 200) : 12;
  }
  f.SetFaceName(face, codePage);
  return f;
}

} // namespace

std::optional<gdi::imaging::FileInfo> ImagingCalls::FileInfo(const std::string& path) {
  return gdi::imaging::GetFileInfo(path);
}

std::optional<gdi::Dib> ImagingCalls::Load(const std::string& path, int bits, bool fileDepth) {
  // The stand-in loads at the file's depth, at 8 bits (up to 256 colours)
  // or at 4.
  return gdi::imaging::LoadBitmap(path, fileDepth ? 0 : (bits <= 4 ? 4 : 8));
}

std::optional<gdi::Dib> ImagingCalls::ReduceTo4(const gdi::Dib& dib) {
  return gdi::imaging::ReduceColours(dib, 4);
}

void SetImagingCalls(ImagingCalls* calls) {
  imaging = calls ? calls : &defaultImaging;
}

LoadPlan PlanLoad(int screenBits, int fileBits) {
  if (screenBits > 8)
    screenBits = 24;
  if (screenBits >= fileBits || screenBits > 8)
    return {fileBits, true, false};
  if (screenBits >= 5)
    return {screenBits, false, false};
  return {fileBits, true, true};
}

CLogoDialog::CLogoDialog(DialogSetup setup) : setup_(std::move(setup)) {}

CLogoDialog::~CLogoDialog() {
  if (setup_.onGone)
    setup_.onGone();
}

bool CLogoDialog::Create(const std::string& caption) {
  static const bool registered = [] {
    ui::ScreenClass c;
    c.name = kDialogClass;
    c.factory = [] { return std::unique_ptr<ui::ScreenWindow>(); };
    return ui::RegisterScreenClass(c);
  }();
  (void)registered;
  win::CreateParams p;
  p.className = kDialogClass;
  p.title = caption;
  p.style = win::WS_POPUP;
  p.width = 1;
  p.height = 1;
  p.object = this;
  if (!win::CreateWindow(p))
    return false;
  ui::ShowWindow(GetHwnd(), ui::SW_SHOW);
  return true;
}

gdi::Rect CLogoDialog::ImageRect() const {
  if (!image_)
    return {};
  if (setup_.custom && setup_.blackness)
    return gdi::MakeRect(blackAt_.x, blackAt_.y, image_->Width(), image_->Height());
  return gdi::MakeRect(0, 0, image_->Width(), image_->Height());
}

bool CLogoDialog::LoadImage() {
  image_.reset();
  palette_.reset();
  const auto info = imaging->FileInfo(setup_.imagePath);
  if (!info)
    return false;
  auto dc = ui::GetDc(GetHwnd());
  if (!dc)
    return false;
  const int screenBits =
      dc->DeviceCaps(gdi::DeviceCap::BitsPixel) * dc->DeviceCaps(gdi::DeviceCap::Planes);
  const LoadPlan plan = PlanLoad(screenBits, info->bitsPerPixel);
  auto dib = imaging->Load(setup_.imagePath, plan.bits, plan.fileDepth);
  if (!dib)
    return false;
  if (plan.reduceTo4) {
    dib = imaging->ReduceTo4(*dib);
    if (!dib)
      return false;
  }
  image_ = std::move(dib);
  palette_ = gdi::imaging::PaletteFromBitmap(*image_);
  return true;
}

void CLogoDialog::OnShown() {
  if (!LoadImage())
    return (void)(setup_.mode == Mode::Logo && StartCloseTimer());
  const gdi::Rect screen = ui::ScreenRect();
  const int32_t sw = screen.Width(), sh = screen.Height();
  const int32_t w = image_->Width(), h = image_->Height();
  if (setup_.custom && setup_.blackness) {
    blackAt_ = {(sw - w) / 2 - 1, (sh - h) / 2 - 1};
    ui::MoveWindow(GetHwnd(), screen.left, screen.top, sw, sh, true);
  } else {
    ui::MoveWindow(GetHwnd(), screen.left + (sw - w) / 2, screen.top + (sh - h) / 2, w, h, true);
  }
  ui::InvalidateRect(GetHwnd(), nullptr, false);
  if (setup_.mode == Mode::About) {
    font_ = gdi::Font::Create(AboutFontOf(setup_.fontSpec, setup_.codePage), setup_.codePage);
    setup_.intervalMs = kScrollMs;
    textNumber_ = kFirstAboutText;
    FillBuffer();
  }
  StartCloseTimer();
}

bool CLogoDialog::StartCloseTimer() {
  timing_ = win::SetTimer(GetHwnd(), kCloseTimer, setup_.intervalMs) != 0;
  return timing_;
}

void CLogoDialog::FillBuffer() {
  const std::string& text = setup_.texts[textNumber_ - kFirstAboutText];
  buffer_.assign(kLeadSpaces, ' ');
  buffer_ += sys::CutBytes(text, kMaxAboutText, setup_.codePage);
  scroll_ = 0;
}

void CLogoDialog::OnPaint() {
  ui::Paint paint(GetHwnd());
  if (!paint.IsValid() || !image_)
    return;
  gdi::Dc& dc = paint.Dc();
  std::shared_ptr<gdi::Palette> old;
  if (palette_) {
    old = dc.SelectPalette(palette_, false);
    dc.RealizePalette();
  }
  const auto client = ui::GetClientRect(GetHwnd());
  gdi::Rect destination = client ? *client : gdi::Rect{};
  if (setup_.custom && setup_.blackness) {
    dc.FillRect(destination, gdi::Rgb(0, 0, 0));
    destination = ImageRect();
  }
  if (client && paint.Area() == *client) {
    const uint64_t now = win::TimerNowMs();
    const int code = gdi::imaging::kEffectCodes[now % gdi::imaging::kEffectCodes.size()];
    transition_ = gdi::imaging::Transition::Make(code, image_->View(), destination);
    effectStart_ = now;
    if (transition_)
      win::SetTimer(GetHwnd(), kEffectTimer, kEffectTickMs);
  } else {
    gdi::imaging::PaintBitmap(dc, *image_, destination);
  }
  if (palette_)
    dc.SelectPalette(old, false);
}

void CLogoDialog::OnEffectTick() {
  if (!transition_) {
    win::KillTimer(GetHwnd(), kEffectTimer);
    return;
  }
  if (auto dc = ui::GetDc(GetHwnd()))
    transition_->PaintTo(*dc, gdi::imaging::EffectFrameAt(win::TimerNowMs() - effectStart_));
  if (transition_->Done())
    win::KillTimer(GetHwnd(), kEffectTimer);
}

void CLogoDialog::DrawInTextRect(std::string_view text) {
  ui::InvalidateRect(GetHwnd(), &kTextRect, false);
  ui::UpdateWindow(GetHwnd());
  auto dc = ui::GetDc(GetHwnd());
  if (!dc)
    return;
  dc->SetSystemCodePage(setup_.codePage);
  dc->SetBkMode(gdi::kTransparent);
  if (font_)
    dc->SelectFont(font_);
  gdi::Rect r = kTextRect;
  dc->DrawText(text, r, gdi::kDtLeft | gdi::kDtSingleLine | gdi::kDtNoPrefix);
}

void CLogoDialog::DrawTextLine(std::string_view text) {
  if (setup_.custom)
    return;
  DrawInTextRect(text);
}

void CLogoDialog::OnScrollTick() {
  if (setup_.custom || buffer_.empty())
    return;
  DrawInTextRect(std::string_view(buffer_).substr(scroll_));
  const bool lead = sys::IsLeadByte(static_cast<uint8_t>(buffer_[scroll_]), setup_.codePage);
  scroll_ = std::min(buffer_.size(), scroll_ + (lead ? 2 : 1));
  if (buffer_.size() - scroll_ <= 1) {
    textNumber_ = textNumber_ == kLastAboutText ? kFirstAboutText : textNumber_ + 1;
    FillBuffer();
  }
}

void CLogoDialog::OnOk() {
  if (closing_)
    return;
  closing_ = true;
  if (setup_.onClose)
    setup_.onClose();
  font_.reset();
  win::KillTimer(GetHwnd(), kCloseTimer);
  win::KillTimer(GetHwnd(), kEffectTimer);
  transition_.reset();
  image_.reset();
  palette_.reset();
  win::DestroyWindow(GetHwnd());
}

void CLogoDialog::RealizeAndRepaint() {
  if (!palette_)
    return;
  auto dc = ui::GetDc(GetHwnd());
  if (!dc)
    return;
  auto old = dc->SelectPalette(palette_, false);
  if (dc->RealizePalette() > 0)
    ui::InvalidateRect(GetHwnd(), nullptr, false);
  dc->SelectPalette(old, false);
}

ui::LResult CLogoDialog::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_SHOWWINDOW:
    if (wParam)
      OnShown();
    return 0;
  case win::WM_PAINT:
    OnPaint();
    return 0;
  case win::WM_ERASEBKGND:
    return 1;
  case win::WM_TIMER:
    if (wParam == kEffectTimer) {
      OnEffectTick();
    } else if (wParam == kCloseTimer) {
      if (setup_.mode == Mode::Logo) {
        win::KillTimer(GetHwnd(), kCloseTimer);
        win::PostMessage(GetHwnd(), win::WM_COMMAND, kIdOk, 0);
      } else {
        OnScrollTick();
      }
    }
    return 0;
  case win::WM_KEYDOWN:
  case win::WM_LBUTTONDOWN:
    win::PostMessage(GetHwnd(), win::WM_COMMAND, kIdOk, 0);
    return 0;
  case win::WM_COMMAND:
    if ((wParam & 0xFFFF) == kIdOk)
      OnOk();
    return 0;
  case win::WM_QUERYNEWPALETTE:
    RealizeAndRepaint();
    return 1;
  case win::WM_PALETTECHANGED:
    if (static_cast<win::Hwnd>(wParam) != GetHwnd())
      RealizeAndRepaint();
    return 0;
  }
  return Default(message, wParam, lParam);
}

} // namespace logo
