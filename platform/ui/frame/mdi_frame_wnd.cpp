#include "platform/ui/frame/mdi_frame_wnd.h"

#include "platform/sys/codepage.h"
#include "platform/ui/docview/doc_template.h"
#include "platform/ui/docview/document.h"
#include "platform/ui/docview/view.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>

namespace ui {
namespace {

constexpr gdi::Colour kWorkspace = gdi::Rgb(128, 128, 128);
constexpr gdi::Colour kActiveCaption = gdi::Rgb(0, 0, 128);
constexpr gdi::Colour kInactiveCaption = gdi::Rgb(128, 128, 128);
constexpr gdi::Colour kCaptionText = gdi::Rgb(255, 255, 255);
constexpr gdi::Colour kFace = gdi::Rgb(192, 192, 192);
constexpr int kCascadeStep = 24;
constexpr int kCascadeCount = 8;

void RegisterMdiClasses() {
  static const bool done = [] {
    auto plain = [] { return std::make_unique<ScreenWindow>(); };
    RegisterScreenClass({kMdiClientClass, 0, plain, nullptr, kWorkspace});
    RegisterScreenClass({kMdiChildClass, 0, plain, nullptr, kFace});
    return true;
  }();
  (void)done;
}

} // namespace

// ---------------------------------------------------------------------------
// The frame

MdiFrameWnd::~MdiFrameWnd() {
  // The window goes while the children can still report to this frame.
  keepObject_ = true;
  if (GetHwnd())
    win::DestroyWindow(GetHwnd());
}

bool MdiFrameWnd::LoadFrame(const FrameResources& resources, uint32_t id, uint32_t style,
                            Hwnd parent, ResourceError* error, gdi::Rect rect) {
  RegisterMdiClasses();
  keepObject_ = true;
  const bool loaded = FrameWnd::LoadFrame(resources, id, style, parent, error, rect);
  if (!loaded) {
    keepObject_ = false;
    return false;
  }
  win::CreateParams p;
  p.className = kMdiClientClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE | win::WS_CLIPCHILDREN;
  p.parent = GetHwnd();
  p.id = kPaneId;
  const Hwnd client = win::CreateWindow(p);
  if (!client) {
    if (error)
      *error = {0, "the client area could not be made"};
    win::DestroyWindow(GetHwnd());
    keepObject_ = false;
    return false;
  }
  keepObject_ = false;
  SetClient(client);
  return true;
}

void MdiFrameWnd::ChildCreated(MdiChildWnd* child) {
  children_.push_back(child);
  ++created_;
}

void MdiFrameWnd::ChildGone(MdiChildWnd* child) {
  std::erase(children_, child);
  if (active_ != child)
    return;
  active_ = nullptr;
  if (!children_.empty())
    MDIActivate(children_.front());
  else if (GetHwnd())
    OnUpdateFrameMenu();
}

void MdiFrameWnd::MDIActivate(MdiChildWnd* child) {
  if (child == active_)
    return;
  if (child && std::find(children_.begin(), children_.end(), child) == children_.end())
    return;
  MdiChildWnd* previous = active_;
  active_ = child;
  if (child) {
    std::erase(children_, child);
    children_.insert(children_.begin(), child);
  }
  const Hwnd losing = previous ? previous->GetHwnd() : 0;
  const Hwnd gaining = child ? child->GetHwnd() : 0;
  if (previous) {
    previous->OnMdiActivate(false);
    win::SendMessage(losing, WM_MDIACTIVATE, losing, gaining);
  }
  if (child) {
    SetWindowPos(gaining, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    child->OnMdiActivate(true);
    win::SendMessage(gaining, WM_MDIACTIVATE, losing, gaining);
  }
  OnUpdateFrameMenu();
  UpdateCommandStates();
}

void MdiFrameWnd::OnUpdateFrameMenu() {
  if (active_ && active_->SharedMenu())
    Menu().SetMenu(*active_->SharedMenu(), active_->Keys() ? &*active_->Keys() : &Accelerators());
  else
    Menu().SetMenu(FrameMenu(), &Accelerators());
  RecalcLayout();
}

bool MdiFrameWnd::RouteCommand(uint16_t id) {
  if (MdiChildWnd* child = active_) {
    if (View* view = child->ActiveView()) {
      if (view->OnCommand(id))
        return true;
      if (Document* document = view->GetDocument(); document && document->OnCommand(id))
        return true;
    }
    if (child->OnCommand(id))
      return true;
  }
  if (OnCommand(id))
    return true;
  if (id == ID_FILE_NEW && docManager_) {
    docManager_->OnFileNew(*this);
    return true;
  }
  return false;
}

CommandState MdiFrameWnd::RouteCommandState(uint16_t id) {
  CommandState state{id, true, false};
  if (MdiChildWnd* child = active_) {
    if (View* view = child->ActiveView()) {
      if (view->OnCommandState(state))
        return state;
      if (Document* document = view->GetDocument(); document && document->OnCommandState(state))
        return state;
    }
    if (child->OnCommandState(state))
      return state;
  }
  OnCommandState(state);
  return state;
}

bool MdiFrameWnd::PreTranslateMessage(const win::Msg& msg) {
  if ((msg.message == win::WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && active_ &&
      active_->Keys() && GetHwnd() && IsWithin(msg.hwnd, GetHwnd()) &&
      TranslateAccelerator(GetHwnd(), *active_->Keys(), msg))
    return true;
  return FrameWnd::PreTranslateMessage(msg);
}

LResult MdiFrameWnd::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  if (message == win::WM_CLOSE) {
    // Closing the frame closes every document's last frame: each document
    // is asked once, and a refusal keeps everything open.
    std::vector<Document*> asked;
    for (MdiChildWnd* child : std::vector<MdiChildWnd*>(children_)) {
      Document* document = child->ActiveDocument();
      if (!document || std::find(asked.begin(), asked.end(), document) != asked.end())
        continue;
      asked.push_back(document);
      if (!document->SaveModified())
        return 0;
    }
  }
  if (message == win::WM_DESTROY) {
    active_ = nullptr;
    // The children go with the frame's window; none reports back to it.
    for (MdiChildWnd* child : children_)
      child->frame_ = nullptr;
    children_.clear();
  }
  return FrameWnd::OnMessage(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Child frames

bool MdiChildWnd::Create(MdiFrameWnd& frame, const std::string& title, std::optional<Menu> menu,
                         std::optional<AcceleratorTable> keys) {
  RegisterMdiClasses();
  menu_ = std::move(menu);
  keys_ = std::move(keys);
  const gdi::Rect area = GetClientRect(frame.MdiClient()).value_or(gdi::MakeRect(0, 0, 600, 400));
  const int step = (frame.created_ % kCascadeCount) * kCascadeStep;
  win::CreateParams p;
  p.className = kMdiChildClass;
  p.title = title;
  p.style = win::WS_CHILD | win::WS_VISIBLE | win::WS_CLIPCHILDREN;
  p.parent = frame.MdiClient();
  p.x = step;
  p.y = step;
  p.width = std::max(200, area.Width() * 2 / 3);
  p.height = std::max(150, area.Height() * 2 / 3);
  p.object = this;
  frame_ = &frame;
  frameHwnd_ = frame.GetHwnd();
  if (!win::CreateWindow(p)) {
    frame_ = nullptr;
    return false;
  }
  frame.ChildCreated(this);
  return true;
}

void MdiChildWnd::SetActiveView(View* view) {
  view_ = view;
  if (view && IsActive())
    view->OnActivateView(true);
}

Document* MdiChildWnd::ActiveDocument() const {
  return view_ ? view_->GetDocument() : nullptr;
}

bool MdiChildWnd::IsActive() const {
  return frame_ && frame_->MDIGetActive() == this;
}

gdi::Rect MdiChildWnd::ViewArea() const {
  gdi::Rect r = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  r.left += 1;
  r.right = std::max(r.left, r.right - 1);
  r.top = std::min(r.bottom, r.top + kCaptionHeight);
  for (const DockedBar& d : bars_)
    if (win::IsWindow(d.bar))
      r.top = std::min(r.bottom, r.top + d.height);
  r.bottom = std::max(r.top, r.bottom - 1);
  return r;
}

void MdiChildWnd::DockBar(Hwnd bar, int height, std::function<void(const gdi::Rect&)> place) {
  if (!bar)
    return;
  bars_.push_back({bar, std::max(0, height), std::move(place)});
  RecalcLayout();
}

void MdiChildWnd::RecalcLayout() {
  const gdi::Rect client = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  int32_t top = std::min(client.bottom, client.top + kCaptionHeight);
  const int32_t left = client.left + 1, right = std::max(left, client.right - 1);
  std::erase_if(bars_, [](const DockedBar& d) { return !win::IsWindow(d.bar); });
  for (const DockedBar& d : bars_) {
    const gdi::Rect r{left, top, right, top + d.height};
    if (d.place)
      d.place(r);
    else
      MoveWindow(d.bar, r.left, r.top, r.Width(), r.Height());
    top += d.height;
  }
  if (view_ && view_->GetHwnd()) {
    const gdi::Rect r = ViewArea();
    MoveWindow(view_->GetHwnd(), r.left, r.top, r.Width(), r.Height());
  }
}

gdi::Rect MdiChildWnd::CloseBoxRect() const {
  const gdi::Rect r = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  return gdi::MakeRect(r.right - kCaptionHeight, 2, kCaptionHeight - 4, kCaptionHeight - 4);
}

void MdiChildWnd::Activate() {
  if (frame_)
    frame_->MDIActivate(this);
}

void MdiChildWnd::OnMdiActivate(bool active) {
  InvalidateRect(GetHwnd(), nullptr, true);
  if (view_)
    view_->OnActivateView(active);
}

void MdiChildWnd::OnUpdateFrameTitle() {
  Document* document = ActiveDocument();
  if (!document)
    return;
  SetWindowText(GetHwnd(), document->Title());
  // The caption is drawn by the child itself: it shows the new title.
  const gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  const gdi::Rect caption = gdi::MakeRect(0, 0, area.Width(), kCaptionHeight);
  InvalidateRect(GetHwnd(), &caption, false);
}

void MdiChildWnd::DrawCaption(gdi::Dc& dc) {
  const gdi::Rect area = GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  dc.FrameRect(area, gdi::Rgb(0, 0, 0));
  gdi::Rect caption = gdi::MakeRect(1, 1, area.Width() - 2, kCaptionHeight - 1);
  dc.FillRect(caption, IsActive() ? kActiveCaption : kInactiveCaption);
  dc.SetBkMode(gdi::kTransparent);
  dc.SetTextColor(kCaptionText);
  gdi::Rect text = caption;
  text.left += 4;
  text.right = std::max(text.left, CloseBoxRect().left - 2);
  const std::string title = win::GetWindowText(GetHwnd()).value_or("");
  dc.DrawText(sys::FromUtf8Lossy(title, dc.SystemCodePage()), text,
              gdi::kDtLeft | gdi::kDtVCenter | gdi::kDtSingleLine | gdi::kDtNoPrefix);
  const gdi::Rect box = CloseBoxRect();
  dc.FillRect(box, kFace);
  const gdi::Pen previous = dc.SelectPen(gdi::Pen{gdi::kPsSolid, 1, gdi::Rgb(0, 0, 0)});
  dc.MoveTo(box.left + 3, box.top + 3);
  dc.LineTo(box.right - 3, box.bottom - 3);
  dc.MoveTo(box.right - 4, box.top + 3);
  dc.LineTo(box.left + 2, box.bottom - 3);
  dc.SelectPen(previous);
}

void MdiChildWnd::OnClose() {
  Document* document = ActiveDocument();
  if (document && !document->CanCloseFrame(*this))
    return;
  win::DestroyWindow(GetHwnd());
}

LResult MdiChildWnd::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_SIZE:
    RecalcLayout();
    InvalidateRect(GetHwnd(), nullptr, true);
    return Default(message, wParam, lParam);
  case win::WM_PAINT: {
    Paint paint(GetHwnd());
    if (paint.IsValid())
      DrawCaption(paint.Dc());
    return 0;
  }
  case win::WM_SETTEXT: {
    const LResult r = Default(message, wParam, lParam);
    InvalidateRect(GetHwnd(), nullptr, false);
    return r;
  }
  case win::WM_LBUTTONDOWN:
    Activate();
    if (CloseBoxRect().Contains(PointOfLParam(lParam)))
      win::PostMessage(GetHwnd(), win::WM_CLOSE);
    return 0;
  case win::WM_CLOSE:
    OnClose();
    return 0;
  case win::WM_DESTROY:
    if (frame_ && win::IsWindow(frameHwnd_))
      frame_->ChildGone(this);
    frame_ = nullptr;
    return Default(message, wParam, lParam);
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui
