// The score display controls a host places by class name: the running score
// as a number (CScoreLED), a segmented bar of the sung note or the level
// (CScoreMeter), a scrolling trace of the sung note (CScoreOscillo), the
// captured waveform over a grid (CScoreWave) and the engine's counters as
// text (CScoreDebug). Each joins the controller's listener table when made,
// leaves it when destroyed, and on the listener notice reads the engine and
// draws at once. None draws outside its client area or reads past the block.
#pragma once

#include "platform/gdi/dc.h"
#include "score/controls/control_base.h"
#include "score/pitch_engine.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

// The controls' members are exported from the library (its version script
// picks them); the base stays the library's own.
#define NYVANTA_CONTROL __attribute__((visibility("default")))

namespace score {

class CScoreController;

// The listener notice.
inline constexpr win::WParam kControlNotice = 0x10000100;

// What the listener notices share: joining and leaving the table, the
// notice's dispatch and a drawing context on the client area.
class CScoreControl : public controls::CControlBase {
protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
  // The engine changed: read it and draw.
  virtual void OnNotice() = 0;
  virtual void Draw(gdi::Dc& dc) = 0;
  // The client area; empty when the window has none.
  gdi::Rect Client() const;
  void Redraw();
  // The controller of the library, or null.
  static const CScoreController* Source();
};

// LoadResources of each: module null is the library's own bundle rNyvanta.
class NYVANTA_CONTROL CScoreLED : public CScoreControl {
public:
  // Fields: 1 background r:g:b, 2 text colour, 3 face, 4 auto size:point
  // size, 5 weight:italic:underline.
  void LoadResources(const res::Bundle* module, int32_t id);
  // Each by pointer; null leaves the setting. Redraws.
  void SetFont(const char* face, const int32_t* autoSize, const int32_t* pointSize,
               const int32_t* weight, const int32_t* italic, const int32_t* underline);
  void GetFont(char* face, size_t faceSize, int32_t* autoSize, int32_t* pointSize,
               int32_t* weight, int32_t* italic, int32_t* underline) const;
  void SetColor(const gdi::Colour* text, const gdi::Colour* background);
  void GetColor(gdi::Colour* text, gdi::Colour* background) const;
  // Shows a value now.
  void Show(float value);
  float Value() const { return value_; }
  // The text's cell drawn last.
  gdi::Rect LastText() const { return last_; }
  std::shared_ptr<const gdi::Font> MakeFont() const;

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
  void OnNotice() override;
  void Draw(gdi::Dc& dc) override;

private:
  float value_ = 0;
  std::array<char, 32> face_{"Arial"};
  gdi::Colour text_ = gdi::Rgb(0, 255, 255);
  gdi::Colour background_ = gdi::Rgb(0, 0, 0);
  int32_t autoSize_ = 1, pointSize_ = 10, weight_ = 700, italic_ = 0, underline_ = 0;
  gdi::Rect last_;
};

class NYVANTA_CONTROL CScoreMeter : public CScoreControl {
public:
  // Fields: 1 type (0 note, 1 level), 2 segment height:gap, 3 background,
  // 4 bar colour, 5 empty colour, 6 over-range colour.
  void LoadResources(const res::Bundle* module, int32_t id);
  // Reads the configuration held now.
  void ApplyConfiguration();
  void ResetMeter();
  void Show(float value);
  int32_t Type() const { return type_; }
  // Segments that fit the client area, and those lit by the last value
  // (all of them when over the range).
  int Segments() const;
  int Lit() const { return lit_; }
  bool Over() const { return over_; }

protected:
  void OnNotice() override;
  void Draw(gdi::Dc& dc) override;

private:
  void SetRange();
  int32_t type_ = 0;
  int32_t segment_ = 3, gap_ = 1;
  gdi::Colour background_ = gdi::Rgb(0, 0, 0), bar_ = gdi::Rgb(0, 255, 255);
  gdi::Colour empty_ = gdi::Rgb(128, 128, 128), over_colour_ = gdi::Rgb(255, 0, 0);
  int32_t low_ = 40, high_ = 80;
  float value_ = 0;
  int lit_ = 0;
  bool over_ = false;
};

// The grids of the trace and the wave: lines every minor step pixels and
// every major × minor step pixels, from the middle of the client area.
struct Grid {
  int32_t majorOn = 1, majorStep = 5, majorPen = 0;
  gdi::Colour majorColour = gdi::Rgb(192, 192, 192);
  int32_t minorOn = 1, minorStep = 10, minorPen = 0;
  gdi::Colour minorColour = gdi::Rgb(128, 128, 128);
  void Draw(gdi::Dc& dc, const gdi::Rect& client, gdi::Colour background) const;
};

class NYVANTA_CONTROL CScoreOscillo : public CScoreControl {
public:
  // Fields: 1 background, 2 trace colour, 3 second colour, 4 step pair,
  // 5 major grid on:step:pen, 6 major colour, 7 minor grid on:step:pen,
  // 8 minor colour.
  void LoadResources(const res::Bundle* module, int32_t id);
  // Adds a point of the sung note at the right edge; the trace is a line
  // through the points, the older ones step pixels apart leftwards.
  void Add(float note);
  int32_t YOf(float note) const;
  static constexpr size_t kHistory = 1024;

protected:
  void OnNotice() override;
  void Draw(gdi::Dc& dc) override;

private:
  void DrawTrace(gdi::Dc& dc);
  void Plot(gdi::Dc& dc, int32_t x, int32_t y);
  void PlotLine(gdi::Dc& dc, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
  gdi::Colour background_ = gdi::Rgb(0, 0, 0), trace_ = gdi::Rgb(0, 255, 0);
  gdi::Colour second_ = gdi::Rgb(0, 0, 255);
  int32_t stepX_ = 1, stepY_ = 1;
  Grid grid_;
  std::vector<float> history_;
  // The pixels under the trace, to be put back when it moves on.
  struct Saved {
    int32_t x, y;
    gdi::Colour colour;
  };
  std::vector<Saved> under_;
};

class NYVANTA_CONTROL CScoreWave : public CScoreControl {
public:
  // Fields: 1 background, 2 wave colour, 3 major grid on:step:pen, 4 major
  // colour, 5 minor grid on:step:pen, 6 minor colour.
  void LoadResources(const res::Bundle* module, int32_t id);
  void ResetWave();
  // Draws a block of 8-bit samples: one per column, as many as it holds.
  void ShowBlock(std::span<const uint8_t> block);
  int32_t YOf(uint8_t sample) const;

  void SetBackgroundColor(gdi::Colour c);
  void SetWaveColor(gdi::Colour c);
  void SetMajorGridOn(int32_t on);
  void SetMinorGridOn(int32_t on);
  void SetMajorGridColor(gdi::Colour c);
  void SetMinorGridColor(gdi::Colour c);
  void SetMajorPenStyle(int32_t style);
  void SetMinorPenStyle(int32_t style);
  void SetMajorStep(int32_t step);
  void SetMinorStep(int32_t step);
  gdi::Colour GetBkColor() const { return background_; }
  gdi::Colour GetWaveColor() const { return wave_; }
  int32_t GetMajorGridOn() const { return grid_.majorOn; }
  int32_t GetMinorGridOn() const { return grid_.minorOn; }
  gdi::Colour GetMajorGridColor() const { return grid_.majorColour; }
  gdi::Colour GetMinorGridColor() const { return grid_.minorColour; }
  int32_t GetMajorPenStyle() const { return grid_.majorPen; }
  int32_t GetMinorPenStyle() const { return grid_.minorPen; }
  int32_t GetMajorStep() const { return grid_.majorStep; }
  int32_t GetMinorStep() const { return grid_.minorStep; }

protected:
  void OnNotice() override;
  void Draw(gdi::Dc& dc) override;

private:
  void Changed();
  gdi::Colour background_ = gdi::Rgb(0, 0, 0), wave_ = gdi::Rgb(0, 255, 255);
  Grid grid_;
  // Per column: the y drawn and the pixel it covers.
  std::vector<int32_t> y_;
  std::vector<gdi::Colour> under_;
};

// The values CScoreDebug shows.
struct DebugValues {
  int32_t count = 0;
  PlayerState player;
  int32_t interlude = 0;
  float amplitude = 0, freq = 0, note = 0, avgErr = 0, avgErrCor = 0;
  int32_t errCount = 0;
  float errSum = 0;
  int32_t volChecks = 0, volHits = 0, emptyChecks = 0, emptyHits = 0;
  int32_t nextEvent = 0;
  float lastCorrected = 0;
};
// The panel's text, with the format of the engine's counters.
std::string DebugText(const DebugValues& v);
// Tabs expanded to stops of eight characters; CR LF as LF.
std::string ExpandTabs(const std::string& text);

class NYVANTA_CONTROL CScoreDebug : public CScoreControl {
public:
  void Show(const DebugValues& v);
  const std::string& Text() const { return text_; }
  int32_t ChartColumn() const { return column_; }

protected:
  void OnNotice() override;
  void Draw(gdi::Dc& dc) override;

private:
  DebugValues values_;
  std::string text_;
  int32_t column_ = 0;
  bool drawn_ = false;
};

// The clip of a singing status: 0 131, 2 134, 3 137, 54 136, 56 132, 57
// 135, 58 133; 0 for any other status.
uint32_t ClipOfStatus(int32_t status);

class NYVANTA_CONTROL CScoreAnim : public CScoreControl {
public:
  static constexpr uint32_t kTimer = 100;
  static constexpr uint32_t kPeriodMs = 1000;
  // Where the status is read on each tick: the controller's engine unless
  // set.
  std::function<int32_t()> statusSource;
  // The clip playing (0 none) and the animation child.
  uint32_t Clip() const;
  win::Hwnd Child() const { return child_; }

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
  void OnNotice() override {}
  void Draw(gdi::Dc&) override {}

private:
  void Show(uint32_t clip);
  win::Hwnd child_ = 0;
  int32_t status_ = 0;
};

// Registers the classes (style 3, arrow, no brush; CScoreDebug white) and
// removes them again.
bool RegisterControlClasses();
void UnregisterControlClasses();
inline constexpr const char* kControlClassNames[] = {
    "CScoreLED", "CScoreMeter", "CScoreOscillo", "CScoreWave", "CScoreAnim", "CScoreDebug"};

} // namespace score
