#include "display/settings.h"

#include "platform/sys/ini.h"
#include "platform/sys/paths.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace display {
namespace {

int32_t GetInt(const std::string& path, std::string_view section, std::string_view key,
               int32_t def) {
  return sys::IniGetInt(path, section, key, def);
}

std::string Key(std::string_view prefix, std::string_view suffix) {
  return std::string(prefix) + std::string(suffix);
}

} // namespace

std::optional<std::string> SettingsPathToLinux(std::string_view stored) {
  if (stored.empty() || stored.size() > kMaxSettingsPath)
    return std::nullopt;
  return sys::ToLinuxPath(stored);
}

WordsSettings ReadWordsSettings(const std::string& configPath) {
  WordsSettings s;
  s.progressDuration = GetInt(configPath, "Words", "ProgressDuration", s.progressDuration);
  s.byChar = GetInt(configPath, "Words", "ByChar", s.byChar);
  s.smallFont = GetInt(configPath, "Words", "SmallFont", s.smallFont);
  return s;
}

float ParseFactor(std::string_view text) {
  text = text.substr(0, 10);
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
    ++i;
  text.remove_prefix(i);
  // from_chars takes no '+', atof does.
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
      return 0.0f;
  }
  float value = 0.0f;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  if (ec != std::errc() || !std::isfinite(value))
    return 0.0f;
  return negative ? -value : value;
}

LyricFactors ReadLyricFactors(const std::string& configPath) {
  auto read = [&](std::string_view key, std::string_view def) {
    return ParseFactor(sys::IniGetString(configPath, "LyricPosition", key, def));
  };
  return LyricFactors{read("Factor_S1", "1.0"), read("Factor_L1", "1.2"), read("Factor_S2", "0.14"),
                      read("Factor_L2", "0.18")};
}

gdi::Rect ReadViewRect(const std::string& configPath, std::string_view prefix,
                       const gdi::Rect& current) {
  return gdi::Rect{GetInt(configPath, "Words", Key(prefix, "_x"), current.left),
                   GetInt(configPath, "Words", Key(prefix, "_y"), current.top),
                   GetInt(configPath, "Words", Key(prefix, "_cx"), current.right),
                   GetInt(configPath, "Words", Key(prefix, "_cy"), current.bottom)};
}

bool WriteViewRect(const std::string& configPath, std::string_view prefix, const gdi::Rect& rect) {
  return sys::IniUpdate(configPath, [&](sys::IniDocument& doc) {
    return doc.Set("Words", Key(prefix, "_x"), std::to_string(rect.left)) &&
           doc.Set("Words", Key(prefix, "_y"), std::to_string(rect.top)) &&
           doc.Set("Words", Key(prefix, "_cx"), std::to_string(rect.right)) &&
           doc.Set("Words", Key(prefix, "_cy"), std::to_string(rect.bottom));
  });
}

gdi::Rect ReadFrameRect(const std::string& configPath) {
  return gdi::Rect{GetInt(configPath, "Words", "x", kDefaultFrameRect.left),
                   GetInt(configPath, "Words", "y", kDefaultFrameRect.top),
                   GetInt(configPath, "Words", "cx", kDefaultFrameRect.right),
                   GetInt(configPath, "Words", "cy", kDefaultFrameRect.bottom)};
}

namespace {

gdi::Rect PullOntoScreen(gdi::Rect r, const gdi::Rect& screen) {
  const int32_t w = screen.Width(), h = screen.Height();
  if (r.left < 0 || r.left > w)
    r.left = 0;
  if (r.top < 0 || r.top > h)
    r.top = 0;
  r.right = std::min(r.right, w);
  r.bottom = std::min(r.bottom, h);
  return r;
}

} // namespace

gdi::Rect FitFrameRect(const gdi::Rect& rect, const gdi::Rect& screen, gdi::Size minSize) {
  gdi::Rect r = PullOntoScreen(rect, screen);
  if (r.Width() < std::max(minSize.cx, 1) || r.Height() < std::max(minSize.cy, 1))
    r = PullOntoScreen(kDefaultFrameRect, screen);
  return r;
}

std::optional<std::string> ReadBackgroundFolder(const std::string& configPath) {
  std::string value = sys::IniGetString(configPath, "Image", "Default", "*");
  if (value.empty() || value == "*")
    return std::nullopt;
  // One trailing separator goes.
  if (value.back() == '\\' || value.back() == '/')
    value.pop_back();
  auto path = SettingsPathToLinux(value);
  if (!path)
    return std::nullopt;
  while (path->size() > 1 && path->back() == '/')
    path->pop_back();
  return path;
}

FrameSettings ReadFrameSettings(const std::string& configPath) {
  FrameSettings s;
  s.fixedFrame = GetInt(configPath, "Config", "FixedFrame", s.fixedFrame);
  s.display = GetInt(configPath, "Words", "Display", s.display);
  s.imageIsFix = GetInt(configPath, "Image", "IsFix", s.imageIsFix);
  s.imageType = GetInt(configPath, "Image", "Type", s.imageType);
  s.asyncLoading = GetInt(configPath, "Image", "AsyncLoading", s.asyncLoading);
  s.imageChange = GetInt(configPath, "Image", "Change", s.imageChange);
  s.imageMode = GetInt(configPath, "Options", "ImageMode", s.imageMode);
  s.backgroundFolder = ReadBackgroundFolder(configPath);
  return s;
}

bool WriteFrameState(const std::string& configPath, const std::optional<gdi::Rect>& rect,
                     int32_t display) {
  return sys::IniUpdate(configPath, [&](sys::IniDocument& doc) {
    if (rect && !(doc.Set("Words", "x", std::to_string(rect->left)) &&
                  doc.Set("Words", "y", std::to_string(rect->top)) &&
                  doc.Set("Words", "cx", std::to_string(rect->right)) &&
                  doc.Set("Words", "cy", std::to_string(rect->bottom))))
      return false;
    return doc.Set("Words", "Display", std::to_string(display));
  });
}

OverlaySettings ReadOverlaySettings(const std::string& configPath) {
  OverlaySettings s;
  s.source = GetInt(configPath, "Overlay", "Source", s.source);
  s.videoX = GetInt(configPath, "Overlay", "Video x", s.videoX);
  s.videoY = GetInt(configPath, "Overlay", "Video y", s.videoY);
  s.destX = GetInt(configPath, "Overlay", "Dest x", s.destX);
  s.destY = GetInt(configPath, "Overlay", "Dest y", s.destY);
  s.brightness = GetInt(configPath, "Overlay", "brightness", s.brightness);
  s.saturation = GetInt(configPath, "Overlay", "saturation", s.saturation);
  s.contrast = GetInt(configPath, "Overlay", "contrast", s.contrast);
  s.hue = GetInt(configPath, "Overlay", "hue", s.hue);
  s.videoKeyCorrect = GetInt(configPath, "Overlay", "video key correct", s.videoKeyCorrect);
  return s;
}

bool WriteOverlayPositions(const std::string& configPath, const OverlaySettings& s) {
  return sys::IniUpdate(configPath, [&](sys::IniDocument& doc) {
    return doc.Set("Overlay", "Video X", std::to_string(std::max(s.videoX, 0))) &&
           doc.Set("Overlay", "Video Y", std::to_string(s.videoY)) &&
           doc.Set("Overlay", "Dest X", std::to_string(s.destX)) &&
           doc.Set("Overlay", "Dest Y", std::to_string(s.destY));
  });
}

bool WriteOverlayPicture(const std::string& configPath, const OverlaySettings& s,
                         bool sourceChanged) {
  return sys::IniUpdate(configPath, [&](sys::IniDocument& doc) {
    bool ok = doc.Set("Overlay", "Dest X", std::to_string(s.destX)) &&
              doc.Set("Overlay", "Dest y", std::to_string(s.destY)) &&
              doc.Set("Overlay", "brightness", std::to_string(s.brightness)) &&
              doc.Set("Overlay", "saturation", std::to_string(s.saturation)) &&
              doc.Set("Overlay", "contrast", std::to_string(s.contrast)) &&
              doc.Set("Overlay", "hue", std::to_string(s.hue)) &&
              doc.Set("Overlay", "video key correct", std::to_string(s.videoKeyCorrect));
    if (ok && sourceChanged)
      ok = doc.Set("Overlay", "Source", std::to_string(s.source));
    return ok;
  });
}

std::string ReadScorePagePath(const std::string& configPath, const std::string& programFolder) {
  const std::string fallback = programFolder + "/Score.htm";
  // A longer value would be cut into another file's name: it is refused.
  const std::string value = sys::IniGetString(configPath, "Score", "File", "");
  if (value.empty() || value.size() > 256)
    return fallback;
  return SettingsPathToLinux(value).value_or(fallback);
}

std::string ReadScoreRemark(const std::string& configPath, int32_t score) {
  char buffer[126];
  size_t n =
      sys::IniGetString(configPath, "Score", std::to_string(score), "", buffer, sizeof buffer);
  if (n == 0)
    return " ";
  return std::string(buffer, n);
}

} // namespace display
