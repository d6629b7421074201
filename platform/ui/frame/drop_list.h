// A drop-down list as a child of any screen window (a tool bar, a view, a
// frame): a field showing the chosen text; a click opens the list as a
// pop-up, and a choice there (or Choose, for scripts and keys) sets the
// selection and sends WM_COMMAND with CBN_SELCHANGE to the notice window
// (the parent unless set). An owner-drawn list asks its notice window for
// the item height (WM_MEASUREITEM) when made and has its field drawn there
// (WM_DRAWITEM) each time it paints. Mouse messages over it go to its tool
// tips too. The CB_* messages of combo_box.h work on it with texts in the
// process's code page. With the focus, Up and Down choose the item before
// or after, F4 drops the list; an owner's hook takes Enter, Escape, the loss
// of the focus and a choice made in the dropped list. Owner's thread only.
#pragma once

#include "platform/ui/frame/field_events.h"
#include "platform/ui/window/screen.h"

#include <string>
#include <string_view>
#include <vector>

namespace ui {

inline constexpr const char* kDropListClass = "VexoDropList";

inline constexpr uint32_t WM_DRAWITEM = 0x002B;
inline constexpr uint32_t WM_MEASUREITEM = 0x002C;
inline constexpr uint32_t CB_GETDROPPEDWIDTH = 0x015F;
inline constexpr uint32_t CB_SETDROPPEDWIDTH = 0x0160;

inline constexpr uint32_t ODT_COMBOBOX = 3;
inline constexpr uint32_t ODA_DRAWENTIRE = 1;
inline constexpr uint32_t ODA_SELECT = 2;
inline constexpr uint32_t ODA_FOCUS = 4;
inline constexpr uint32_t ODS_SELECTED = 0x0001;
inline constexpr uint32_t ODS_DISABLED = 0x0004;
inline constexpr uint32_t ODS_FOCUS = 0x0010;
inline constexpr uint32_t ODS_COMBOBOXEDIT = 0x1000;

// WM_MEASUREITEM's lParam: the owner sets itemHeight.
struct MeasureItem {
  uint32_t ctlType = ODT_COMBOBOX;
  uint32_t ctlId = 0;
  int32_t itemId = -1;
  int32_t itemHeight = 0;
};

// WM_DRAWITEM's lParam (valid during the call): draw item itemId (-1 for
// none) into rect through dc.
struct DrawItem {
  uint32_t ctlType = ODT_COMBOBOX;
  uint32_t ctlId = 0;
  int32_t itemId = -1;
  uint32_t action = ODA_DRAWENTIRE;
  uint32_t state = 0;
  Hwnd hwnd = 0;
  gdi::Dc* dc = nullptr;
  gdi::Rect rect;
};

class DropList : public ScreenWindow {
public:
  // A visible child of parent at rect (the field; the list's height goes
  // beyond it); false when the window could not be made.
  bool Create(Hwnd parent, uint32_t id, gdi::Rect rect, bool ownerDrawn = false);
  uint32_t Id() const { return id_; }

  void SetNotifyWindow(Hwnd hwnd) { notify_ = hwnd; }
  void SetToolTips(Hwnd toolTip) { toolTip_ = toolTip; }

  int AddString(std::string_view utf8);
  void ResetContent();
  int Count() const { return static_cast<int>(items_.size()); }
  std::string Text(int index) const;
  // The selection, -1 for none; setting it sends no notice (as CB_SETCURSEL).
  int CurSel() const { return selection_; }
  bool SetCurSel(int index);
  // A person's choice: the selection and then CBN_SELCHANGE. False when
  // disabled or out of range.
  bool Choose(int index);
  int ItemHeight() const { return itemHeight_; }

  bool Enabled() const { return enabled_; }
  void Enable(bool enabled);

  void SetHook(FieldHook hook) { hook_ = std::move(hook); }
  // The width asked for the dropped list (CB_SETDROPPEDWIDTH); the pop-up
  // list is as wide as its longest item.
  int DroppedWidth() const { return droppedWidth_; }
  void SetDroppedWidth(int width) { droppedWidth_ = width < 0 ? 0 : width; }
  // Drops the list as a click does; a choice there is handed to the hook.
  void Drop();

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  void Draw(gdi::Dc& dc);
  Hwnd NoticeWindow() const;
  // False when the list has gone meanwhile.
  bool Hand(FieldEvent event);

  uint32_t id_ = 0;
  bool ownerDrawn_ = false;
  bool enabled_ = true;
  int itemHeight_ = 16;
  std::vector<std::string> items_;
  int selection_ = -1;
  Hwnd notify_ = 0;
  Hwnd toolTip_ = 0;
  FieldHook hook_;
  int droppedWidth_ = 0;
  bool dropping_ = false;
};

} // namespace ui
