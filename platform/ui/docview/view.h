// Views: the window showing a document inside a child frame. A view draws
// through a gdi::Dc (OnDraw, on WM_PAINT), hears of its document's changes
// (OnUpdate), gets its initial update once its frame is made, takes the
// focus when its frame activates, and takes commands before its document.
// It belongs to its window (deleted once the window is gone). Owner's
// thread only.
#pragma once

#include "platform/gdi/dc.h"
#include "platform/ui/frame/command.h"
#include "platform/ui/window/screen.h"

#include <cstdint>

namespace ui {

class Document;
class MdiChildWnd;

inline constexpr const char* kViewClass = "VexoView";

class View : public ScreenWindow, public CommandTarget {
public:
  // Makes the view's window in frame (the view's area of it) for document.
  bool Create(MdiChildWnd& frame, Document& document);

  Document* GetDocument() const { return document_; }
  MdiChildWnd* ParentFrame() const { return frame_; }

  // After the frame is made; the default is OnUpdate(nullptr, 0).
  virtual void OnInitialUpdate() { OnUpdate(nullptr, 0); }
  // The document changed; the default repaints the view.
  virtual void OnUpdate(View* sender, intptr_t hint);
  virtual void OnDraw(gdi::Dc& dc) { (void)dc; }
  // The view's frame gained (true) or lost the activation; the default
  // takes the focus on gaining it.
  virtual void OnActivateView(bool active);

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  friend class Document;
  void Detached() final { delete this; }

  Document* document_ = nullptr;
  MdiChildWnd* frame_ = nullptr;
};

} // namespace ui
