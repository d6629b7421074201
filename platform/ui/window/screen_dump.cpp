// Pictures of windows written to the dump folder when one is set: after an
// update, at most every so often, and on request.
#include "platform/ui/window/screen.h"

#include "platform/ui/window/screen_internal.h"

#include "platform/gdi/surface_impl.h"
#include "platform/win/dispatch.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QSaveFile>
#include <QTimer>

#include <chrono>
#include <cstdlib>

namespace ui {
namespace detail {

constexpr auto kDumpInterval = std::chrono::milliseconds(200);

// A window showing keyed video is written as it shows, composed with the
// video; any other as its surface holds it.
bool DumpShown(const Screen& s) {
  if (!DumpEnabled())
    return false;
  std::optional<QImage> composed = ComposedImage(s);
  if (!composed)
    return s.surface->DumpIfEnabled(DumpName(s.hwnd));
  const QString dir = QString::fromLocal8Bit(std::getenv(gdi::kDumpDirVariable));
  QDir().mkpath(dir);
  QString name = QString::fromStdString(DumpName(s.hwnd));
  name.replace('/', '_').replace('\\', '_');
  QSaveFile file(dir + "/" + name + ".png");
  return file.open(QIODevice::WriteOnly) && composed->save(&file, "PNG") && file.commit();
}

void DumpNow(Screen& s) {
  s.lastDump = std::chrono::steady_clock::now();
  DumpShown(s);
}

bool DumpEnabled() {
  const char* dir = std::getenv(gdi::kDumpDirVariable);
  return dir && *dir;
}

// Dumps after an update, at most every kDumpInterval; a later update within
// the interval is written when it ends, so the last image always lands.
void MaybeDump(Screen& s) {
  if (!DumpEnabled())
    return;
  const auto now = std::chrono::steady_clock::now();
  const auto since = now - s.lastDump;
  if (since >= kDumpInterval) {
    DumpNow(s);
    return;
  }
  if (s.dumpLater || !QAbstractEventDispatcher::instance())
    return;
  s.dumpLater = true;
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(kDumpInterval - since);
  const Hwnd hwnd = s.hwnd;
  QTimer::singleShot(static_cast<int>(wait.count()) + 1,
                     [hwnd] { win::PostMessage(hwnd, kUiDumpLater); });
}

} // namespace detail

using namespace detail;

std::string DumpName(Hwnd hwnd) {
  auto s = Find(hwnd);
  char handle[16];
  std::snprintf(handle, sizeof handle, "%08x", hwnd);
  return (s ? s->className : std::string("window")) + "-" + handle;
}

bool DumpWindow(Hwnd hwnd) {
  auto s = Find(hwnd);
  return s && DumpShown(*s);
}

} // namespace ui
