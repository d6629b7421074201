#include "display/progressdlg.h"

#include "platform/res/dialog_resource.h"
#include "platform/ui/controls/progress.h"

#include <cstdio>
#include <string>

std::optional<ui::DialogTemplate> ProgressDlg::LoadTemplate(const res::Bundle& bundle) {
  std::string error;
  std::optional<ui::DialogTemplate> t = res::LoadDialogTemplate(bundle, kTemplate, &error);
  if (!t)
    std::fprintf(stderr, "%s\n", error.c_str());
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
