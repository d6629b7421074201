// Shared by the renderer tests: a page parsed and painted on a fresh
// surface, with the pieces of text as they were drawn, and pixel readers.
#pragma once

#include "htmltitle/htmlpainter.h"
#include "htmltitle/htmlstyle.h"
#include "platform/gdi/dc.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace htmltitle {

struct Piece {
  TokenKind kind;
  std::string bytes;
  DrawnRun run; // its token pointer is dead once the page is painted
};

struct Rendering {
  std::shared_ptr<gdi::Surface> surface;
  std::vector<Piece> pieces;
};

struct RenderSetup {
  gdi::Colour background = gdi::Rgb(0, 0, 0);
  gdi::Colour text = gdi::Rgb(255, 255, 255); // as the display paints its pages
  int codePage = 949;
  // The surface is this much larger than the page on the right and below,
  // so that drawing outside the page can be seen.
  int32_t spare = 20;
  // A surface of this size instead, when it is not empty.
  gdi::Size surface;
  // Called on the context before painting, to give it a state of its own.
  std::function<void(gdi::Dc&)> prepare;
};

Rendering Render(const std::string& page, int32_t width, int32_t height,
                 const RenderSetup& setup = {});

// Where pixels accepted by the test lie; empty when none is.
gdi::Rect BoxOf(const gdi::Surface& s, const std::function<bool(gdi::Colour)>& accept,
                const gdi::Rect* within = nullptr);
int CountOf(const gdi::Surface& s, const std::function<bool(gdi::Colour)>& accept,
            const gdi::Rect* within = nullptr);
// Not the background.
std::function<bool(gdi::Colour)> Ink(gdi::Colour background);
std::function<bool(gdi::Colour)> Exactly(gdi::Colour colour);

// Writes the surface to <build>/tests/artefacts/htmltitle/<name>.png; the
// path written, or "" on failure.
std::string KeepArtefact(const gdi::Surface& s, const std::string& name);

} // namespace htmltitle
