#include "display/progressdlg.h"

#include "platform/ui/controls/progress.h"

#include <cstdio>
#include <string>

std::optional<ui::DialogTemplate> ProgressDlg::LoadTemplate(const res::Bundle& bundle) {
  const std::string path = "dialogs/" + std::to_string(kTemplate) + ".dlg";
  std::optional<std::vector<uint8_t>> bytes = bundle.File(path);
  ui::DialogTemplateError error;
  std::optional<ui::DialogTemplate> t;
  if (bytes)
    t = ui::ParseDialogTemplate(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), &error);
  if (!t) {
    std::string why = bytes ? "line " + std::to_string(error.line) + ": " + error.message
                            : std::string("missing");
    std::fprintf(stderr, "%s %s: %s\n", bundle.Name().c_str(), path.c_str(), why.c_str());
  }
  return t;
}

ProgressDlg::ProgressDlg(ui::DialogTemplate dialogTemplate, ui::Hwnd parent, int codePage)
    : Dialog(std::move(dialogTemplate), codePage), parent_(parent) {}

bool ProgressDlg::Create() {
  return Dialog::Create(0);
}

void ProgressDlg::SetRange(int low, int high) {
  ui::SendDlgItemMessage(GetHwnd(), kItemProgress, ui::PBM_SETRANGE, 0,
                         ui::MakeLParam(static_cast<uint16_t>(low), static_cast<uint16_t>(high)));
}

bool ProgressDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  closable = 0;
  SetRange(0, 100);
  return true;
}

void ProgressDlg::OnOK() {
  if (closable)
    Dialog::OnOK();
}

void ProgressDlg::OnCancel() {
  if (closable)
    Dialog::OnCancel();
}
