// The multiple-document frame: child frames, each with a view of a
// document, live in its client area (the MDI client). One child is active:
// the menu bar shows its template's menu (the frame's own when none is
// left), its view has the focus and takes commands first. A child frame
// draws its caption with the title and a close box; a click on it
// activates it, the close box closes it (the document is asked first when
// this is its last frame). Closing the frame (WM_CLOSE) asks each open
// document once; destroying it asks nothing. Owner's thread only.
#pragma once

#include "platform/ui/frame/frame_wnd.h"

#include <functional>
#include <optional>
#include <vector>

namespace ui {

class Document;
class DocManager;
class MdiChildWnd;
class View;

inline constexpr const char* kMdiClientClass = "VexoMdiClient";
inline constexpr const char* kMdiChildClass = "VexoMdiChild";
inline constexpr uint32_t WM_MDIACTIVATE = 0x0222; // wParam: losing, lParam: gaining

class MdiFrameWnd : public FrameWnd {
public:
  ~MdiFrameWnd() override;
  bool LoadFrame(const FrameResources& resources, uint32_t id, uint32_t style = WS_OVERLAPPEDWINDOW,
                 Hwnd parent = 0, ResourceError* error = nullptr,
                 gdi::Rect rect = gdi::MakeRect(40, 40, 800, 560)) override;

  Hwnd MdiClient() const { return Client(); }
  // The active child frame; nullptr when none.
  MdiChildWnd* MDIGetActive() const { return active_; }
  // Makes child the active one (its frame's menu, its view's focus).
  void MDIActivate(MdiChildWnd* child);
  // The child frames, the most recently active first.
  const std::vector<MdiChildWnd*>& Children() const { return children_; }
  // Shows the active child's menu, or the frame's own.
  void OnUpdateFrameMenu();

  // The document manager whose new-document command the frame gives
  // (ID_FILE_NEW when no target took it); not owned.
  void SetDocManager(DocManager* manager) { docManager_ = manager; }
  DocManager* GetDocManager() const { return docManager_; }

  // The active view, its document, the active child, then the frame.
  bool RouteCommand(uint16_t id) override;
  CommandState RouteCommandState(uint16_t id) override;
  // The active child's keys first, then the frame's.
  bool PreTranslateMessage(const win::Msg& msg) override;

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  friend class MdiChildWnd;
  void ChildCreated(MdiChildWnd* child);
  void ChildGone(MdiChildWnd* child);

  std::vector<MdiChildWnd*> children_;
  MdiChildWnd* active_ = nullptr;
  DocManager* docManager_ = nullptr;
  int created_ = 0;
};

class MdiChildWnd : public ScreenWindow, public CommandTarget {
public:
  static constexpr int kCaptionHeight = 18;

  // Makes the child inside frame's client, cascaded after the ones before,
  // titled title; menu is the one the frame shows while it is active.
  bool Create(MdiFrameWnd& frame, const std::string& title, std::optional<Menu> menu = {},
              std::optional<AcceleratorTable> keys = {});

  MdiFrameWnd* Frame() const { return frame_; }
  const std::optional<Menu>& SharedMenu() const { return menu_; }
  const std::optional<AcceleratorTable>& Keys() const { return keys_; }
  View* ActiveView() const { return view_; }
  void SetActiveView(View* view);
  Document* ActiveDocument() const;
  bool IsActive() const;
  // The view's place below the caption and the docked bars, in the child's
  // client coordinates.
  gdi::Rect ViewArea() const;
  // Docks bar (a window inside the child) below the caption and the bars
  // docked before, height pixels high; place moves it there (MoveWindow
  // when empty). The view moves below it.
  void DockBar(Hwnd bar, int height, std::function<void(const gdi::Rect&)> place = {});
  // Places the docked bars and the view.
  void RecalcLayout();
  gdi::Rect CloseBoxRect() const;
  // Activates the child (MDIActivate of its frame).
  void Activate();
  // Called by the frame when the child gains or loses the activation.
  virtual void OnMdiActivate(bool active);
  // The title follows the document's.
  void OnUpdateFrameTitle();

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;
  // Runs once the window is gone; deletes the object.
  virtual void PostNcDestroy() { delete this; }

private:
  friend class MdiFrameWnd;
  void Detached() final { PostNcDestroy(); }
  void DrawCaption(gdi::Dc& dc);
  void OnClose();

  MdiFrameWnd* frame_ = nullptr;
  Hwnd frameHwnd_ = 0;
  std::optional<Menu> menu_;
  std::optional<AcceleratorTable> keys_;
  View* view_ = nullptr;
  struct DockedBar {
    Hwnd bar;
    int height;
    std::function<void(const gdi::Rect&)> place;
  };
  std::vector<DockedBar> bars_;
};

} // namespace ui
