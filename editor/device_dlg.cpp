#include "editor/device_dlg.h"

#include "core/player/tambloapp.h"
#include "editor/editor.h"
#include "platform/res/dialog_resource.h"
#include "platform/ui/controls/list_box.h"

#include <cstdio>

namespace editor {

int DeviceEntryOfTrack(const core::CMidiOutDeviceList& devices, int track) {
  if (devices.TrackPort(track) == 0 || !devices.TrackMatched(track))
    return 0;
  const int16_t device = devices.TrackDevice(track);
  if (device == core::kMapperDevice)
    return 1;
  const int position = devices.IndexOfDevice(device);
  return position == core::kNoListPosition ? 0 : position + 2;
}

int PositionOfDeviceEntry(int entry) {
  if (entry <= 0)
    return core::kNoListPosition;
  return entry == 1 ? kMapperListPosition : entry - 2;
}

CDeviceListDlg::CDeviceListDlg(ui::DialogTemplate dialogTemplate,
                               const core::CMidiOutDeviceList& devices, int track)
    : ui::Dialog(std::move(dialogTemplate)), devices_(devices), track_(track) {}

bool CDeviceListDlg::OnInitDialog() {
  if (auto* list = Item<ui::ListBox>(kDeviceList)) {
    list->AddString(devices_.DisplayName(0));
    for (int slot = 0; slot < devices_.SlotCount(); ++slot)
      list->AddString(devices_.Slot(slot).Name());
    list->SetSelection(DeviceEntryOfTrack(devices_, track_));
  }
  return true;
}

bool CDeviceListDlg::OnCommand(uint16_t id, uint16_t code, win::Hwnd control) {
  if (id == kDeviceList && code == ui::LBN_DBLCLK) {
    OnOK();
    return true;
  }
  return ui::Dialog::OnCommand(id, code, control);
}

void CDeviceListDlg::OnOK() {
  auto* list = Item<ui::ListBox>(kDeviceList);
  const int entry = list ? list->Selection() : -1;
  if (entry >= 0) {
    chosen = true;
    position = PositionOfDeviceEntry(entry);
  }
  EndDialog(ui::IDOK);
}

int RunDeviceListDialog(int track, int* position, win::Hwnd owner) {
  const std::optional<res::Bundle>& bundle = TheEditor().bundle;
  if (!bundle)
    return -1;
  std::string error;
  auto t = res::LoadDialogTemplate(*bundle, kDeviceTemplate, &error);
  if (!t) {
    std::fprintf(stderr, "Output Device: %s\n", error.c_str());
    return -1;
  }
  CDeviceListDlg dialog(std::move(*t), core::MidiOutDevices(), track);
  const int result = dialog.DoModal(owner);
  if (result == ui::IDOK && dialog.chosen && position)
    *position = dialog.position;
  return result == ui::IDOK && dialog.chosen ? 1 : 0;
}

} // namespace editor
