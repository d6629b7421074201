#include "score/controls/score_controls.h"

#include "platform/gdi/font.h"
#include "platform/res/bundle.h"
#include "platform/ui/animation/animate.h"
#include "platform/sys/codepage.h"
#include "platform/ui/window/paint.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"
#include "score/controller.h"
#include "score/library.h"

#include <cstdlib>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace score {
namespace {

constexpr int kMaxPoint = 500; // the debug chart's baseline

void ClampInto(int32_t* y, int32_t height) {
  *y = std::clamp(*y, 0, std::max(height - 1, 0));
}

} // namespace

// --- common -------------------------------------------------------------

const CScoreController* CScoreControl::Source() {
  return score::Controller();
}

gdi::Rect CScoreControl::Client() const {
  auto r = ui::GetClientRect(GetHwnd());
  return r ? *r : gdi::Rect{};
}

void CScoreControl::Redraw() {
  if (auto dc = ui::GetDc(GetHwnd()))
    Draw(*dc);
}

ui::LResult CScoreControl::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_CREATE:
    if (CScoreController* c = score::Controller())
      c->Listeners().Add(GetHwnd());
    break;
  case win::WM_DESTROY:
    if (CScoreController* c = score::Controller())
      c->Listeners().Remove(GetHwnd());
    break;
  case win::WM_COMMAND:
    if (wParam == kControlNotice && static_cast<win::Hwnd>(lParam) == GetHwnd()) {
      OnNotice();
      return 0;
    }
    break;
  case win::WM_ERASEBKGND:
    return 1; // the drawing covers the client area
  case win::WM_PAINT: {
    ui::Paint paint(GetHwnd());
    if (paint.IsValid())
      Draw(paint.Dc());
    return 0;
  }
  default:
    break;
  }
  return CControlBase::OnMessage(message, wParam, lParam);
}

// --- CScoreLED ----------------------------------------------------------

void CScoreLED::LoadResources(const res::Bundle* module, int32_t id) {
  LoadResourceString(module ? module : score::Bundle(), id);
  CControlBase::GetColor(&background_, 1);
  CControlBase::GetColor(&text_, 2);
  char face[256] = {};
  if (GetField(face, sizeof face, 3) && face[0]) {
    face_.fill('\0');
    // The face keeps 31 bytes and a zero, whatever the field holds.
    std::memcpy(face_.data(), face, std::min(std::strlen(face), face_.size() - 1));
  }
  GetPair(&autoSize_, &pointSize_, 4);
  GetTriple(&weight_, &italic_, &underline_, 5);
  Redraw();
}

void CScoreLED::SetFont(const char* face, const int32_t* autoSize, const int32_t* pointSize,
                        const int32_t* weight, const int32_t* italic, const int32_t* underline) {
  if (face) {
    face_.fill('\0');
    std::memcpy(face_.data(), face, std::min(std::strlen(face), face_.size() - 1));
  }
  if (autoSize)
    autoSize_ = *autoSize;
  if (pointSize)
    pointSize_ = *pointSize;
  if (weight)
    weight_ = *weight;
  if (italic)
    italic_ = *italic;
  if (underline)
    underline_ = *underline;
  Redraw();
}

void CScoreLED::GetFont(char* face, size_t faceSize, int32_t* autoSize, int32_t* pointSize,
                        int32_t* weight, int32_t* italic, int32_t* underline) const {
  if (face && faceSize > 0) {
    const size_t n = std::min(std::strlen(face_.data()), faceSize - 1);
    std::memcpy(face, face_.data(), n);
    face[n] = '\0';
  }
  if (autoSize)
    *autoSize = autoSize_;
  if (pointSize)
    *pointSize = pointSize_;
  if (weight)
    *weight = weight_;
  if (italic)
    *italic = italic_;
  if (underline)
    *underline = underline_;
}

void CScoreLED::SetColor(const gdi::Colour* text, const gdi::Colour* background) {
  if (text)
    text_ = *text;
  if (background)
    background_ = *background;
  Redraw();
}

void CScoreLED::GetColor(gdi::Colour* text, gdi::Colour* background) const {
  if (text)
    *text = text_;
  if (background)
    *background = background_;
}

void CScoreLED::Show(float value) {
  value_ = value;
  Redraw();
}

void CScoreLED::OnNotice() {
  const CScoreController* c = Source();
  Show(c ? c->CalculateFloat() : 0.0f);
}

std::shared_ptr<const gdi::Font> CScoreLED::MakeFont() const {
  const gdi::Rect client = Client();
  const int32_t points = autoSize_ ? client.Height() / 2 : pointSize_;
  gdi::LogFont f;
  f.height = -std::max(1, points * gdi::kLogPixels / 72);
  f.weight = weight_;
  f.italic = static_cast<uint8_t>(italic_ != 0);
  f.underline = static_cast<uint8_t>(underline_ != 0);
  f.charSet = gdi::kAnsiCharSet;
  f.SetFaceName(face_.data());
  return gdi::Font::Create(f);
}

ui::LResult CScoreLED::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  if (message == win::WM_SIZE)
    last_ = {};
  return CScoreControl::OnMessage(message, wParam, lParam);
}

void CScoreLED::Draw(gdi::Dc& dc) {
  const gdi::Rect client = Client();
  if (client.Width() <= 0 || client.Height() <= 0)
    return;
  auto font = MakeFont();
  if (!font)
    return;
  dc.SelectFont(font);
  char text[32];
  std::snprintf(text, sizeof text, "%02.1f", static_cast<double>(value_));
  const gdi::Size size = dc.TextExtent(text);
  const int32_t m = (client.Height() - size.cy) / 2;
  int32_t x = client.right - size.cx - m;
  if (x < 0)
    x = 0;
  if (last_.Width() == 0) {
    dc.FillRect(client, background_);
  } else {
    // What the last text covered beside the new one goes back to the background.
    if (last_.left < x)
      dc.FillRect({last_.left, last_.top, std::min(x, last_.right), last_.bottom}, background_);
    if (last_.right > x + size.cx)
      dc.FillRect({std::max(last_.left, x + size.cx), last_.top, last_.right, last_.bottom},
                  background_);
  }
  dc.SetTextColor(text_);
  dc.SetBkColor(background_);
  dc.SetBkMode(gdi::kOpaque);
  dc.TextOut(x, m, text);
  last_ = {x, m, x + size.cx, m + size.cy};
}

// --- CScoreMeter --------------------------------------------------------

void CScoreMeter::SetRange() {
  if (type_ == 1) {
    low_ = 0;
    high_ = 128;
  } else {
    low_ = 40;
    high_ = 80;
  }
}

void CScoreMeter::LoadResources(const res::Bundle* module, int32_t id) {
  LoadResourceString(module ? module : score::Bundle(), id);
  ApplyConfiguration();
}

void CScoreMeter::ApplyConfiguration() {
  GetInt(&type_, 1);
  GetPair(&segment_, &gap_, 2);
  GetColor(&background_, 3);
  GetColor(&bar_, 4);
  GetColor(&empty_, 5);
  GetColor(&over_colour_, 6);
  segment_ = std::max(segment_, 0);
  gap_ = std::max(gap_, 0);
  SetRange();
  Redraw();
}

int CScoreMeter::Segments() const {
  // A segment and its gap take at least one line.
  const int32_t pitch = std::max(segment_ + gap_, 1);
  return std::max(Client().Height(), 0) / pitch;
}

void CScoreMeter::ResetMeter() {
  value_ = 0;
  lit_ = 0;
  over_ = false;
  Redraw();
}

void CScoreMeter::Show(float value) {
  value_ = value;
  const int segments = Segments();
  over_ = value > static_cast<float>(high_);
  if (over_)
    lit_ = segments;
  else if (value < static_cast<float>(low_))
    lit_ = 0;
  else
    lit_ = std::clamp(static_cast<int>((value - static_cast<float>(low_)) * segments /
                                       static_cast<float>(high_ - low_)),
                      0, segments);
  Redraw();
}

void CScoreMeter::OnNotice() {
  const CScoreController* c = Source();
  if (!c)
    return Show(0);
  Show(type_ == 1 ? static_cast<float>(c->Engine().Amplitude()) : c->Engine().Note());
}

void CScoreMeter::Draw(gdi::Dc& dc) {
  const gdi::Rect client = Client();
  if (client.Width() <= 0 || client.Height() <= 0)
    return;
  dc.FillRect(client, background_);
  const int32_t pitch = std::max(segment_ + gap_, 1);
  const int segments = Segments();
  for (int i = 0; i < segments; ++i) {
    const int32_t bottom = client.bottom - i * pitch;
    const int32_t top = std::max(bottom - std::max(segment_, 1), client.top);
    const gdi::Colour c = i < lit_ ? (over_ ? over_colour_ : bar_) : empty_;
    dc.FillRect({client.left, top, client.right, bottom}, c);
  }
}

// --- grids --------------------------------------------------------------

void Grid::Draw(gdi::Dc& dc, const gdi::Rect& client, gdi::Colour background) const {
  dc.FillRect(client, background);
  const int32_t cx = client.Width() / 2, cy = client.Height() / 2;
  auto lines = [&](int32_t step, int pen, gdi::Colour colour) {
    if (step <= 0)
      return;
    dc.SelectPen(gdi::Pen{pen, 1, colour});
    for (int32_t x = cx % step; x < client.right; x += step) {
      dc.MoveTo(x, client.top);
      dc.LineTo(x, client.bottom);
    }
    for (int32_t y = cy % step; y < client.bottom; y += step) {
      dc.MoveTo(client.left, y);
      dc.LineTo(client.right, y);
    }
  };
  if (minorOn)
    lines(minorStep, minorPen, minorColour);
  if (majorOn && minorStep > 0 && majorStep > 0)
    lines(majorStep * minorStep, majorPen, majorColour);
}

// --- CScoreOscillo ------------------------------------------------------

void CScoreOscillo::LoadResources(const res::Bundle* module, int32_t id) {
  LoadResourceString(module ? module : score::Bundle(), id);
  GetColor(&background_, 1);
  GetColor(&trace_, 2);
  GetColor(&second_, 3);
  GetPair(&stepX_, &stepY_, 4);
  GetTriple(&grid_.majorOn, &grid_.majorStep, &grid_.majorPen, 5);
  GetColor(&grid_.majorColour, 6);
  GetTriple(&grid_.minorOn, &grid_.minorStep, &grid_.minorPen, 7);
  GetColor(&grid_.minorColour, 8);
  stepX_ = std::max(stepX_, 1);
  under_.clear();
  Redraw();
}

int32_t CScoreOscillo::YOf(float note) const {
  const int32_t h = Client().Height();
  int32_t y = h - static_cast<int32_t>((note - 40) * static_cast<float>(stepY_ * h) / 40) + 1;
  // The text's formula reaches h + 1 at note 40: kept inside the client area.
  ClampInto(&y, h);
  return y;
}

void CScoreOscillo::Add(float note) {
  history_.push_back(note);
  if (history_.size() > kHistory)
    history_.erase(history_.begin());
  if (auto dc = ui::GetDc(GetHwnd()))
    DrawTrace(*dc);
}

void CScoreOscillo::OnNotice() {
  const CScoreController* c = Source();
  Add(c ? c->Engine().Note() : 0.0f);
}

void CScoreOscillo::Plot(gdi::Dc& dc, int32_t x, int32_t y) {
  under_.push_back({x, y, dc.GetPixel(x, y)});
  dc.SetPixel(x, y, trace_);
}

// A line from (x0, y0) to (x1, y1) whose pixels touch, each remembered.
void CScoreOscillo::PlotLine(gdi::Dc& dc, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const int32_t dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int32_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int32_t error = dx + dy;
  for (;;) {
    Plot(dc, x0, y0);
    if (x0 == x1 && y0 == y1)
      return;
    const int32_t twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x0 += sx;
    }
    if (twice <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

void CScoreOscillo::DrawTrace(gdi::Dc& dc) {
  const gdi::Rect client = Client();
  // Put back in the reverse order, so that a pixel covered twice gets its
  // first colour.
  for (auto it = under_.rbegin(); it != under_.rend(); ++it)
    dc.SetPixel(it->x, it->y, it->colour);
  under_.clear();
  if (client.Width() <= 0 || client.Height() <= 0)
    return;
  const int32_t n = static_cast<int32_t>(history_.size());
  // The points from the newest at the right edge leftwards, each joined to
  // the one after it; a point where nothing was sung breaks the line.
  bool joined = false;
  int32_t lastX = 0, lastY = 0;
  for (int32_t k = n - 1; k >= 0; --k) {
    const int32_t x = client.right - 1 - (n - 1 - k) * stepX_;
    if (x < client.left)
      break;
    const float note = history_[static_cast<size_t>(k)];
    if (note <= 0) {
      joined = false;
      continue;
    }
    const int32_t y = YOf(note);
    if (joined)
      PlotLine(dc, x, y, lastX, lastY);
    else
      Plot(dc, x, y);
    joined = true;
    lastX = x;
    lastY = y;
  }
}

void CScoreOscillo::Draw(gdi::Dc& dc) {
  const gdi::Rect client = Client();
  if (client.Width() <= 0 || client.Height() <= 0)
    return;
  under_.clear();
  grid_.Draw(dc, client, background_);
  DrawTrace(dc);
}

// --- CScoreWave ---------------------------------------------------------

void CScoreWave::LoadResources(const res::Bundle* module, int32_t id) {
  LoadResourceString(module ? module : score::Bundle(), id);
  GetColor(&background_, 1);
  GetColor(&wave_, 2);
  GetTriple(&grid_.majorOn, &grid_.majorStep, &grid_.majorPen, 3);
  GetColor(&grid_.majorColour, 4);
  GetTriple(&grid_.minorOn, &grid_.minorStep, &grid_.minorPen, 5);
  GetColor(&grid_.minorColour, 6);
  Changed();
}

int32_t CScoreWave::YOf(uint8_t sample) const {
  const int32_t h = Client().Height();
  // Full scale swings half the height either way (the text's gain swung
  // the whole height), and y stays inside.
  int32_t y = (127 - static_cast<int32_t>(sample)) * (h / 2) / 128 + h / 2;
  ClampInto(&y, h);
  return y;
}

void CScoreWave::ResetWave() {
  std::vector<uint8_t> middle(static_cast<size_t>(std::max(Client().Width(), 0)), 127);
  ShowBlock(middle);
}

void CScoreWave::ShowBlock(std::span<const uint8_t> block) {
  auto dc = ui::GetDc(GetHwnd());
  if (!dc)
    return;
  const gdi::Rect client = Client();
  const size_t width = static_cast<size_t>(std::max(client.Width(), 0));
  if (y_.size() != width) {
    y_.assign(width, -1);
    under_.assign(width, 0);
  }
  for (size_t x = 0; x < width; ++x) {
    if (y_[x] >= 0)
      dc->SetPixel(static_cast<int32_t>(x), y_[x], under_[x]);
    y_[x] = -1;
    // Only the columns the block holds.
    if (x >= block.size())
      continue;
    const int32_t y = YOf(block[x]);
    under_[x] = dc->GetPixel(static_cast<int32_t>(x), y);
    dc->SetPixel(static_cast<int32_t>(x), y, wave_);
    y_[x] = y;
  }
}

void CScoreWave::OnNotice() {
  const CScoreController* c = Source();
  if (c)
    ShowBlock(c->Block());
}

void CScoreWave::Draw(gdi::Dc& dc) {
  const gdi::Rect client = Client();
  y_.assign(static_cast<size_t>(std::max(client.Width(), 0)), -1);
  under_.assign(y_.size(), 0);
  if (client.Width() <= 0 || client.Height() <= 0)
    return;
  grid_.Draw(dc, client, background_);
}

void CScoreWave::Changed() {
  ui::InvalidateRect(GetHwnd(), nullptr, false);
  Redraw();
}

void CScoreWave::SetBackgroundColor(gdi::Colour c) {
  background_ = c;
  Changed();
}
void CScoreWave::SetWaveColor(gdi::Colour c) {
  wave_ = c;
  Changed();
}
void CScoreWave::SetMajorGridOn(int32_t on) {
  grid_.majorOn = on;
  Changed();
}
void CScoreWave::SetMinorGridOn(int32_t on) {
  grid_.minorOn = on;
  Changed();
}
void CScoreWave::SetMajorGridColor(gdi::Colour c) {
  grid_.majorColour = c;
  Changed();
}
void CScoreWave::SetMinorGridColor(gdi::Colour c) {
  grid_.minorColour = c;
  Changed();
}
void CScoreWave::SetMajorPenStyle(int32_t style) {
  grid_.majorPen = style;
  Changed();
}
void CScoreWave::SetMinorPenStyle(int32_t style) {
  grid_.minorPen = style;
  Changed();
}
void CScoreWave::SetMajorStep(int32_t step) {
  grid_.majorStep = step;
  Changed();
}
void CScoreWave::SetMinorStep(int32_t step) {
  grid_.minorStep = step;
  Changed();
}

// --- CScoreDebug --------------------------------------------------------

std::string DebugText(const DebugValues& v) {
  const double errRatio = v.errSum / (v.errCount ? v.errCount : 1);
  const double volRatio = double(v.volHits) / (v.volChecks ? v.volChecks : 1);
  const double emptyRatio = double(v.emptyHits) / (v.emptyChecks ? v.emptyChecks : 1);
  char text[1024];
  std::snprintf(text, sizeof text,
                "Count          : %i\t\t\r\nget_curnote    = %i\t\t\r\nchk_nonote     = "
                "%i\t\t\r\nchk_lyricon    = %i\t\t\r\nlLyricTotTime  = %li\t\t\r\nlLyricCurTime  "
                "= %li\t\t\r\nbInterlude     = %i\t\t\t\r\namplitude      = %6.2f\t\t\r\nfreqrecg "
                "      = %6.2f\t\t\r\nnoterecg       = %6.2f\t\t\r\nfAvgErr        = "
                "%6.2f\t\t\r\nfAvgErrCor     = %6.2f\t\t\r\niNumNoteErrSum = %04i\t\t\r\nfErrSum  "
                "      = %6.2f(%6.2f)\t\t\r\niNumVolChk     = %04i\t\t\r\niNumVolHit     = "
                "%i(%6.2f)\t\t\r\niNumEmptyChk   = %04i\t\t\r\niNumEmptyHit   = "
                "%i(%6.2f)\t\t\r\nNextEv         = %i\t\t\r\n",
                v.count, v.player.curNote, v.player.noNote, v.player.lyricOn,
                static_cast<long>(v.player.lyricTotalMs), static_cast<long>(v.player.lyricElapsedMs),
                v.interlude, double(v.amplitude), double(v.freq), double(v.note), double(v.avgErr),
                double(v.avgErrCor), v.errCount, double(v.errSum), errRatio, v.volChecks,
                v.volHits, volRatio, v.emptyChecks, v.emptyHits, emptyRatio, v.nextEvent);
  return text;
}

std::string ExpandTabs(const std::string& text) {
  std::string out;
  size_t column = 0;
  for (char c : text) {
    if (c == '\t') {
      do {
        out += ' ';
        ++column;
      } while (column % 8 != 0);
    } else if (c == '\r') {
      continue;
    } else if (c == '\n') {
      out += '\n';
      column = 0;
    } else {
      out += c;
      ++column;
    }
  }
  return out;
}

void CScoreDebug::Show(const DebugValues& v) {
  values_ = v;
  text_ = DebugText(v);
  Redraw();
}

void CScoreDebug::OnNotice() {
  const CScoreController* c = Source();
  if (!c)
    return;
  const PitchEngine& e = c->Engine();
  DebugValues v;
  v.count = c->Blocks();
  v.player = c->Player();
  v.interlude = e.Interlude() ? 1 : 0;
  v.amplitude = static_cast<float>(e.Amplitude());
  v.freq = e.Frequency();
  v.note = e.Note();
  v.avgErr = e.AverageError();
  v.avgErrCor = e.AverageCorrectedError();
  v.errCount = e.ErrorCount();
  v.errSum = e.ErrorSum();
  v.volChecks = e.VoiceChecks();
  v.volHits = e.VoiceHits();
  v.emptyChecks = e.EmptyChecks();
  v.emptyHits = e.EmptyHits();
  v.lastCorrected = e.LastCorrectedError();
  // The current time the core gave before the block.
  v.nextEvent = v.player.currentTimeMs;
  Show(v);
}

void CScoreDebug::Draw(gdi::Dc& dc) {
  const gdi::Rect client = Client();
  if (client.Width() <= 0 || client.Height() <= 0)
    return;
  if (!drawn_) {
    dc.FillRect(client, gdi::Rgb(255, 255, 255));
    drawn_ = true;
  }
  gdi::LogFont f;
  f.height = -(8 * gdi::kLogPixels / 72);
  f.weight = gdi::kWeightNormal;
  f.charSet = gdi::kHangulCharSet;
  f.SetFaceName(sys::FromUtf8Lossy("굴림체", 949), 949);
  if (auto font = gdi::Font::Create(f, 949))
    dc.SelectFont(font);
  dc.SetTextColor(gdi::Rgb(0, 0, 0));
  dc.SetBkColor(gdi::Rgb(255, 255, 255));
  dc.SetBkMode(gdi::kOpaque);
  const std::string text = ExpandTabs(text_);
  gdi::Rect area{client.left, client.top, client.right, client.bottom};
  const int32_t lineHeight = dc.GetTextMetrics().height;
  int32_t y = 0;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end == std::string::npos ? end : end - start);
    dc.FillRect({area.left, y, area.right, std::min(y + lineHeight, area.bottom)},
                gdi::Rgb(255, 255, 255));
    dc.TextOut(area.left, y, line);
    y += lineHeight;
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  // The chart: one column per repaint, two pixels on from the last.
  auto point = [&](int32_t value, gdi::Colour colour) {
    int32_t py = kMaxPoint - 2 * value;
    if (py < y || py >= client.bottom)
      return;
    dc.SetPixel(column_, py, colour);
  };
  if (!values_.player.noNote)
    point(values_.player.curNote, gdi::Rgb(0, 0, 128));
  if (values_.note > 0) {
    point(static_cast<int32_t>(values_.note), gdi::Rgb(128, 0, 0));
    point(static_cast<int32_t>(values_.lastCorrected), gdi::Rgb(0, 255, 0));
  }
  column_ += 2;
  if (column_ >= client.right)
    column_ = 0;
}

// --- CScoreAnim ---------------------------------------------------------

uint32_t ClipOfStatus(int32_t status) {
  switch (status) {
  case kStatusOff:
    return 131;
  case kStatusSilent:
    return 134;
  case kStatusInterlude:
    return 137;
  case kStatusFar:
    return 136;
  case kStatusBand3:
    return 132;
  case kStatusBand2:
    return 135;
  case kStatusBand1:
    return 133;
  default:
    return 0;
  }
}

uint32_t CScoreAnim::Clip() const {
  auto* a = dynamic_cast<ui::AnimateControl*>(win::GetWindowObject(child_));
  return a && a->Playing() ? a->ClipId() : 0;
}

void CScoreAnim::Show(uint32_t clip) {
  auto* a = dynamic_cast<ui::AnimateControl*>(win::GetWindowObject(child_));
  const res::Bundle* bundle = score::Bundle();
  if (!a || !bundle || !clip)
    return;
  if (a->Open(*bundle, clip))
    a->Play(0, -1, -1);
}

ui::LResult CScoreAnim::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_CREATE: {
    const ui::LResult r = CScoreControl::OnMessage(message, wParam, lParam);
    ui::AnimateControl::Register();
    const gdi::Rect client = Client();
    win::CreateParams p;
    p.className = ui::kAnimateClass;
    p.style = win::WS_CHILD | win::WS_VISIBLE | ui::ACS_CENTER | ui::ACS_TRANSPARENT;
    p.parent = GetHwnd();
    p.width = client.Width();
    p.height = client.Height();
    child_ = win::CreateWindow(p);
    status_ = kStatusOff;
    Show(ClipOfStatus(status_));
    win::SetTimer(GetHwnd(), kTimer, kPeriodMs);
    return r;
  }
  case win::WM_TIMER:
    if (wParam == kTimer) {
      int32_t status = kStatusOff;
      if (statusSource)
        status = statusSource();
      else if (const CScoreController* c = Source())
        status = c->Engine().SingingStatus();
      if (status != status_) {
        status_ = status;
        Show(ClipOfStatus(status));
      }
      return 0;
    }
    break;
  case win::WM_SIZE:
    if (child_)
      ui::MoveWindow(child_, 0, 0, static_cast<int32_t>(lParam & 0xFFFF),
                     static_cast<int32_t>((lParam >> 16) & 0xFFFF));
    break;
  case win::WM_DESTROY:
    if (auto* a = dynamic_cast<ui::AnimateControl*>(win::GetWindowObject(child_)))
      a->Stop();
    win::KillTimer(GetHwnd(), kTimer);
    if (child_ && win::IsWindow(child_))
      win::DestroyWindow(child_);
    child_ = 0;
    break;
  default:
    break;
  }
  return CScoreControl::OnMessage(message, wParam, lParam);
}

// --- classes ------------------------------------------------------------

bool RegisterControlClasses() {
  auto make = [](const char* name, auto factory, std::optional<gdi::Colour> background) {
    ui::ScreenClass c;
    c.name = name;
    c.style = ui::CS_HREDRAW | ui::CS_VREDRAW;
    c.factory = factory;
    c.background = background;
    return ui::RegisterScreenClass(c);
  };
  bool ok = true;
  ok &= make("CScoreLED", [] { return std::unique_ptr<ui::ScreenWindow>(new CScoreLED); },
             std::nullopt);
  ok &= make("CScoreMeter", [] { return std::unique_ptr<ui::ScreenWindow>(new CScoreMeter); },
             std::nullopt);
  ok &= make("CScoreOscillo",
             [] { return std::unique_ptr<ui::ScreenWindow>(new CScoreOscillo); }, std::nullopt);
  ok &= make("CScoreWave", [] { return std::unique_ptr<ui::ScreenWindow>(new CScoreWave); },
             std::nullopt);
  ok &= make("CScoreAnim", [] { return std::unique_ptr<ui::ScreenWindow>(new CScoreAnim); },
             std::nullopt);
  ok &= make("CScoreDebug", [] { return std::unique_ptr<ui::ScreenWindow>(new CScoreDebug); },
             gdi::Rgb(255, 255, 255));
  return ok;
}

void UnregisterControlClasses() {
  for (const char* name : kControlClassNames)
    win::UnregisterClass(name);
}

} // namespace score
