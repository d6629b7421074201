// Window classes and windows of this process: creation and destruction with
// their objects, properties, and the search across processes.
#include "platform/sys/ascii.h"
#include "platform/sys/clock.h"
#include "platform/sys/log.h"
#include "platform/win/dispatch.h"
#include "platform/win/internal.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <unistd.h>

namespace win::detail {
namespace {

std::string Lower(std::string_view s) {
  return sys::AsciiLowered(s);
}

void ReleaseObject(WindowRec& rec) {
  Window* object = rec.object;
  rec.object = nullptr;
  if (rec.owned) {
    rec.owned.reset();
    return;
  }
  if (object) {
    WindowAccess::SetHwnd(*object, 0);
    try {
      object->Detached();
    } catch (...) {
      sys::Warn("win", "Detached() of window %08x threw", rec.hwnd);
    }
  }
}

void Finalize(const std::shared_ptr<WindowRec>& rec) {
  if (rec->finalized)
    return;
  rec->finalized = true;
  rec->queue->DropTimersOf(rec->hwnd);
  {
    auto& reg = Reg();
    sys::MutexLock lock(reg.mu);
    reg.windows.erase(rec->hwnd);
  }
  PublishWindows();
  if (rec->callDepth == 0)
    ReleaseObject(*rec);
}

std::vector<std::shared_ptr<WindowRec>> OwnChildren(Hwnd parent) {
  std::vector<std::shared_ptr<WindowRec>> out;
  auto& reg = Reg();
  auto self = std::this_thread::get_id();
  {
    sys::MutexLock lock(reg.mu);
    for (auto& [h, rec] : reg.windows)
      if (rec->parent == parent && rec->owner == self)
        out.push_back(rec);
  }
  std::sort(out.begin(), out.end(),
            [](const auto& a, const auto& b) { return a->createdNs < b->createdNs; });
  return out;
}

void SendDestroy(const std::shared_ptr<WindowRec>& rec) {
  rec->destroying = true;
  CallWindow(rec, WM_DESTROY, 0, 0);
  for (auto& child : OwnChildren(rec->hwnd))
    if (!child->destroying)
      SendDestroy(child);
}

void SendNcDestroy(const std::shared_ptr<WindowRec>& rec) {
  for (auto& child : OwnChildren(rec->hwnd)) {
    if (child->finalized)
      continue;
    if (!child->destroying)
      SendDestroy(child);
    SendNcDestroy(child);
  }
  CallWindow(rec, WM_NCDESTROY, 0, 0);
  Finalize(rec);
}

bool IsRealHandle(Hwnd h) {
  return h != 0 && h != kHwndMessage;
}

} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return sys::EqualIgnoringAsciiCase(a, b);
}

Registry& Reg() {
  // Never destroyed: threads ending at exit still unregister their windows.
  static Registry* registry = new Registry;
  return *registry;
}

std::shared_ptr<WindowRec> Registry::Lookup(Hwnd h) {
  sys::MutexLock lock(mu);
  auto it = windows.find(h);
  return it == windows.end() ? nullptr : it->second;
}

std::shared_ptr<WindowRec> Registry::LookupOwn(Hwnd h) {
  auto rec = Lookup(h);
  if (!rec || rec->owner != std::this_thread::get_id() || rec->finalized)
    return nullptr;
  return rec;
}

FindHit Registry::FindLocal(Hwnd parent, const std::optional<std::string>& className,
                            const std::optional<std::string>& title) {
  FindHit best;
  sys::MutexLock lock(mu);
  for (auto& [h, rec] : windows) {
    if (rec->parent != parent)
      continue;
    if (className && !EqualsNoCase(rec->className, *className))
      continue;
    if (title && !EqualsNoCase(rec->title, *title))
      continue;
    if (!best.hwnd || rec->createdNs < best.createdNs ||
        (rec->createdNs == best.createdNs && h < best.hwnd))
      best = {h, rec->createdNs};
  }
  return best;
}

std::optional<Description> Registry::Describe(Hwnd h) {
  sys::MutexLock lock(mu);
  auto it = windows.find(h);
  if (it == windows.end())
    return std::nullopt;
  const WindowRec& rec = *it->second;
  return Description{rec.parent, static_cast<uint32_t>(getpid()), rec.style, rec.className,
                     rec.title};
}

LResult CallWindow(const std::shared_ptr<WindowRec>& rec, uint32_t message, WParam wParam,
                   LParam lParam) {
  ++rec->callDepth;
  LResult result = 0;
  try {
    result = rec->object ? rec->object->WindowProc(message, wParam, lParam)
                         : DefWindowProc(rec->hwnd, message, wParam, lParam);
  } catch (const std::exception& e) {
    sys::Warn("win", "window %08x threw on message 0x%04x: %s", rec->hwnd, message, e.what());
  } catch (...) {
    sys::Warn("win", "window %08x threw on message 0x%04x", rec->hwnd, message);
  }
  // A window destroyed during its own call keeps its object until the
  // outermost call has returned.
  if (--rec->callDepth == 0 && rec->finalized)
    ReleaseObject(*rec);
  return result;
}

void DropThreadWindows(std::thread::id owner) {
  std::vector<std::shared_ptr<WindowRec>> gone;
  {
    auto& reg = Reg();
    sys::MutexLock lock(reg.mu);
    for (auto it = reg.windows.begin(); it != reg.windows.end();) {
      if (it->second->owner == owner) {
        gone.push_back(it->second);
        it = reg.windows.erase(it);
      } else {
        ++it;
      }
    }
  }
  if (!gone.empty())
    PublishWindows();
  for (auto& rec : gone) {
    rec->finalized = true;
    if (rec->callDepth == 0)
      ReleaseObject(*rec);
  }
}

} // namespace win::detail

namespace win {

using namespace detail;

LResult Window::WindowProc(uint32_t message, WParam wParam, LParam lParam) {
  return DefWindowProc(hwnd_, message, wParam, lParam);
}

LResult DefWindowProc(Hwnd hwnd, uint32_t message, WParam, LParam lParam) {
  switch (message) {
  case WM_NCCREATE:
    return 1;
  case WM_CLOSE:
    DestroyWindow(hwnd);
    return 0;
  case WM_SETTEXT:
    return lParam && SetWindowText(hwnd, reinterpret_cast<const char*>(lParam)) ? 1 : 0;
  default:
    return 0;
  }
}

bool RegisterClass(const WindowClass& windowClass) {
  if (windowClass.name.empty() || !windowClass.factory)
    return false;
  auto& reg = Reg();
  sys::MutexLock lock(reg.mu);
  return reg.classes.emplace(Lower(windowClass.name), std::make_shared<WindowClass>(windowClass))
      .second;
}

bool UnregisterClass(std::string_view name) {
  auto& reg = Reg();
  sys::MutexLock lock(reg.mu);
  return reg.classes.erase(Lower(name)) > 0;
}

bool IsClassRegistered(std::string_view name) {
  auto& reg = Reg();
  sys::MutexLock lock(reg.mu);
  return reg.classes.count(Lower(name)) > 0;
}

Hwnd CreateWindow(const CreateParams& params) {
  std::shared_ptr<const WindowClass> cls;
  {
    auto& reg = Reg();
    sys::MutexLock lock(reg.mu);
    auto it = reg.classes.find(Lower(params.className));
    if (it != reg.classes.end())
      cls = it->second;
  }
  if (!cls)
    return 0;
  if (IsRealHandle(params.parent) && !IsWindow(params.parent))
    return 0;
  if (!EnsureEndpoint())
    return 0;
  Hwnd hwnd = AllocateHandle();
  if (!hwnd)
    return 0;

  auto queue = CurrentQueue();
  queue->EnsurePump();
  auto rec = std::make_shared<WindowRec>();
  rec->hwnd = hwnd;
  rec->className = cls->name;
  rec->id = params.id;
  rec->exStyle = params.exStyle;
  rec->createdNs = static_cast<uint64_t>(sys::MonotonicNs());
  rec->queue = queue;
  rec->owner = std::this_thread::get_id();
  rec->title = params.title;
  rec->parent = params.parent;
  rec->style = params.style;
  if (params.object) {
    rec->object = params.object;
  } else {
    try {
      rec->owned = cls->factory();
    } catch (...) {
      sys::Warn("win", "the factory of class %s threw", cls->name.c_str());
    }
    rec->object = rec->owned.get();
  }
  if (!rec->object)
    return 0;
  WindowAccess::SetHwnd(*rec->object, hwnd);
  {
    auto& reg = Reg();
    sys::MutexLock lock(reg.mu);
    reg.windows.emplace(hwnd, rec);
  }
  PublishWindows();

  CreateStruct cs;
  cs.createParam = params.createParam;
  cs.parent = params.parent == kHwndMessage ? 0 : params.parent;
  cs.id = params.id;
  cs.style = params.style;
  cs.exStyle = params.exStyle;
  cs.x = params.x;
  cs.y = params.y;
  cs.width = params.width;
  cs.height = params.height;
  cs.className = cls->name;
  cs.title = params.title;
  if (CallWindow(rec, WM_NCCREATE, 0, reinterpret_cast<LParam>(&cs)) == 0) {
    if (!rec->finalized) {
      rec->destroying = true;
      CallWindow(rec, WM_NCDESTROY, 0, 0);
      Finalize(rec);
    }
    return 0;
  }
  if (rec->finalized)
    return 0;
  if (CallWindow(rec, WM_CREATE, 0, reinterpret_cast<LParam>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return 0;
  }
  return rec->finalized ? 0 : hwnd;
}

bool DestroyWindow(Hwnd hwnd) {
  auto rec = Reg().LookupOwn(hwnd);
  if (!rec || rec->destroying)
    return false;
  SendDestroy(rec);
  SendNcDestroy(rec);
  return true;
}

bool IsWindow(Hwnd hwnd) {
  if (!IsRealHandle(hwnd))
    return false;
  if (IsLocalHandle(hwnd))
    return Reg().Lookup(hwnd) != nullptr;
  return RemoteDescribe(hwnd).has_value();
}

Window* GetWindowObject(Hwnd hwnd) {
  auto rec = Reg().LookupOwn(hwnd);
  return rec ? rec->object : nullptr;
}

static std::optional<Description> DescribeAny(Hwnd hwnd) {
  if (!IsRealHandle(hwnd))
    return std::nullopt;
  if (IsLocalHandle(hwnd))
    return Reg().Describe(hwnd);
  return RemoteDescribe(hwnd);
}

std::optional<std::string> GetWindowText(Hwnd hwnd) {
  auto d = DescribeAny(hwnd);
  return d ? std::optional(d->title) : std::nullopt;
}

std::optional<std::string> GetClassName(Hwnd hwnd) {
  auto d = DescribeAny(hwnd);
  return d ? std::optional(d->className) : std::nullopt;
}

Hwnd GetParent(Hwnd hwnd) {
  auto d = DescribeAny(hwnd);
  return d && d->parent != kHwndMessage ? d->parent : 0;
}

uint32_t GetWindowProcessId(Hwnd hwnd) {
  auto d = DescribeAny(hwnd);
  return d ? d->pid : 0;
}

bool SetWindowText(Hwnd hwnd, std::string_view title) {
  {
    auto& reg = Reg();
    sys::MutexLock lock(reg.mu);
    auto it = reg.windows.find(hwnd);
    if (it == reg.windows.end())
      return false;
    if (it->second->title == title)
      return true;
    it->second->title = title;
  }
  PublishWindows();
  return true;
}

uint32_t GetDlgCtrlId(Hwnd hwnd) {
  auto rec = Reg().Lookup(hwnd);
  return rec ? rec->id : 0;
}

bool SetDlgCtrlId(Hwnd hwnd, uint32_t id) {
  auto& reg = Reg();
  sys::MutexLock lock(reg.mu);
  auto it = reg.windows.find(hwnd);
  if (it == reg.windows.end())
    return false;
  it->second->id = id;
  return true;
}

uint32_t GetWindowStyle(Hwnd hwnd) {
  auto& reg = Reg();
  sys::MutexLock lock(reg.mu);
  auto it = reg.windows.find(hwnd);
  return it == reg.windows.end() ? 0 : it->second->style;
}

bool SetWindowStyle(Hwnd hwnd, uint32_t style) {
  auto& reg = Reg();
  sys::MutexLock lock(reg.mu);
  auto it = reg.windows.find(hwnd);
  if (it == reg.windows.end())
    return false;
  it->second->style = style;
  return true;
}

bool SetParent(Hwnd hwnd, Hwnd parent) {
  auto rec = Reg().LookupOwn(hwnd);
  if (!rec || parent == hwnd)
    return false;
  if (IsRealHandle(parent) && !IsWindow(parent))
    return false;
  // A window may not become a child of its own descendant.
  int depth = 0;
  for (Hwnd up = parent; IsRealHandle(up) && IsLocalHandle(up); up = GetParent(up))
    if (up == hwnd || ++depth > 4096)
      return false;
  {
    auto& reg = Reg();
    sys::MutexLock lock(reg.mu);
    if (rec->parent == parent)
      return true;
    rec->parent = parent;
  }
  PublishWindows();
  return true;
}

Hwnd FindWindowEx(Hwnd parent, std::optional<std::string_view> className,
                  std::optional<std::string_view> title) {
  std::optional<std::string> cls, text;
  if (className)
    cls.emplace(*className);
  if (title)
    text.emplace(*title);
  FindHit local = Reg().FindLocal(parent, cls, text);
  FindHit remote = RemoteFind(parent, cls, text);
  if (!local.hwnd)
    return remote.hwnd;
  if (!remote.hwnd)
    return local.hwnd;
  return remote.createdNs < local.createdNs ? remote.hwnd : local.hwnd;
}

Hwnd FindWindow(std::optional<std::string_view> className, std::optional<std::string_view> title) {
  return FindWindowEx(0, className, title);
}

} // namespace win
