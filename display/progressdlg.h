// The progress dialog: two lines of text and a bar, shown modeless while a
// long job runs (the display's media lists, the album's rebuilds). The
// caller owns it, creates it, sets its texts and sends the bar PBM_SETPOS
// between steps of its own loop, and destroys it when the job ends. The
// display and the song album each build it from template 137 of their own
// resource bundle.
#pragma once

#include "platform/res/bundle.h"
#include "platform/ui/dialog/dialog.h"

#include <cstdint>
#include <memory>
#include <optional>

class ProgressDlg : public ui::Dialog {
public:
  static constexpr int kTemplate = 137;
  static constexpr int32_t kItemProgress = 1023;
  static constexpr int32_t kItemFirstText = 1024;
  static constexpr int32_t kItemSecondText = 1025;

  // Template 137 of the bundle; nullopt (with a line on standard error) when
  // the bundle has none or it cannot be read.
  static std::optional<ui::DialogTemplate> LoadTemplate(const res::Bundle& bundle);

  explicit ProgressDlg(ui::DialogTemplate dialogTemplate, ui::Hwnd parent = 0,
                       int codePage = sys::kDefaultCodePage);

  // The modeless dialog, without a parent window.
  bool Create();
  void SetRange(int low, int high);

  ui::Hwnd Parent() const { return parent_; }

  // While 0 (as after initialisation) Enter and Esc leave the dialog open.
  int32_t closable = 0;

protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

private:
  ui::Hwnd parent_;
};
