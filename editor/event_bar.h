// The event edit bar: a dialog bar docked at the top of the event list's
// child frame that shows the selected track's channel, instrument, volume
// and pan and changes them for the whole track, with a spin that chooses
// the track and two step spins that raise or lower every note's velocity
// or key by one. Owner's thread only.
#pragma once

#include "core/songdata.h"
#include "platform/ui/dialog/dialog.h"

namespace editor {

class CEListView;

inline constexpr uint32_t kEditBarResource = 145;
inline constexpr uint32_t kEditBarStyle = 0x2800; // docked at the top, border below
inline constexpr uint32_t kEditBarId = 1000;

// Control ids of the bar.
inline constexpr int32_t kBarInstrument = 1033;
inline constexpr int32_t kBarChannel = 1034;
inline constexpr int32_t kBarChannelSpin = 1035;
inline constexpr int32_t kBarButton1 = 1036;
inline constexpr int32_t kBarKeyStep = 1037;
inline constexpr int32_t kBarVolume = 1038;
inline constexpr int32_t kBarVolumeSpin = 1039;
inline constexpr int32_t kBarTrack = 1040;
inline constexpr int32_t kBarTrackSpin = 1041;
inline constexpr int32_t kBarPan = 1042;
inline constexpr int32_t kBarPanSpin = 1043;
inline constexpr int32_t kBarVelocityStep = 1044;
inline constexpr int32_t kBarButton2 = 1045;

class CEventEditBar : public ui::Dialog {
public:
  CEventEditBar(ui::DialogTemplate dialogTemplate, CEListView& view);

  // Makes the bar inside the view's child frame, docked at its top; false
  // when it cannot be made (the object is still the caller's). Once made,
  // the bar belongs to its window and goes with it.
  bool CreateOn(win::Hwnd childFrame);
  // The view is going: the bar no longer reaches it.
  void ViewGone() { view_ = nullptr; }
  // The track spin's range: 0 to count - 1, 0 to 0 without tracks.
  void SetTrackCount(int count);
  // Shows the track and its channel (+1), instrument, volume and pan;
  // "..." for a value the track does not set.
  void ShowTrack(int track);

protected:
  bool OnInitDialog() override;
  std::optional<ui::LResult> OnMessage(uint32_t message, ui::WParam wParam,
                                       ui::LParam lParam) override;
  bool OnCommand(uint16_t id, uint16_t code, win::Hwnd control) override;
  // Enter and Escape leave a bar alone.
  void OnOK() override {}
  void OnCancel() override {}
  void Detached() override { delete this; }

private:
  void OnSpin(int32_t id, int position);
  void Change(const core::TrackSummary& request);

  CEListView* view_;
  // Set while the bar shows values: the changes it makes are no person's.
  bool showing_ = false;
};

} // namespace editor
