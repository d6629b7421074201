#include "core/player/wavebankdlg.h"

#include "core/player/tambloapp.h"
#include "core/player/waveplayer.h"
#include "core/wavebank.h"
#include "platform/res/dialog_resource.h"
#include "platform/sys/codepage.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/modal/filedialog.h"

#include <cstdio>

namespace core {

CWaveBankDlg::CWaveBankDlg(ui::DialogTemplate dialogTemplate, CSongData& song,
                           std::string fileFilter)
    : ui::Dialog(std::move(dialogTemplate)), song_(song), fileFilter_(std::move(fileFilter)) {}

std::optional<ui::DialogTemplate> CWaveBankDlg::LoadTemplate(const res::Bundle& bundle,
                                                             std::string* error) {
  return res::LoadDialogTemplate(bundle, kWaveBankTemplate, error);
}

bool CWaveBankDlg::OnInitDialog() {
  auto* list = Item<ui::ListBox>(kWaveSlotList);
  if (list)
    for (int i = 0; i < kWaveSlots; ++i)
      list->AddString(sys::ToUtf8(WaveSlotRow(i, song_.waves[static_cast<size_t>(i)])));
  ui::SendDlgItemMessage(GetHwnd(), kWaveNameEdit, ui::EM_LIMITTEXT, kWaveNameLength);
  return true;
}

int CWaveBankDlg::Selected() const {
  auto* list = Item<ui::ListBox>(kWaveSlotList);
  const int s = list ? list->Selection() : -1;
  return s >= 0 && s < kWaveSlots && s < static_cast<int>(song_.waves.size()) ? s : -1;
}

bool CWaveBankDlg::OnCommand(uint16_t id, uint16_t code, win::Hwnd control) {
  switch (id) {
  case kWaveSlotList:
    if (code == ui::LBN_SELCHANGE)
      ShowSlot();
    else if (code == ui::LBN_DBLCLK)
      Load();
    return true;
  case kWaveNameEdit:
    if (code == ui::EN_CHANGE && !showing_)
      NameEdited();
    return true;
  case kWaveLoadButton:
    Load();
    return true;
  case kWavePlayButton:
    Play();
    return true;
  case kWaveStopButton:
    TheWavePlayer().Stop();
    return true;
  case kWaveDeleteButton:
    Delete();
    return true;
  default:
    return ui::Dialog::OnCommand(id, code, control);
  }
}

void CWaveBankDlg::Load() {
  const int s = Selected();
  if (s < 0)
    return;
  ui::OpenFileRequest request;
  request.filter = fileFilter_;
  request.fileName = WaveBankFolder().empty() ? std::string() : WaveBankFolder() + "/";
  request.owner = GetHwnd();
  const std::optional<std::string> path = ui::GetOpenFileName(request);
  if (!path || path->empty())
    return;
  const size_t slash = path->find_last_of('/');
  WaveBankFolder() = slash == std::string::npos ? std::string() : path->substr(0, slash);
  WavePlayer& player = TheWavePlayer();
  if (!player.ReadWaveFile(*path))
    return;
  WaveSlot& slot = song_.waves[static_cast<size_t>(s)];
  if (player.Sounds(slot))
    player.Stop();
  const media::WaveFormat& f = player.FileFormat();
  FillWaveSlot(slot, player.TakeFileData(), f.rate, f.bits, f.channels);
  RefreshRow(s);
  ShowSlot();
}

void CWaveBankDlg::Play() {
  const int s = Selected();
  if (s >= 0)
    TheWavePlayer().PlaySlot(song_.waves[static_cast<size_t>(s)]);
}

void CWaveBankDlg::Delete() {
  const int s = Selected();
  if (s < 0)
    return;
  WaveSlot& slot = song_.waves[static_cast<size_t>(s)];
  if (TheWavePlayer().Sounds(slot))
    TheWavePlayer().Stop();
  ClearWaveSlot(slot);
  RefreshRow(s);
  ShowSlot();
}

void CWaveBankDlg::ShowSlot() {
  const int s = Selected();
  const WaveSlot* slot = s >= 0 ? &song_.waves[static_cast<size_t>(s)] : nullptr;
  const bool filled = slot && !slot->pcm.empty();
  showing_ = true;
  ui::SetDlgItemText(GetHwnd(), kWaveFormatText, filled ? FormatWordText(slot->format) : "");
  ui::SetDlgItemText(GetHwnd(), kWaveNameEdit, filled ? slot->name : "");
  showing_ = false;
}

void CWaveBankDlg::NameEdited() {
  const int s = Selected();
  if (s < 0)
    return;
  WaveSlot& slot = song_.waves[static_cast<size_t>(s)];
  slot.name = ui::GetDlgItemText(GetHwnd(), kWaveNameEdit).substr(0, kWaveNameLength);
  RefreshRow(s);
}

void CWaveBankDlg::RefreshRow(int s) {
  auto* list = Item<ui::ListBox>(kWaveSlotList);
  if (!list)
    return;
  list->DeleteString(s);
  list->InsertString(s, sys::ToUtf8(WaveSlotRow(s, song_.waves[static_cast<size_t>(s)])));
  list->SetSelection(s);
}

std::string& WaveBankFolder() {
  static std::string* folder = new std::string;
  return *folder;
}

int RunWaveBankDialog(CSongData& song, win::Hwnd owner) {
  const res::Bundle* bundle = TheApp().Resources();
  if (!bundle) {
    std::fprintf(stderr, "Wave Bank: the player core's resources are not loaded\n");
    return -1;
  }
  std::string error;
  auto t = CWaveBankDlg::LoadTemplate(*bundle, &error);
  if (!t) {
    std::fprintf(stderr, "Wave Bank: %s\n", error.c_str());
    return -1;
  }
  CWaveBankDlg dialog(std::move(*t), song, bundle->StringBytes(kWaveFileFilterString));
  return dialog.DoModal(owner);
}

} // namespace core
