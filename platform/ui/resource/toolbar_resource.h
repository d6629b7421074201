// Tool-bar resources of a bundle: "toolbars/<id>.txt" lists the buttons and
// separators in order, "bitmaps/<id>.bmp" is the strip of their images side
// by side, one per button (separators have none):
//
//   SIZE 16 15        the size of one image (16 by 15 when absent; first)
//   BUTTON 57600      a button giving the command
//   SEPARATOR
//
// Blank lines and lines starting with '#' are skipped.
#pragma once

#include "platform/gdi/dib.h"
#include "platform/ui/resource/resource_text.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ui {

inline constexpr int kMaxToolBarButtons = 128;
inline constexpr int kMaxToolBarImageSide = 128;

struct ToolBarResource {
  int32_t imageWidth = 16;
  int32_t imageHeight = 15;
  // The commands in order; 0 is a separator.
  std::vector<uint16_t> items;
  // The image strip; empty when loaded from text alone.
  std::optional<gdi::Dib> images;

  // How many items are buttons.
  int ButtonCount() const;
};

std::optional<ToolBarResource> ParseToolBarResource(std::string_view text,
                                                    ResourceError* error = nullptr);
// The tool bar with its images. Fails (line 0) when the strip is missing,
// no bitmap, or narrower or lower than its buttons need.
std::optional<ToolBarResource> LoadToolBarResource(const ResourceFiles& files, uint32_t id,
                                                   ResourceError* error = nullptr);

} // namespace ui
