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
  Reg().RemoveWindow(rec->hwnd);
  PublishWindows();
  if (rec->callDepth == 0)
    ReleaseObject(*rec);
}

std::vector<std::shared_ptr<WindowRec>> OwnChildren(Hwnd parent) {
  return Reg().OwnChildren(parent);
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
  sys::MutexLock lock(mu_);
  auto it = windows_.find(h);
  return it == windows_.end() ? nullptr : it->second;
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
  sys::MutexLock lock(mu_);
  for (auto& [h, rec] : windows_) {
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
  sys::MutexLock lock(mu_);
  auto it = windows_.find(h);
  if (it == windows_.end())
    return std::nullopt;
  const WindowRec& rec = *it->second;
  return Description{rec.parent, static_cast<uint32_t>(getpid()), rec.style, rec.className,
                     rec.title};
}

void Registry::AddWindow(const std::shared_ptr<WindowRec>& rec) {
  sys::MutexLock lock(mu_);
  windows_.emplace(rec->hwnd, rec);
}

void Registry::RemoveWindow(Hwnd h) {
  sys::MutexLock lock(mu_);
  windows_.erase(h);
}

std::vector<std::shared_ptr<WindowRec>> Registry::TakeThreadWindows(std::thread::id owner) {
  std::vector<std::shared_ptr<WindowRec>> gone;
  sys::MutexLock lock(mu_);
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (it->second->owner == owner) {
      gone.push_back(it->second);
      it = windows_.erase(it);
    } else {
      ++it;
    }
  }
  return gone;
}

std::vector<std::shared_ptr<WindowRec>> Registry::OwnChildren(Hwnd parent) {
  std::vector<std::shared_ptr<WindowRec>> out;
  auto self = std::this_thread::get_id();
  {
    sys::MutexLock lock(mu_);
    for (auto& [h, rec] : windows_)
      if (rec->parent == parent && rec->owner == self)
        out.push_back(rec);
  }
  std::sort(out.begin(), out.end(),
            [](const auto& a, const auto& b) { return a->createdNs < b->createdNs; });
  return out;
}

void Registry::ListWindows(std::vector<table::Entry>& out) {
  sys::MutexLock lock(mu_);
  out.reserve(out.size() + windows_.size());
  for (const auto& [h, rec] : windows_)
    out.push_back({h, rec->parent, rec->createdNs, rec->className, rec->title});
}

bool Registry::SetTitle(Hwnd h, std::string_view title, bool& changed) {
  sys::MutexLock lock(mu_);
  auto it = windows_.find(h);
  if (it == windows_.end())
    return false;
  changed = it->second->title != title;
  if (changed)
    it->second->title = title;
  return true;
}

bool Registry::SetId(Hwnd h, uint32_t id) {
  sys::MutexLock lock(mu_);
  auto it = windows_.find(h);
  if (it == windows_.end())
    return false;
  it->second->id = id;
  return true;
}

uint32_t Registry::Style(Hwnd h) {
  sys::MutexLock lock(mu_);
  auto it = windows_.find(h);
  return it == windows_.end() ? 0 : it->second->style;
}

bool Registry::SetStyle(Hwnd h, uint32_t style) {
  sys::MutexLock lock(mu_);
  auto it = windows_.find(h);
  if (it == windows_.end())
    return false;
  it->second->style = style;
  return true;
}

bool Registry::SetParent(WindowRec& rec, Hwnd parent) {
  sys::MutexLock lock(mu_);
  if (rec.parent == parent)
    return false;
  rec.parent = parent;
  return true;
}

bool Registry::AddClass(const WindowClass& windowClass) {
  sys::MutexLock lock(mu_);
  return classes_.emplace(Lower(windowClass.name), std::make_shared<WindowClass>(windowClass))
      .second;
}

bool Registry::RemoveClass(std::string_view name) {
  sys::MutexLock lock(mu_);
  return classes_.erase(Lower(name)) > 0;
}

std::shared_ptr<const WindowClass> Registry::FindClass(std::string_view name) {
  sys::MutexLock lock(mu_);
  auto it = classes_.find(Lower(name));
  return it == classes_.end() ? nullptr : it->second;
}

void Registry::AddQueue(const std::shared_ptr<ThreadQueue>& queue) {
  sys::MutexLock lock(mu_);
  std::erase_if(queues_, [](const auto& w) { return w.expired(); });
  queues_.push_back(queue);
}

std::vector<std::shared_ptr<ThreadQueue>>
Registry::OtherQueues(const std::shared_ptr<ThreadQueue>& self) {
  std::vector<std::shared_ptr<ThreadQueue>> others;
  sys::MutexLock lock(mu_);
  for (auto& weak : queues_)
    if (auto other = weak.lock(); other && other != self)
      others.push_back(other);
  return others;
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
  std::vector<std::shared_ptr<WindowRec>> gone = Reg().TakeThreadWindows(owner);
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
  return Reg().AddClass(windowClass);
}

bool UnregisterClass(std::string_view name) {
  return Reg().RemoveClass(name);
}

bool IsClassRegistered(std::string_view name) {
  return Reg().FindClass(name) != nullptr;
}

Hwnd CreateWindow(const CreateParams& params) {
  std::shared_ptr<const WindowClass> cls = Reg().FindClass(params.className);
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
  Reg().AddWindow(rec);
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
  bool changed = false;
  if (!Reg().SetTitle(hwnd, title, changed))
    return false;
  if (changed)
    PublishWindows();
  return true;
}

uint32_t GetDlgCtrlId(Hwnd hwnd) {
  auto rec = Reg().Lookup(hwnd);
  return rec ? rec->id : 0;
}

bool SetDlgCtrlId(Hwnd hwnd, uint32_t id) {
  return Reg().SetId(hwnd, id);
}

uint32_t GetWindowStyle(Hwnd hwnd) {
  return Reg().Style(hwnd);
}

bool SetWindowStyle(Hwnd hwnd, uint32_t style) {
  return Reg().SetStyle(hwnd, style);
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
  if (Reg().SetParent(*rec, parent))
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

std::vector<Hwnd> GetChildWindows(Hwnd parent) {
  std::vector<Hwnd> out;
  if (!parent)
    return out;
  for (auto& child : detail::OwnChildren(parent))
    if (!child->finalized)
      out.push_back(child->hwnd);
  return out;
}

Hwnd FindWindow(std::optional<std::string_view> className, std::optional<std::string_view> title) {
  return FindWindowEx(0, className, title);
}

} // namespace win
