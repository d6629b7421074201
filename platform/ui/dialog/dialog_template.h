// Dialog templates: what a dialog looks like before it is made, read from a
// small text file of a resource bundle (dialogs/<number>.dlg), and the
// dialog units its sizes are given in.
//
// The file, UTF-8, one directive a line; blank lines and everything after a
// '#' outside quotes are skipped; keywords compare without regard to case:
//
//   DIALOG x y width height        the size, in dialog units (required)
//   CAPTION "text"
//   FONT points "face"             9 "MS Shell Dlg" when absent
//   STYLE word...                  POPUP CAPTION SYSMENU MODALFRAME when absent
//   <class> id "text" x y width height [style...]    one line per control
//   CONTROL "class name" id "text" x y width height [style...]
//                                  a control of any window class registered
//                                  when the dialog is made (a custom control)
//
// Classes: STATIC, EDIT, BUTTON (push button), DEFBUTTON (the default push
// button), CHECKBOX (checked by its owner), AUTOCHECKBOX (checks itself),
// RADIOBUTTON (checked by its owner), AUTORADIOBUTTON (checks itself and
// clears the others of its group: from a control with the GROUP style up
// to the next), GROUPBOX, LISTBOX, COMBOBOX, PROGRESS. An id is a number from -1 to 65535
// or one of IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO,
// IDC_STATIC (-1, for controls nobody addresses). Only -1 may repeat.
// Texts are in double quotes, with \" \\ \n \r \t. Styles are words (see
// kControlStyleWords in the source) or numbers written 0x..., or'ed in.
#pragma once

#include "platform/gdi/types.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

// A control's kind: the name of its window class. The built-in kinds are
// named here; a kind added later is one more class name with its row in the
// control table (controls/control_table.h).
struct ControlKind {
  const char* className = "Static";

  static const ControlKind Static, Edit, Button, ListBox, ComboBox, Progress;

  friend constexpr bool operator==(ControlKind a, ControlKind b) {
    return std::string_view(a.className) == std::string_view(b.className);
  }
};

inline constexpr ControlKind ControlKind::Static{"Static"};
inline constexpr ControlKind ControlKind::Edit{"Edit"};
inline constexpr ControlKind ControlKind::Button{"Button"};
inline constexpr ControlKind ControlKind::ListBox{"ListBox"};
inline constexpr ControlKind ControlKind::ComboBox{"ComboBox"};
inline constexpr ControlKind ControlKind::Progress{"msctls_progress32"};

// Dialog styles.
inline constexpr uint32_t DS_SETFONT = 0x0040;
inline constexpr uint32_t DS_MODALFRAME = 0x0080;
inline constexpr uint32_t DS_CENTER = 0x0800;

// Styles every control may have (beside WS_CHILD, WS_VISIBLE, WS_DISABLED,
// WS_BORDER).
inline constexpr uint32_t WS_GROUP = 0x00020000u;
inline constexpr uint32_t WS_TABSTOP = 0x00010000u;
inline constexpr uint32_t WS_VSCROLL = 0x00200000u;
inline constexpr uint32_t WS_HSCROLL = 0x00100000u;

inline constexpr uint32_t SS_LEFT = 0x0000;
inline constexpr uint32_t SS_CENTER = 0x0001;
inline constexpr uint32_t SS_RIGHT = 0x0002;
inline constexpr uint32_t SS_NOPREFIX = 0x0080;
inline constexpr uint32_t SS_SUNKEN = 0x1000;

inline constexpr uint32_t ES_LEFT = 0x0000;
inline constexpr uint32_t ES_CENTER = 0x0001;
inline constexpr uint32_t ES_RIGHT = 0x0002;
inline constexpr uint32_t ES_MULTILINE = 0x0004;
inline constexpr uint32_t ES_PASSWORD = 0x0020;
inline constexpr uint32_t ES_AUTOVSCROLL = 0x0040;
inline constexpr uint32_t ES_AUTOHSCROLL = 0x0080;
inline constexpr uint32_t ES_READONLY = 0x0800;
inline constexpr uint32_t ES_WANTRETURN = 0x1000;
inline constexpr uint32_t ES_NUMBER = 0x2000;

inline constexpr uint32_t BS_PUSHBUTTON = 0x0;
inline constexpr uint32_t BS_DEFPUSHBUTTON = 0x1;
inline constexpr uint32_t BS_CHECKBOX = 0x2;
inline constexpr uint32_t BS_AUTOCHECKBOX = 0x3;
inline constexpr uint32_t BS_RADIOBUTTON = 0x4;
inline constexpr uint32_t BS_3STATE = 0x5;
inline constexpr uint32_t BS_AUTO3STATE = 0x6;
inline constexpr uint32_t BS_GROUPBOX = 0x7;
inline constexpr uint32_t BS_AUTORADIOBUTTON = 0x9;
inline constexpr uint32_t BS_TYPEMASK = 0xF;

inline constexpr uint32_t LBS_NOTIFY = 0x0001;
inline constexpr uint32_t LBS_SORT = 0x0002;

inline constexpr uint32_t CBS_SIMPLE = 0x0001;
inline constexpr uint32_t CBS_DROPDOWN = 0x0002;
inline constexpr uint32_t CBS_DROPDOWNLIST = 0x0003;
inline constexpr uint32_t CBS_TYPEMASK = 0x0003;
inline constexpr uint32_t CBS_SORT = 0x0100;

inline constexpr uint32_t PBS_SMOOTH = 0x01;

// The id of controls nobody addresses.
inline constexpr int32_t IDC_STATIC = -1;

// Bounds of what a template may hold.
inline constexpr size_t kMaxDialogTemplateSize = 64 * 1024;
inline constexpr size_t kMaxDialogTemplateLine = 2048;
inline constexpr size_t kMaxDialogItems = 255;
inline constexpr size_t kMaxDialogText = 1024; // bytes of UTF-8
inline constexpr size_t kMaxDialogFaceName = 31;
inline constexpr int32_t kMaxDialogUnits = 4096; // any coordinate or size
inline constexpr int32_t kMaxDialogPointSize = 72;

// The kind of a CONTROL line; its class is the item's className.
inline constexpr ControlKind kCustomControl{"<custom>"};
inline constexpr size_t kMaxDialogClassName = 63;

struct DialogItemTemplate {
  ControlKind kind = ControlKind::Static;
  std::string className; // a CONTROL line's window class; empty for the built-in kinds
  int32_t id = IDC_STATIC;
  std::string text;                            // UTF-8
  int32_t x = 0, y = 0, width = 0, height = 0; // dialog units
  uint32_t style = 0;                          // WS_CHILD | WS_VISIBLE and the class's own bits
};

struct DialogTemplate {
  std::string caption;                         // UTF-8
  int32_t x = 0, y = 0, width = 0, height = 0; // dialog units
  int32_t pointSize = 9;
  std::string face = "MS Shell Dlg"; // UTF-8
  uint32_t style = 0;
  std::vector<DialogItemTemplate> items; // in tab order

  // The first item with the id; nullptr when none.
  const DialogItemTemplate* Find(int32_t id) const;
};

// The default dialog style: a captioned pop-up with a system menu and a
// dialog frame.
uint32_t DefaultDialogStyle();

struct DialogTemplateError {
  size_t line = 0; // 1-based; 0 for the whole text
  std::string message;
};

// Parses a template file; nullopt with the first error when the text is
// larger than kMaxDialogTemplateSize, is not UTF-8, or any line is
// malformed or beyond a bound.
std::optional<DialogTemplate> ParseDialogTemplate(std::string_view text,
                                                  DialogTemplateError* error = nullptr);

// The size of a dialog unit: a quarter of the font's average character width
// across, an eighth of its cell height down.
struct DialogBaseUnits {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const DialogBaseUnits&, const DialogBaseUnits&) = default;
};

// The base units as the screen reckons them: the width of the 52 letters
// A-Z and a-z, halved per letter and rounded up at the half
// ((width / 26 + 1) / 2), and the cell height.
DialogBaseUnits BaseUnitsFromMeasure(int32_t widthOfLetters, int32_t cellHeight);
// The base units of a dialog font of that size and face at the screen's
// 96 dpi. Without a GUI application (which fonts need) or a usable font,
// the base units of the usual 8-point dialog font, 6 by 13.
DialogBaseUnits BaseUnitsOfFont(int32_t pointSize, std::string_view face);
// A rectangle in dialog units in pixels: each edge scaled and rounded as the
// screen's multiply-divide does.
gdi::Rect MapDialogRect(const gdi::Rect& dialogUnits, DialogBaseUnits units);

} // namespace ui
