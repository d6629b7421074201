#include "platform/ui/docview/document.h"

#include "platform/ui/docview/doc_template.h"
#include "platform/ui/docview/view.h"
#include "platform/ui/frame/mdi_frame_wnd.h"

#include <algorithm>

namespace ui {

Document::~Document() {
  // Views still standing (their windows outlive the document only when the
  // template goes first) no longer point here.
  for (View* view : views_)
    view->document_ = nullptr;
}

void Document::SetTitle(std::string title) {
  title_ = std::move(title);
  for (View* view : views_)
    if (MdiChildWnd* frame = view->ParentFrame())
      frame->OnUpdateFrameTitle();
}

void Document::UpdateAllViews(View* sender, intptr_t hint) {
  // A copy: an update may open or close views.
  const std::vector<View*> views = views_;
  for (View* view : views)
    if (view != sender && std::find(views_.begin(), views_.end(), view) != views_.end())
      view->OnUpdate(sender, hint);
}

bool Document::CanCloseFrame(MdiChildWnd& frame) {
  for (View* view : views_)
    if (view->ParentFrame() && view->ParentFrame() != &frame)
      return true;
  return SaveModified();
}

void Document::AddView(View* view) {
  if (std::find(views_.begin(), views_.end(), view) == views_.end())
    views_.push_back(view);
  view->document_ = this;
}

void Document::RemoveView(View* view) {
  if (std::erase(views_, view) == 0)
    return;
  view->document_ = nullptr;
  if (views_.empty() && template_)
    template_->RemoveDocument(this); // deletes this
}

} // namespace ui
