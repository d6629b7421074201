#include "lyric_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace display::testing {

ScratchDir::ScratchDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "lyric-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data()))
    throw std::runtime_error("no scratch folder");
  path_ = tmpl;
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

gdi::Colour BackgroundAt(int32_t x, int32_t y) {
  return gdi::Rgb(static_cast<uint8_t>(40 + (x * 7) % 50), static_cast<uint8_t>(60 + (y * 5) % 40),
                  static_cast<uint8_t>(90 + ((x + y) * 3) % 30));
}

std::shared_ptr<gdi::Surface> MakeBackground(int32_t width, int32_t height) {
  std::optional<gdi::Dib> dib = gdi::Dib::Create(width, height, 24);
  if (!dib)
    return nullptr;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = dib->RowFromTop(y);
    for (int32_t x = 0; x < width; ++x) {
      const gdi::Colour c = BackgroundAt(x, y);
      row[3 * x] = gdi::BlueOf(c);
      row[3 * x + 1] = gdi::GreenOf(c);
      row[3 * x + 2] = gdi::RedOf(c);
    }
  }
  return gdi::Surface::FromDib(dib->View());
}

std::string StyleIni(const std::string& sectionName, bool swapped, const std::string& face,
                     int outline, const std::string& extraKeys) {
  const gdi::Colour text = swapped ? kSungText : kUnsungText;
  const gdi::Colour ring = swapped ? kSungOutline : kUnsungOutline;
  const gdi::Colour sungText = swapped ? kUnsungText : kSungText;
  const gdi::Colour sungRing = swapped ? kUnsungOutline : kSungOutline;
  std::string ini = "[" + sectionName + "]\n";
  ini += "Outline=" + std::to_string(outline) + "\n";
  if (!face.empty())
    ini += "Font=" + face + "\n";
  ini += "Color1=" + std::to_string(text) + "\n";
  ini += "Color2=" + std::to_string(ring) + "\n";
  ini += "Color3=" + std::to_string(sungText) + "\n";
  ini += "Color4=" + std::to_string(sungRing) + "\n";
  return ini + extraKeys;
}

TestView::TestView(int32_t width, int32_t height, bool sungColours, const std::string& face,
                   int outline, const std::string& extraKeys) {
  const std::string ini = dir_.File("config.ini");
  WriteFile(ini, StyleIni("WordsLyric", sungColours, face, outline, extraKeys));
  styles_ = std::make_unique<LyricStyleTable>(ini);
  styles_->LoadAndStore();
  lines_ = std::make_unique<LyricLines>(*styles_, frame_);
  surface_ = MakeBackground(width, height);
  background_ = MakeBackground(width, height);
  lines_->SetSurface(surface_);
  lines_->SetInvalidate([this](const gdi::Rect& r) {
    pending_ = gdi::Union(pending_, r);
    invalidated_.push_back(r);
  });
  lines_->SetUpdate([this](const gdi::Rect& r) {
    std::lock_guard lock(updatesMutex_);
    updates_.push_back(r);
  });
  lines_->SetPad(PadForHeight(height));
  lines_->Resize(width, height);
  Flush();
  invalidated_.clear();
}

TestView::~TestView() = default;

void TestView::Flush() {
  if (pending_.IsEmpty())
    return;
  gdi::Dc dc(surface_);
  dc.SetClipRect(pending_);
  dc.BitBlt(pending_.left, pending_.top, pending_.Width(), pending_.Height(), *background_,
            pending_.left, pending_.top, gdi::kSrcCopy);
  pending_ = gdi::Rect{};
  lines_->OnPaint(dc);
}

void TestView::RepaintAll() {
  pending_ = gdi::Rect{0, 0, surface_->Width(), surface_->Height()};
  Flush();
}

void TestView::Resize(int32_t width, int32_t height) {
  surface_ = MakeBackground(width, height);
  background_ = MakeBackground(width, height);
  lines_->SetSurface(surface_);
  lines_->SetPad(PadForHeight(height));
  pending_ = gdi::Rect{};
  lines_->Resize(width, height);
}

std::vector<gdi::Rect> TestView::TakeUpdates() {
  std::lock_guard lock(updatesMutex_);
  return std::exchange(updates_, {});
}

std::vector<gdi::Colour> PixelsIn(const std::vector<gdi::Colour>& all, int32_t width,
                                  const gdi::Rect& area) {
  std::vector<gdi::Colour> out;
  for (int32_t y = area.top; y < area.bottom; ++y)
    for (int32_t x = area.left; x < area.right; ++x)
      out.push_back(all[static_cast<size_t>(y) * width + x]);
  return out;
}

} // namespace display::testing
