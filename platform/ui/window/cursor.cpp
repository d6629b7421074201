// Cursors: standard shapes, images and animations, and the one shown over
// the window under the mouse.
#include "platform/ui/window/cursor.h"

#include "platform/ui/window/input.h"
#include "platform/ui/window/screen_internal.h"

#include <map>

namespace ui {

Cursor::Cursor(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Cursor::~Cursor() = default;

namespace {

struct CurrentCursor {
  std::mutex mu;
  CursorHandle cursor;
};
CurrentCursor& Current() {
  static CurrentCursor* current = new CurrentCursor;
  return *current;
}

std::optional<Qt::CursorShape> ShapeOf(uint32_t id) {
  switch (id) {
  case IDC_ARROW:
    return Qt::ArrowCursor;
  case IDC_IBEAM:
    return Qt::IBeamCursor;
  case IDC_WAIT:
    return Qt::WaitCursor;
  case IDC_CROSS:
    return Qt::CrossCursor;
  case IDC_UPARROW:
    return Qt::UpArrowCursor;
  case IDC_SIZENWSE:
    return Qt::SizeFDiagCursor;
  case IDC_SIZENESW:
    return Qt::SizeBDiagCursor;
  case IDC_SIZEWE:
    return Qt::SizeHorCursor;
  case IDC_SIZENS:
    return Qt::SizeVerCursor;
  case IDC_SIZEALL:
    return Qt::SizeAllCursor;
  case IDC_NO:
    return Qt::ForbiddenCursor;
  case IDC_HAND:
    return Qt::PointingHandCursor;
  case IDC_APPSTARTING:
    return Qt::BusyCursor;
  case IDC_HELP:
    return Qt::WhatsThisCursor;
  default:
    return std::nullopt;
  }
}

bool Valid(const CursorImage& image) {
  return image.width > 0 && image.height > 0 && image.width <= kMaxCursorSide &&
         image.height <= kMaxCursorSide &&
         image.argb.size() == static_cast<size_t>(image.width) * image.height &&
         image.hotspot.x >= 0 && image.hotspot.y >= 0 && image.hotspot.x < image.width &&
         image.hotspot.y < image.height;
}

QImage ImageOf(const CursorImage& image) {
  QImage out(image.width, image.height, QImage::Format_ARGB32);
  for (int32_t y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(out.scanLine(y));
    std::copy_n(image.argb.data() + static_cast<size_t>(y) * image.width, image.width, row);
  }
  return out;
}

constexpr uint32_t kMinFrameMs = 10;

} // namespace

CursorHandle LoadCursor(uint32_t id) {
  static std::mutex mu;
  static auto* loaded = new std::map<uint32_t, CursorHandle>;
  const auto shape = ShapeOf(id);
  if (!shape)
    return nullptr;
  std::lock_guard lock(mu);
  CursorHandle& slot = (*loaded)[id];
  if (!slot) {
    auto impl = std::make_unique<Cursor::Impl>();
    impl->shape = *shape;
    slot = std::make_shared<const Cursor>(std::move(impl));
  }
  return slot;
}

CursorHandle CreateCursor(const CursorImage& image) {
  return CreateAnimatedCursor({image}, {kMinFrameMs});
}

CursorHandle CreateAnimatedCursor(const std::vector<CursorImage>& frames,
                                  const std::vector<uint32_t>& frameMs) {
  if (frames.empty() || frames.size() > kMaxCursorFrames || frameMs.size() != frames.size())
    return nullptr;
  auto impl = std::make_unique<Cursor::Impl>();
  for (size_t i = 0; i < frames.size(); ++i) {
    if (!Valid(frames[i]))
      return nullptr;
    impl->frames.push_back(ImageOf(frames[i]));
    impl->hotspots.push_back(frames[i].hotspot);
    impl->frameMs.push_back(std::max(frameMs[i], kMinFrameMs));
  }
  return std::make_shared<const Cursor>(std::move(impl));
}

size_t CursorFrameCount(const CursorHandle& cursor) {
  if (!cursor)
    return 0;
  const auto& impl = cursor->Internals();
  return impl.frames.empty() ? 1 : impl.frames.size();
}

CursorHandle SetCursor(CursorHandle cursor) {
  CursorHandle previous;
  {
    auto& current = Current();
    std::lock_guard lock(current.mu);
    previous = current.cursor;
    current.cursor = cursor;
  }
  const Hwnd capture = GetCapture();
  const Hwnd target = capture ? capture : detail::MouseWindow();
  if (auto s = detail::FindOwn(target); s && s->widget)
    s->widget->ShowCursor(cursor);
  return previous;
}

CursorHandle GetCursor() {
  auto& current = Current();
  std::lock_guard lock(current.mu);
  return current.cursor;
}

namespace detail {

void ApplyClassCursor(Screen& s) {
  if (s.widget)
    s.widget->ShowCursor(ClassCursorOf(s.className));
}

} // namespace detail
} // namespace ui
