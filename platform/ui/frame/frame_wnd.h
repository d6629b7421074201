// The frame window: a top-level window loaded from a bundle resource id
// (its menu bar, accelerators, icon and title), bars docked at its top
// (the menu bar, the tool bar, dialog bars) and the rest given to its
// client. WM_COMMAND from the menu, the tool bar and the accelerators is
// routed to the frame's targets, first taker wins; the state pass asks them
// before a menu opens and for the tool-bar buttons.
//
// A frame belongs to its window: once the window is gone PostNcDestroy
// runs, which deletes the object (create frames with new). Keys typed into
// the frame or any window in it pass its accelerators first (through a
// filter of the thread's loop). Owner's thread only.
#pragma once

#include "platform/ui/frame/command.h"
#include "platform/ui/frame/menu_bar.h"
#include "platform/ui/frame/tool_bar.h"
#include "platform/ui/frame/tool_tip.h"
#include "platform/ui/resource/accelerator.h"
#include "platform/ui/resource/icon_resource.h"
#include "platform/ui/window/screen.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

inline constexpr const char* kFrameClass = "VexoFrame";
// The frame's own timer for the state pass of its tool bar.
inline constexpr uint32_t kStateTimerId = 0xE001;

class FrameWnd : public ScreenWindow, public CommandTarget {
public:
  FrameWnd();
  ~FrameWnd() override;

  // Makes the window (hidden unless style has WS_VISIBLE) from resource id:
  // menus/<id>.txt, accelerators/<id>.txt and icons/<id>.png where the
  // bundle has them, the title from string id (its first line). False when
  // one of them is malformed (error says which and where) or the window
  // could not be made; no window stands then and the object is still the
  // caller's.
  virtual bool LoadFrame(const FrameResources& resources, uint32_t id,
                         uint32_t style = WS_OVERLAPPEDWINDOW, Hwnd parent = 0,
                         ResourceError* error = nullptr,
                         gdi::Rect rect = gdi::MakeRect(40, 40, 800, 560));

  const FrameResources& Resources() const { return resources_; }
  uint32_t ResourceId() const { return resourceId_; }
  MenuBar& Menu() { return *menuBar_; }
  // The frame's own menu (an MDI frame shows its active child's instead).
  const ui::Menu& FrameMenu() const { return frameMenu_; }
  const AcceleratorTable& Accelerators() const { return accelerators_; }
  const std::optional<IconImage>& Icon() const { return icon_; }

  // The tool bar from resource id, docked below the menu bar, with tool
  // tips whose texts the frame gives (ToolTipText); nullptr on failure.
  ToolBar* CreateToolBar(uint32_t id, ResourceError* error = nullptr);
  ToolBar* GetToolBar() const { return toolBar_.get(); }
  ToolTip* GetToolTips() const { return toolTips_.get(); }
  // Moves the buttons' tips to where the buttons are now (after separators
  // were widened).
  void UpdateToolRects();
  // Switches the tool tips off around every dialog, box and file dialog of
  // this thread while the frame lives.
  void SwitchToolTipsAroundModals();

  // Docks bar (a child of the frame) at the top, below those docked before.
  void DockBar(Hwnd bar, int height);
  // Docks bar at the bottom, above those docked there before (a status bar).
  void DockBarBottom(Hwnd bar, int height);
  // The window that takes what the bars leave.
  void SetClient(Hwnd client);
  Hwnd Client() const { return client_; }
  // Places the menu bar, the docked bars and the client.
  void RecalcLayout();
  // The rectangle the client gets.
  gdi::Rect ClientArea() const;

  // Routes a command to the targets; true when one took it.
  virtual bool RouteCommand(uint16_t id);
  // Asks the targets for a command's state.
  virtual CommandState RouteCommandState(uint16_t id);
  // The state pass of the tool-bar buttons.
  void UpdateCommandStates();
  // Accelerators for key messages of the frame and the windows in it;
  // true when msg became a command.
  virtual bool PreTranslateMessage(const win::Msg& msg);

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;
  // The window class of the frame (registered by the frame with the
  // frame's background) and the title of its window; a frame with a class
  // name of its own overrides it.
  virtual std::string ClassName() const { return kFrameClass; }
  // The text of a tool-bar button's tip: the command's string (its second
  // line when it has two).
  virtual std::string TipText(uint16_t command);
  // Runs once the window is gone; deletes the object.
  virtual void PostNcDestroy() { delete this; }
  // While set, a window that goes leaves the object alone (a load that
  // fails hands the object back; a frame being deleted is deleted once).
  bool keepObject_ = false;

private:
  void Detached() final {
    if (!keepObject_)
      PostNcDestroy();
  }
  void ApplyIcon();

  FrameResources resources_;
  uint32_t resourceId_ = 0;
  std::unique_ptr<MenuBar> menuBar_;
  ui::Menu frameMenu_;
  AcceleratorTable accelerators_;
  std::optional<IconImage> icon_;
  std::unique_ptr<ToolBar> toolBar_;
  std::unique_ptr<ToolTip> toolTips_;
  struct Docked {
    Hwnd bar;
    int height;
    bool bottom = false;
  };
  std::vector<Docked> docked_;
  Hwnd client_ = 0;
  int filterId_ = 0;
  int modalHookId_ = 0;
};

// The frame object of a window of this thread, or of the frame a window is
// in; nullptr when none.
FrameWnd* FrameOf(Hwnd hwnd);
// True when hwnd is ancestor or lies inside it.
bool IsWithin(Hwnd hwnd, Hwnd ancestor);

} // namespace ui
