// The output-device dialog of the track list (template 162 of rTamblo): the
// current device's entry, then every device of the player core's list (the
// MIDI mapper first); the track's device is chosen when it opens, and OK or
// a double click gives the chosen one back.
#pragma once

#include "core/player/mididevices.h"
#include "platform/ui/dialog/dialog.h"

#include <string>
#include <vector>

namespace editor {

inline constexpr int kDeviceTemplate = 162;
inline constexpr int32_t kDeviceList = 1072;
// The chosen position: a device of the list, core::kNoListPosition for none
// (the current device), kMapperListPosition for the MIDI mapper.
inline constexpr int kMapperListPosition = -1;

// The list's entry of a track's device, and the position an entry stands for.
int DeviceEntryOfTrack(const core::CMidiOutDeviceList& devices, int track);
int PositionOfDeviceEntry(int entry);

class CDeviceListDlg : public ui::Dialog {
public:
  CDeviceListDlg(ui::DialogTemplate dialogTemplate, const core::CMidiOutDeviceList& devices,
                 int track);

  // After DoModal: whether a device was chosen, and its position.
  bool chosen = false;
  int position = core::kNoListPosition;

protected:
  bool OnInitDialog() override;
  bool OnCommand(uint16_t id, uint16_t code, win::Hwnd control) override;
  void OnOK() override;

private:
  const core::CMidiOutDeviceList& devices_;
  int track_;
};

// Runs the dialog for a track with the editor's resources; -1 when
// they are missing, else its result with *position set when one was chosen.
int RunDeviceListDialog(int track, int* position, win::Hwnd owner);

} // namespace editor
