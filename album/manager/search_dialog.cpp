#include "album/manager/search_dialog.h"

#include "platform/sys/codepage.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"
#include "platform/win/dispatch.h"

namespace album {

AlbSearchDlg::AlbSearchDlg(ui::DialogTemplate dialogTemplate, SearchSettings& settings,
                           bool narrowAllowed, int codePage)
    : ui::Dialog(std::move(dialogTemplate), codePage), settings_(settings),
      narrowAllowed_(narrowAllowed) {}

bool AlbSearchDlg::OnInitDialog() {
  const ui::Hwnd self = GetHwnd();
  win::SendMessage(ui::GetDlgItem(self, kText), ui::EM_LIMITTEXT, kSearchTextMax, 0);
  if (auto* edit = Item(kText))
    edit->SetText(sys::ToUtf8(settings_.text, CodePage()));
  for (uint16_t id : {uint16_t{1100}, uint16_t{1101}, uint16_t{1102}})
    ui::CheckDlgButton(self, id, id == settings_.kind ? ui::BST_CHECKED : ui::BST_UNCHECKED);
  ui::CheckDlgButton(self, kNarrow, settings_.narrow ? ui::BST_CHECKED : ui::BST_UNCHECKED);
  ui::EnableDlgItem(self, kNarrow, narrowAllowed_);
  return true;
}

void AlbSearchDlg::OnOK() {
  const ui::Hwnd self = GetHwnd();
  std::string text = ui::GetDlgItemText(self, kText);
  text.resize(sys::CutLength(text, kSearchTextMax, CodePage()));
  if (text.empty()) {
    EndDialog(0);
    return;
  }
  settings_.text = text;
  settings_.narrow = narrowAllowed_ && ui::IsDlgButtonChecked(self, kNarrow) == ui::BST_CHECKED;
  settings_.kind = 0;
  for (uint16_t id : {uint16_t{1100}, uint16_t{1101}, uint16_t{1102}})
    if (ui::IsDlgButtonChecked(self, id) == ui::BST_CHECKED)
      settings_.kind = id;
  EndDialog(1);
}

void AlbSearchDlg::OnCancel() {
  EndDialog(0);
}

} // namespace album
