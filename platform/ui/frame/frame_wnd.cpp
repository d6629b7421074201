#include "platform/ui/frame/frame_wnd.h"

#include "platform/ui/modal/modal_hook.h"
#include "platform/ui/resource/menu_resource.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <mutex>
#include <set>

namespace ui {
namespace {

constexpr uint32_t kStatePeriodMs = 250;

void RegisterFrameClass(const std::string& name) {
  static std::mutex mutex;
  static std::set<std::string> done;
  std::lock_guard lock(mutex);
  if (done.insert(name).second)
    RegisterScreenClass({name, 0, [] { return std::make_unique<ScreenWindow>(); }, nullptr,
                         gdi::Rgb(192, 192, 192)});
}

std::string FirstLine(const std::string& s) {
  return s.substr(0, s.find('\n'));
}

} // namespace

bool IsWithin(Hwnd hwnd, Hwnd ancestor) {
  for (int depth = 0; hwnd && depth < 64; ++depth) {
    if (hwnd == ancestor)
      return true;
    hwnd = win::GetParent(hwnd);
  }
  return false;
}

FrameWnd* FrameOf(Hwnd hwnd) {
  for (int depth = 0; hwnd && depth < 64; ++depth) {
    if (auto* frame = dynamic_cast<FrameWnd*>(win::GetWindowObject(hwnd)))
      return frame;
    hwnd = win::GetParent(hwnd);
  }
  return nullptr;
}

FrameWnd::FrameWnd() = default;

FrameWnd::~FrameWnd() {
  if (modalHookId_)
    RemoveModalHook(modalHookId_);
  // A frame deleted while its window stands takes the window along, and is
  // not deleted a second time when the window is gone.
  keepObject_ = true;
  if (GetHwnd())
    win::DestroyWindow(GetHwnd());
}

bool FrameWnd::LoadFrame(const FrameResources& resources, uint32_t id, uint32_t style, Hwnd parent,
                         ResourceError* error, gdi::Rect rect) {
  const std::string className = ClassName();
  RegisterFrameClass(className);
  struct Loading {
    bool& flag;
    bool was;
    explicit Loading(bool& f) : flag(f), was(f) { flag = true; }
    ~Loading() { flag = was; }
  } loading(keepObject_);
  resources_ = resources;
  resourceId_ = id;
  ResourceError ignored;
  ResourceError& why = error ? *error : ignored;
  auto has = [&](const char* folder, const char* extension) {
    return resources.files && resources.files(ResourcePath(folder, id, extension)).has_value();
  };
  if (has("menus", ".txt")) {
    auto menu = LoadMenuResource(resources.files, id, &why);
    if (!menu)
      return false;
    frameMenu_ = std::move(*menu);
  }
  if (has("accelerators", ".txt")) {
    auto keys = LoadAccelerators(resources.files, id, &why);
    if (!keys)
      return false;
    accelerators_ = std::move(*keys);
  }
  if (has("icons", ".png")) {
    icon_ = LoadIconResource(resources.files, id, &why);
    if (!icon_)
      return false;
  }
  std::string title;
  if (resources.strings)
    title = FirstLine(resources.strings(id).value_or(""));

  win::CreateParams p;
  p.className = className;
  p.title = title;
  p.style = style;
  p.parent = parent;
  p.x = rect.left;
  p.y = rect.top;
  p.width = rect.Width();
  p.height = rect.Height();
  p.object = this;
  if (!win::CreateWindow(p)) {
    why = {0, "the frame window could not be made"};
    return false;
  }
  return true;
}

void FrameWnd::ApplyIcon() {
  QWidget* w = GetWidget(GetHwnd());
  if (!w || !icon_)
    return;
  QImage image(reinterpret_cast<const uchar*>(icon_->argb.data()), icon_->width, icon_->height,
               QImage::Format_ARGB32);
  w->setWindowIcon(QIcon(QPixmap::fromImage(image.copy())));
}

ToolBar* FrameWnd::CreateToolBar(uint32_t id, ResourceError* error) {
  if (!GetHwnd() || toolBar_)
    return nullptr;
  auto bar = std::make_unique<ToolBar>();
  if (!bar->Create(GetHwnd(), resources_.files, id, error))
    return nullptr;
  auto tips = std::make_unique<ToolTip>();
  if (!tips->Create(GetHwnd()))
    return nullptr;
  for (int i = 0; i < bar->ItemCount(); ++i)
    if (uint16_t command = bar->CommandOf(i))
      tips->AddTool({bar->GetHwnd(), command, bar->ItemRect(i), {}});
  bar->SetToolTips(tips->GetHwnd());
  DockBar(bar->GetHwnd(), bar->Height());
  toolBar_ = std::move(bar);
  toolTips_ = std::move(tips);
  UpdateCommandStates();
  win::SetTimer(GetHwnd(), kStateTimerId, kStatePeriodMs);
  return toolBar_.get();
}

void FrameWnd::UpdateToolRects() {
  if (!toolBar_ || !toolTips_)
    return;
  for (int i = 0; i < toolBar_->ItemCount(); ++i)
    if (uint16_t command = toolBar_->CommandOf(i))
      toolTips_->SetToolRect(toolBar_->GetHwnd(), command, toolBar_->ItemRect(i));
}

void FrameWnd::SwitchToolTipsAroundModals() {
  if (modalHookId_)
    return;
  const Hwnd frame = GetHwnd();
  modalHookId_ = AddModalHook([frame](bool entering) {
    auto* self = dynamic_cast<FrameWnd*>(win::GetWindowObject(frame));
    if (self && self->toolTips_)
      win::SendMessage(self->toolTips_->GetHwnd(), TTM_ACTIVATE, entering ? 0 : 1, 0);
  });
}

void FrameWnd::DockBar(Hwnd bar, int height) {
  docked_.push_back({bar, height});
  RecalcLayout();
}

void FrameWnd::DockBarBottom(Hwnd bar, int height) {
  docked_.push_back({bar, height, true});
  RecalcLayout();
}

void FrameWnd::SetClient(Hwnd client) {
  client_ = client;
  RecalcLayout();
}

gdi::Rect FrameWnd::ClientArea() const {
  gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  area.top = std::min(area.bottom, area.top + (menuBar_ ? menuBar_->Height() : 0));
  for (const Docked& d : docked_)
    if (win::IsWindow(d.bar) && (win::GetWindowStyle(d.bar) & win::WS_VISIBLE)) {
      if (d.bottom)
        area.bottom = std::max(area.top, area.bottom - d.height);
      else
        area.top = std::min(area.bottom, area.top + d.height);
    }
  return area;
}

void FrameWnd::RecalcLayout() {
  if (!GetHwnd())
    return;
  const gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  int32_t y = 0;
  int32_t bottom = area.Height();
  if (menuBar_) {
    menuBar_->Place(area.Width());
    y += menuBar_->Height();
  }
  for (const Docked& d : docked_) {
    if (!win::IsWindow(d.bar) || !(win::GetWindowStyle(d.bar) & win::WS_VISIBLE))
      continue;
    if (d.bottom) {
      bottom -= d.height;
      MoveWindow(d.bar, 0, bottom, area.Width(), d.height);
      continue;
    }
    MoveWindow(d.bar, 0, y, area.Width(), d.height);
    y += d.height;
  }
  if (client_ && win::IsWindow(client_))
    MoveWindow(client_, 0, y, area.Width(), std::max(0, bottom - y));
}

bool FrameWnd::RouteCommand(uint16_t id) {
  return OnCommand(id);
}

CommandState FrameWnd::RouteCommandState(uint16_t id) {
  CommandState state{id, true, false};
  OnCommandState(state);
  return state;
}

void FrameWnd::UpdateCommandStates() {
  if (!toolBar_)
    return;
  for (int i = 0; i < toolBar_->ItemCount(); ++i)
    if (uint16_t command = toolBar_->CommandOf(i))
      toolBar_->SetState(RouteCommandState(command));
}

bool FrameWnd::PreTranslateMessage(const win::Msg& msg) {
  if (msg.message != win::WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
    return false;
  if (!GetHwnd() || !IsWithin(msg.hwnd, GetHwnd()))
    return false;
  return TranslateAccelerator(GetHwnd(), accelerators_, msg);
}

std::string FrameWnd::TipText(uint16_t command) {
  if (!resources_.strings)
    return {};
  const std::string text = resources_.strings(command).value_or("");
  const size_t newline = text.find('\n');
  return newline == std::string::npos ? text : text.substr(newline + 1);
}

LResult FrameWnd::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_CREATE: {
    menuBar_ = std::make_unique<MenuBar>(GetHwnd());
    menuBar_->SetStatePass([this](ui::Menu& menu) {
      std::function<void(std::vector<MenuItem>&)> pass = [&](std::vector<MenuItem>& items) {
        for (MenuItem& item : items) {
          pass(item.items);
          if (item.id && !item.separator) {
            const CommandState s = RouteCommandState(static_cast<uint16_t>(item.id));
            item.enabled = s.enabled;
            item.checked = s.checked;
          }
        }
      };
      pass(menu.items);
    });
    menuBar_->SetMenu(frameMenu_, &accelerators_);
    ApplyIcon();
    const Hwnd self = GetHwnd();
    filterId_ = win::AddMessageFilter([self](win::Msg& msg) {
      auto* frame = dynamic_cast<FrameWnd*>(win::GetWindowObject(self));
      return frame && frame->PreTranslateMessage(msg);
    });
    return Default(message, wParam, lParam);
  }
  case win::WM_SIZE:
    RecalcLayout();
    return Default(message, wParam, lParam);
  case win::WM_COMMAND: {
    const bool taken = RouteCommand(static_cast<uint16_t>(LowWord(wParam)));
    if (GetHwnd())
      UpdateCommandStates();
    return taken ? 0 : Default(message, wParam, lParam);
  }
  case win::WM_TIMER:
    if (wParam == kStateTimerId) {
      UpdateCommandStates();
      return 0;
    }
    return Default(message, wParam, lParam);
  case WM_NOTIFY: {
    auto* header = reinterpret_cast<NotifyHeader*>(lParam);
    if (header && toolTips_ && header->from == toolTips_->GetHwnd() &&
        header->code == TTN_NEEDTEXT) {
      reinterpret_cast<ToolTipText*>(lParam)->text = TipText(static_cast<uint16_t>(header->id));
      return 0;
    }
    return Default(message, wParam, lParam);
  }
  case win::WM_DESTROY:
    if (filterId_)
      win::RemoveMessageFilter(filterId_);
    filterId_ = 0;
    if (modalHookId_)
      RemoveModalHook(modalHookId_);
    modalHookId_ = 0;
    win::KillTimer(GetHwnd(), kStateTimerId);
    if (toolTips_ && toolTips_->GetHwnd())
      win::DestroyWindow(toolTips_->GetHwnd());
    menuBar_.reset();
    return Default(message, wParam, lParam);
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui
