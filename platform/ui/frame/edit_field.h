// A one-line edit field as a child of any screen window (a view, a frame):
// it draws its text aligned as its style says (ES_LEFT, ES_CENTER,
// ES_RIGHT), takes typed characters, Backspace, Delete and the caret keys,
// and selects all its text on request, as typing then replaces it. Its
// owner's hook takes Enter, Escape and the loss of the focus first. The
// texts of WM_SETTEXT and WM_GETTEXT are code-page bytes of the process's
// code page; Text and SetText are UTF-8. Owner's thread only.
#pragma once

#include "platform/ui/dialog/dialog_template.h"
#include "platform/ui/frame/field_events.h"
#include "platform/ui/window/screen.h"

#include <memory>
#include <string>
#include <string_view>

namespace gdi {
class Font;
}

namespace ui {

inline constexpr const char* kEditFieldClass = "VexoEditField";

inline constexpr uint32_t EM_SETSEL = 0x00B1;

class EditField : public ScreenWindow {
public:
  // A visible child of parent at rect; false when the window could not be
  // made.
  bool Create(Hwnd parent, uint32_t id, gdi::Rect rect, uint32_t style = ES_LEFT);
  uint32_t Id() const { return id_; }
  uint32_t Style() const { return style_; }

  void SetHook(FieldHook hook) { hook_ = std::move(hook); }
  void SetFont(std::shared_ptr<const gdi::Font> font);

  const std::string& Text() const { return text_; }
  void SetText(std::string_view utf8);
  // Selects the whole text (the caret at its end).
  void SelectAll();
  bool AllSelected() const { return allSelected_; }
  // The caret, a byte offset into the UTF-8 text.
  size_t Caret() const { return caret_; }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  void Draw(gdi::Dc& dc);
  void Type(char32_t c);
  void Key(uint32_t key);
  // Hands an event to the hook; false when the field has gone meanwhile.
  bool Hand(FieldEvent event, bool* taken);
  void Changed();

  uint32_t id_ = 0;
  uint32_t style_ = ES_LEFT;
  std::string text_;
  size_t caret_ = 0;
  bool allSelected_ = false;
  bool focused_ = false;
  FieldHook hook_;
  std::shared_ptr<const gdi::Font> font_;
};

} // namespace ui
