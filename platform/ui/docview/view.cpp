#include "platform/ui/docview/view.h"

#include "platform/ui/docview/document.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"

namespace ui {

bool View::Create(MdiChildWnd& frame, Document& document) {
  static const bool registered = [] {
    return RegisterScreenClass({kViewClass, CS_DBLCLKS,
                                [] { return std::make_unique<ScreenWindow>(); }, nullptr,
                                gdi::Rgb(255, 255, 255)});
  }();
  (void)registered;
  const gdi::Rect r = frame.ViewArea();
  win::CreateParams p;
  p.className = kViewClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.parent = frame.GetHwnd();
  p.id = kPaneId;
  p.x = r.left;
  p.y = r.top;
  p.width = r.Width();
  p.height = r.Height();
  p.object = this;
  frame_ = &frame;
  if (!win::CreateWindow(p)) {
    frame_ = nullptr;
    return false;
  }
  document.AddView(this);
  return true;
}

void View::OnUpdate(View* sender, intptr_t hint) {
  (void)sender;
  (void)hint;
  if (GetHwnd())
    InvalidateRect(GetHwnd(), nullptr, true);
}

void View::OnActivateView(bool active) {
  if (active && GetHwnd())
    SetFocus(GetHwnd());
}

LResult View::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_PAINT: {
    Paint paint(GetHwnd());
    if (paint.IsValid())
      OnDraw(paint.Dc());
    return 0;
  }
  case win::WM_LBUTTONDOWN:
  case win::WM_RBUTTONDOWN:
    // A click in an inactive child's view activates that child first.
    if (frame_ && !frame_->IsActive())
      frame_->Activate();
    return Default(message, wParam, lParam);
  case win::WM_DESTROY:
    if (frame_ && frame_->ActiveView() == this)
      frame_->SetActiveView(nullptr);
    if (document_)
      document_->RemoveView(this);
    return Default(message, wParam, lParam);
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui
