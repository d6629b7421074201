#include "platform/ui/window/colour_key.h"

#include "platform/gdi/surface_impl.h"
#include "platform/ui/window/screen_internal.h"
#include "platform/win/dispatch.h"

#include <QPainter>

#include <algorithm>
#include <map>
#include <mutex>

namespace ui {
namespace detail {
namespace {

struct Keyed {
  uint32_t key = 0; // as a pixel
  KeyFrame frame;
  gdi::Rect dest;
  uint64_t count = 0;
  bool presentPosted = false;
};

struct Table {
  std::mutex mu;
  std::map<Hwnd, Keyed> tops;
};

Table& T() {
  static Table* table = new Table;
  return *table;
}

std::shared_ptr<Screen> TopOf(std::shared_ptr<Screen> s) {
  for (int depth = 0; s && IsChild(*s) && depth < 64; ++depth) {
    auto p = LocalParent(*s);
    if (!p)
      break;
    s = p;
  }
  return s;
}

// The keyed frame that reaches window s, its destination in s's own client
// coordinates.
std::optional<Keyed> KeyedFor(const Screen& s) {
  const Hwnd top = [&] {
    auto self = Find(s.hwnd);
    auto t = self ? TopOf(self) : nullptr;
    return t ? t->hwnd : s.hwnd;
  }();
  Keyed k;
  {
    Table& t = T();
    std::lock_guard lock(t.mu);
    auto it = t.tops.find(top);
    if (it == t.tops.end() || !it->second.frame.pixels)
      return std::nullopt;
    k = it->second;
  }
  if (top != s.hwnd) {
    auto topScreen = Find(top);
    if (!topScreen)
      return std::nullopt;
    const gdi::Point o = OriginOf(s);
    const gdi::Point to = OriginOf(*topScreen);
    k.dest = gdi::Offset(k.dest, to.x - o.x, to.y - o.y);
  }
  return k;
}

} // namespace

void ComposeKeyed(QImage& image, QPoint origin, const Keyed& k) {
  const KeyFrame& f = k.frame;
  const int32_t dw = k.dest.Width(), dh = k.dest.Height();
  if (dw <= 0 || dh <= 0 || f.width <= 0 || f.height <= 0)
    return;
  const std::vector<uint32_t>& px = *f.pixels;
  const bool same = dw == f.width && dh == f.height;
  const uint32_t key = k.key;
  // The columns of the image the destination covers.
  const int32_t x0 = std::max(0, k.dest.left - origin.x());
  const int32_t x1 = std::min(image.width(), k.dest.left + dw - origin.x());
  if (x0 >= x1)
    return;
  for (int y = 0; y < image.height(); ++y) {
    const int32_t dy = origin.y() + y - k.dest.top;
    if (dy < 0 || dy >= dh)
      continue;
    const int32_t fy = same ? dy : static_cast<int32_t>(int64_t{dy} * f.height / dh);
    const uint32_t* src = px.data() + static_cast<size_t>(fy) * f.width;
    uint32_t* row = gdi::detail::RowOf(image, y);
    const int32_t shift = origin.x() - k.dest.left; // dx = x + shift
    if (same) {
      // A select without branches, which the compiler turns into vector code.
      const uint32_t* from = src + shift;
      for (int32_t x = x0; x < x1; ++x)
        row[x] = row[x] == key ? (from[x] | 0xFF000000u) : row[x];
      continue;
    }
    for (int32_t x = x0; x < x1; ++x)
      if (row[x] == key)
        row[x] = src[static_cast<int32_t>(int64_t{x + shift} * f.width / dw)] | 0xFF000000u;
  }
}

bool KeyedReaches(const Screen& s) {
  return KeyedFor(s).has_value();
}

void DrawKeyed(QPainter& painter, const Screen& s, QImage& part, const QRect& shown) {
  if (auto k = KeyedFor(s))
    ComposeKeyed(part, shown.topLeft(), *k);
  painter.drawImage(shown.topLeft(), part);
}

namespace {

void UpdateTree(const std::shared_ptr<Screen>& s, const gdi::Rect& destInTop, gdi::Point topOrigin,
                int depth) {
  if (!s || depth > 64)
    return;
  if (ScreenWidget* w = s->widget) {
    const gdi::Point o = OriginOf(*s);
    const gdi::Rect local = gdi::Offset(destInTop, topOrigin.x - o.x, topOrigin.y - o.y);
    w->update(ToQRect(local));
  }
  for (auto& child : ChildrenOf(s->hwnd))
    UpdateTree(child, destInTop, topOrigin, depth + 1);
}

} // namespace

void PresentKeyed(Screen& s) {
  gdi::Rect dest;
  {
    Table& t = T();
    std::lock_guard lock(t.mu);
    auto it = t.tops.find(s.hwnd);
    if (it == t.tops.end())
      return;
    it->second.presentPosted = false;
    dest = it->second.dest;
  }
  auto self = Find(s.hwnd);
  UpdateTree(self, dest, OriginOf(s), 0);
}

void ForgetKeyed(Hwnd hwnd) {
  Table& t = T();
  std::lock_guard lock(t.mu);
  t.tops.erase(hwnd);
}

} // namespace detail

using namespace detail;

bool SetKeyedFrame(Hwnd top, gdi::Colour key, const KeyFrame& frame, const gdi::Rect& dest) {
  if (!Find(top) || !frame.pixels || frame.width <= 0 || frame.height <= 0 ||
      frame.pixels->size() < static_cast<size_t>(frame.width) * frame.height)
    return false;
  bool post = false;
  {
    Table& t = T();
    std::lock_guard lock(t.mu);
    Keyed& k = t.tops[top];
    k.key = gdi::detail::PixelOf(key);
    k.frame = frame;
    k.dest = dest;
    ++k.count;
    if (!k.presentPosted)
      post = k.presentPosted = true;
  }
  if (post)
    win::PostMessage(top, kUiKeyed);
  return true;
}

void ClearKeyedFrame(Hwnd top) {
  bool post = false;
  {
    Table& t = T();
    std::lock_guard lock(t.mu);
    auto it = t.tops.find(top);
    if (it == t.tops.end() || !it->second.frame.pixels)
      return;
    it->second.frame = KeyFrame{};
    // The old destination is shown again in the windows' own colours.
    if (!it->second.presentPosted)
      post = it->second.presentPosted = true;
  }
  if (post)
    win::PostMessage(top, kUiKeyed);
}

uint64_t KeyedFrameCount(Hwnd top) {
  Table& t = T();
  std::lock_guard lock(t.mu);
  auto it = t.tops.find(top);
  return it == t.tops.end() ? 0 : it->second.count;
}

namespace detail {

std::optional<QImage> ComposedImage(const Screen& s) {
  auto k = KeyedFor(s);
  if (!k)
    return std::nullopt;
  QImage image;
  {
    auto& impl = s.surface->Internals();
    std::lock_guard lock(impl.mutex);
    image = impl.image.copy();
  }
  ComposeKeyed(image, QPoint(0, 0), *k);
  return image;
}

} // namespace detail

std::optional<std::vector<gdi::Colour>> ComposedPixels(Hwnd hwnd) {
  auto s = Find(hwnd);
  if (!s)
    return std::nullopt;
  QImage image;
  if (auto composed = ComposedImage(*s)) {
    image = std::move(*composed);
  } else {
    auto& impl = s->surface->Internals();
    std::lock_guard lock(impl.mutex);
    image = impl.image.copy();
  }
  std::vector<gdi::Colour> out;
  out.reserve(static_cast<size_t>(image.width()) * image.height());
  for (int y = 0; y < image.height(); ++y) {
    const uint32_t* row = gdi::detail::RowOf(std::as_const(image), y);
    for (int x = 0; x < image.width(); ++x)
      out.push_back(gdi::detail::ColourOfPixel(row[x]));
  }
  return out;
}

} // namespace ui
