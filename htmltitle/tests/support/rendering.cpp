#include "rendering.h"

#include "htmltitle/tokenlist.h"

#include <filesystem>

namespace htmltitle {

Rendering Render(const std::string& page, int32_t width, int32_t height, const RenderSetup& setup) {
  std::vector<char> text(page.begin(), page.end());
  text.push_back('\0');
  auto list = HtmlTokenList::Parse(text.data());
  Rendering out;
  const gdi::Size size =
      setup.surface.cx > 0 && setup.surface.cy > 0
          ? setup.surface
          : gdi::Size{std::max(1, width + setup.spare), std::max(1, height + setup.spare)};
  out.surface = gdi::Surface::Create(size.cx, size.cy, setup.background);
  if (!list || !out.surface) {
    return out;
  }
  gdi::Dc dc(out.surface);
  dc.SetSystemCodePage(setup.codePage);
  dc.SetTextColor(setup.text);
  if (setup.prepare) {
    setup.prepare(dc);
  }
  PaintTokens(dc, list->First(), width, height, [&](const DrawnRun& run) {
    Piece piece{run.token->kind, std::string(run.token->text.get() + run.offset, run.length), run};
    piece.run.token = nullptr;
    out.pieces.push_back(std::move(piece));
  });
  return out;
}

gdi::Rect BoxOf(const gdi::Surface& s, const std::function<bool(gdi::Colour)>& accept,
                const gdi::Rect* within) {
  const gdi::Rect area = within ? *within : gdi::Rect{0, 0, s.Width(), s.Height()};
  const std::vector<gdi::Colour> px = s.CopyPixels(area);
  gdi::Rect box{area.right, area.bottom, area.left, area.top};
  for (int32_t y = area.top; y < area.bottom; ++y) {
    for (int32_t x = area.left; x < area.right; ++x) {
      if (accept(px[static_cast<size_t>(y - area.top) * area.Width() + (x - area.left)])) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
    }
  }
  return box.IsEmpty() ? gdi::Rect{} : box;
}

int CountOf(const gdi::Surface& s, const std::function<bool(gdi::Colour)>& accept,
            const gdi::Rect* within) {
  int n = 0;
  for (gdi::Colour c : within ? s.CopyPixels(*within) : s.CopyPixels()) {
    n += accept(c) ? 1 : 0;
  }
  return n;
}

std::function<bool(gdi::Colour)> Ink(gdi::Colour background) {
  return [background](gdi::Colour c) { return c != background; };
}

std::function<bool(gdi::Colour)> Exactly(gdi::Colour colour) {
  return [colour](gdi::Colour c) { return c == colour; };
}

std::string KeepArtefact(const gdi::Surface& s, const std::string& name) {
  const std::filesystem::path folder =
      std::filesystem::path(VEXO_TESTS_DIR) / "artefacts" / "htmltitle";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string path = (folder / (name + ".png")).string();
  return s.SavePng(path) ? path : std::string();
}

} // namespace htmltitle
