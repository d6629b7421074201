#include "platform/gdi/surface.h"

#include "platform/gdi/surface_impl.h"
#include "platform/gdi/surface_qt.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdlib>

namespace gdi {

namespace {

bool SizeInBounds(int32_t width, int32_t height) {
  return width > 0 && height > 0 && width <= kMaxSurfaceSide && height <= kMaxSurfaceSide &&
         static_cast<int64_t>(width) * height <= kMaxSurfacePixels;
}

// 96 dots per inch.
constexpr int kDotsPerMeter = 3780;

QImage NewImage(int32_t width, int32_t height, Colour fill) {
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull())
    return image;
  image.setDotsPerMeterX(kDotsPerMeter);
  image.setDotsPerMeterY(kDotsPerMeter);
  image.fill(detail::PixelOf(fill));
  return image;
}

} // namespace

bool Surface::Impl::MarkDirtyLocked(const Rect& area) {
  const Rect bounds{0, 0, image.width(), image.height()};
  const Rect r = Intersect(area, bounds);
  if (r.IsEmpty())
    return false;
  const bool wasClean = !dirtyFlag;
  dirty = dirtyFlag ? Union(dirty, r) : r;
  dirtyFlag = true;
  return wasClean;
}

void Surface::Impl::NotifyDirty() {
  std::lock_guard lock(callbackMutex);
  if (onDirty)
    onDirty();
}

Surface::Surface() : impl_(std::make_unique<Impl>()) {}
Surface::~Surface() = default;

std::shared_ptr<Surface> Surface::Create(int32_t width, int32_t height, Colour fill) {
  if (!SizeInBounds(width, height))
    return nullptr;
  std::shared_ptr<Surface> s(new Surface());
  s->impl_->image = NewImage(width, height, fill);
  if (s->impl_->image.isNull())
    return nullptr;
  return s;
}

std::shared_ptr<Surface> Surface::FromDib(const DibView& dib) {
  if (!dib.IsValid())
    return nullptr;
  auto s = Create(dib.Width(), dib.Height());
  if (!s)
    return nullptr;
  QImage& image = s->impl_->image;
  for (int32_t y = 0; y < dib.Height(); ++y) {
    uint32_t* row = detail::RowOf(image, y);
    for (int32_t x = 0; x < dib.Width(); ++x)
      row[x] = detail::PixelOf(dib.PixelColour(x, y));
  }
  return s;
}

int32_t Surface::Width() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->image.width();
}

int32_t Surface::Height() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->image.height();
}

Size Surface::Dimensions() const {
  std::lock_guard lock(impl_->mutex);
  return Size{impl_->image.width(), impl_->image.height()};
}

bool Surface::Resize(int32_t width, int32_t height, Colour fill) {
  if (!SizeInBounds(width, height))
    return false;
  QImage next = NewImage(width, height, fill);
  if (next.isNull())
    return false;
  bool notify = false;
  {
    std::lock_guard lock(impl_->mutex);
    const QImage& old = impl_->image;
    const int w = std::min(width, old.width());
    const int h = std::min(height, old.height());
    for (int y = 0; y < h; ++y)
      std::copy_n(detail::RowOf(old, y), w, detail::RowOf(next, y));
    impl_->image = std::move(next);
    impl_->dirtyFlag = false;
    notify = impl_->MarkDirtyLocked(Rect{0, 0, width, height});
  }
  if (notify)
    impl_->NotifyDirty();
  return true;
}

Colour Surface::Pixel(int32_t x, int32_t y) const {
  std::lock_guard lock(impl_->mutex);
  const QImage& image = impl_->image;
  if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
    return kInvalidColour;
  return detail::ColourOfPixel(detail::RowOf(image, y)[x]);
}

std::vector<Colour> Surface::CopyPixels() const {
  const Size size = Dimensions();
  return CopyPixels(Rect{0, 0, size.cx, size.cy});
}

std::vector<Colour> Surface::CopyPixels(const Rect& area) const {
  if (area.IsEmpty())
    return {};
  std::vector<Colour> out(static_cast<size_t>(area.Width()) * area.Height(), kInvalidColour);
  std::lock_guard lock(impl_->mutex);
  const QImage& image = impl_->image;
  for (int32_t y = area.top; y < area.bottom; ++y) {
    if (y < 0 || y >= image.height())
      continue;
    const uint32_t* row = detail::RowOf(image, y);
    Colour* dst = out.data() + static_cast<size_t>(y - area.top) * area.Width();
    for (int32_t x = area.left; x < area.right; ++x)
      if (x >= 0 && x < image.width())
        dst[x - area.left] = detail::ColourOfPixel(row[x]);
  }
  return out;
}

void Surface::SetDirtyCallback(std::function<void()> callback) {
  std::lock_guard lock(impl_->callbackMutex);
  impl_->onDirty = std::move(callback);
}

std::optional<Rect> Surface::TakeDirty() {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->dirtyFlag)
    return std::nullopt;
  impl_->dirtyFlag = false;
  return impl_->dirty;
}

bool Surface::IsDirty() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->dirtyFlag;
}

void Surface::SetVisible(bool visible) {
  impl_->visible = visible;
}
bool Surface::IsVisible() const {
  return impl_->visible;
}
void Surface::Close() {
  // Taking the lock waits for a drawing in progress; none starts afterwards.
  std::lock_guard lock(impl_->mutex);
  impl_->closed = true;
}
bool Surface::IsClosed() const {
  return impl_->closed;
}

bool Surface::SavePng(const std::string& path) const {
  const QImage copy = CopyImage(*this);
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly))
    return false;
  if (!copy.save(&file, "PNG"))
    return false;
  return file.commit();
}

bool Surface::DumpIfEnabled(std::string_view name) const {
  const char* dir = std::getenv(kDumpDirVariable);
  if (!dir || !*dir || name.empty())
    return false;
  QDir().mkpath(QString::fromLocal8Bit(dir));
  // A name is one file name: separators would leave the folder.
  std::string safe(name);
  for (char& c : safe)
    if (c == '/' || c == '\\')
      c = '_';
  return SavePng(std::string(dir) + "/" + safe + ".png");
}

QImage CopyImage(const Surface& surface) {
  std::lock_guard lock(surface.Internals().mutex);
  return surface.Internals().image.copy();
}

QImage TakeImage(Surface& surface, std::optional<Rect>* dirty) {
  Surface::Impl& impl = surface.Internals();
  std::lock_guard lock(impl.mutex);
  if (dirty) {
    *dirty = impl.dirtyFlag ? std::optional<Rect>(impl.dirty) : std::nullopt;
    impl.dirtyFlag = false;
  }
  return impl.image.copy();
}

} // namespace gdi
