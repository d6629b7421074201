#include "platform/ui/resource/toolbar_resource.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace ui {
namespace {

std::optional<int32_t> ParseSide(std::string_view word) {
  int32_t value = 0;
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || ec != std::errc() || end != word.data() + word.size() || value < 1 ||
      value > kMaxToolBarImageSide)
    return std::nullopt;
  return value;
}

} // namespace

int ToolBarResource::ButtonCount() const {
  return static_cast<int>(std::count_if(items.begin(), items.end(), [](uint16_t c) { return c; }));
}

std::optional<ToolBarResource> ParseToolBarResource(std::string_view text, ResourceError* error) {
  ToolBarResource bar;
  ResourceLines lines(text);
  std::string_view line;
  bool sized = false;
  while (lines.Next(line)) {
    const int at = lines.Number();
    auto [word, rest] = SplitWord(line);
    if (word == "SIZE") {
      if (sized || !bar.items.empty())
        return Fail(error, at, "SIZE comes once, before the buttons");
      auto [w, h] = SplitWord(rest);
      auto width = ParseSide(w), height = ParseSide(h);
      if (!width || !height)
        return Fail(error, at, "an image side is no number from 1 to 128");
      bar.imageWidth = *width;
      bar.imageHeight = *height;
      sized = true;
    } else if (word == "BUTTON" || word == "SEPARATOR") {
      if (static_cast<int>(bar.items.size()) >= kMaxToolBarButtons)
        return Fail(error, at, "more than 128 items");
      uint16_t command = 0;
      if (word == "BUTTON") {
        auto id = ParseCommandId(rest);
        if (!id)
          return Fail(error, at, "command id is no number from 1 to 65535");
        command = *id;
      } else if (!rest.empty()) {
        return Fail(error, at, "text after SEPARATOR");
      }
      bar.items.push_back(command);
    } else {
      return Fail(error, at, "unknown keyword " + std::string(word));
    }
  }
  return bar;
}

std::optional<ToolBarResource> LoadToolBarResource(const ResourceFiles& files, uint32_t id,
                                                   ResourceError* error) {
  auto text = ResourceText(files, ResourcePath("toolbars", id, ".txt"), error);
  if (!text)
    return std::nullopt;
  auto bar = ParseToolBarResource(*text, error);
  if (!bar)
    return std::nullopt;
  const std::string path = ResourcePath("bitmaps", id, ".bmp");
  auto bytes = files(path);
  if (!bytes)
    return Fail(error, 0, "no " + path);
  auto dib = gdi::Dib::FromBmpFile(*bytes);
  if (!dib)
    return Fail(error, 0, path + " is no bitmap");
  if (dib->Width() / bar->imageWidth < bar->ButtonCount() ||
      std::abs(dib->Height()) < bar->imageHeight)
    return Fail(error, 0, path + " holds fewer images than the tool bar has buttons");
  bar->images = std::move(*dib);
  return bar;
}

} // namespace ui
