#include "editor/event_bar.h"

#include "core/player/tambloapp.h"
#include "editor/editor.h"
#include "editor/event_view.h"
#include "editor/player_state.h"
#include "editor/track_view.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/scroll_bar.h"

#include <cstdio>

namespace editor {
namespace {

constexpr const char* kUnset = "...";
// The instrument list's entry after the 128 programs: a track without one.
constexpr int kNoProgram = 128;

struct SpinRange {
  int32_t spin, buddy;
  int lower, upper;
};
constexpr SpinRange kSpins[] = {
    {kBarTrackSpin, kBarTrack, 0, 0},
    {kBarChannelSpin, kBarChannel, 1, 16},
    {kBarVolumeSpin, kBarVolume, 0, 127},
    {kBarPanSpin, kBarPan, 0, 127},
    {kBarKeyStep, 0, -1, 1},
    {kBarVelocityStep, 0, -1, 1},
};

} // namespace

CEventEditBar::CEventEditBar(ui::DialogTemplate dialogTemplate, CEListView& view)
    : ui::Dialog(std::move(dialogTemplate)), view_(&view) {}

bool CEventEditBar::CreateOn(win::Hwnd childFrame) {
  auto* frame = dynamic_cast<ui::MdiChildWnd*>(win::GetWindowObject(childFrame));
  if (!frame || !Create(childFrame))
    return false;
  frame->DockBar(GetHwnd(), ClientSize().cy, [this](const gdi::Rect& r) { MoveChild(r); });
  return true;
}

bool CEventEditBar::OnInitDialog() {
  showing_ = true;
  for (const SpinRange& s : kSpins) {
    auto* spin = Item<ui::UpDown>(s.spin);
    if (!spin)
      continue;
    spin->SetRange(s.lower, s.upper);
    if (s.buddy)
      spin->SetBuddy(ui::GetDlgItem(GetHwnd(), s.buddy));
    spin->SetPosition(s.lower <= 0 && s.upper >= 0 ? 0 : s.lower);
  }
  if (auto* list = Item<ui::ComboBox>(kBarInstrument)) {
    list->ResetContent();
    for (int p = 0; p < 128; ++p) {
      char entry[64];
      std::snprintf(entry, sizeof entry, "%03i : %s", p,
                    std::string(core::InstrumentName(p)).c_str());
      list->AddString(entry);
    }
    list->AddString(kUnset);
  }
  showing_ = false;
  return false;
}

void CEventEditBar::SetTrackCount(int count) {
  if (auto* spin = Item<ui::UpDown>(kBarTrackSpin)) {
    showing_ = true;
    spin->SetRange(0, std::max(0, count - 1));
    showing_ = false;
  }
}

void CEventEditBar::ShowTrack(int track) {
  const core::CSongData& song = core::TheSong();
  const core::Track* t = song.loaded && song.HasTrack(track) ? &song.tracks[track] : nullptr;
  showing_ = true;
  auto show = [&](int32_t spin, int32_t buddy, std::optional<int> value) {
    if (auto* s = Item<ui::UpDown>(spin); s && value)
      s->SetPosition(*value);
    if (!value)
      ui::SetDlgItemText(GetHwnd(), buddy, kUnset);
  };
  show(kBarTrackSpin, kBarTrack, track);
  if (!t) {
    show(kBarChannelSpin, kBarChannel, std::nullopt);
    show(kBarVolumeSpin, kBarVolume, std::nullopt);
    show(kBarPanSpin, kBarPan, std::nullopt);
    if (auto* list = Item<ui::ComboBox>(kBarInstrument))
      list->SetSelection(kNoProgram);
    showing_ = false;
    return;
  }
  const core::TrackSummary& s = t->summary;
  show(kBarChannelSpin, kBarChannel,
       s.channel <= 15 ? std::optional<int>(s.channel + 1) : std::nullopt);
  show(kBarVolumeSpin, kBarVolume, s.volume <= 127 ? std::optional<int>(s.volume) : std::nullopt);
  show(kBarPanSpin, kBarPan, s.pan <= 127 ? std::optional<int>(s.pan) : std::nullopt);
  if (auto* list = Item<ui::ComboBox>(kBarInstrument))
    list->SetSelection(s.program <= 127 ? s.program : kNoProgram);
  showing_ = false;
}

void CEventEditBar::Change(const core::TrackSummary& request) {
  core::CSongData& song = core::TheSong();
  if (!view_ || !song.loaded || !song.HasTrack(view_->Track()))
    return;
  if (song.SetTrackSummary(view_->Track(), request))
    if (ui::Document* doc = view_->GetDocument())
      doc->UpdateAllViews(nullptr, kHintEdited);
}

void CEventEditBar::OnSpin(int32_t id, int position) {
  if (!view_)
    return;
  if (id == kBarTrackSpin) {
    view_->SelectTrack(position, true);
    return;
  }
  if (Playing()) {
    // Refused: the bar shows the track as it stands.
    ShowTrack(view_->Track());
    return;
  }
  core::TrackSummary request = UnchangedSummary();
  switch (id) {
  case kBarChannelSpin:
    if (position < 1 || position > 16)
      return;
    request.channel = static_cast<uint8_t>(position - 1);
    break;
  case kBarVolumeSpin:
  case kBarPanSpin:
    if (position < 0 || position > 127)
      return;
    (id == kBarVolumeSpin ? request.volume : request.pan) = static_cast<uint8_t>(position);
    break;
  case kBarVelocityStep:
  case kBarKeyStep: {
    // A step spin is read and set back to 0: each click is one step.
    if (auto* spin = Item<ui::UpDown>(id))
      spin->SetPosition(0);
    if (position == 0)
      return;
    const int8_t step = position > 0 ? 1 : -1;
    (id == kBarVelocityStep ? request.velocityOffset : request.keyOffset) = step;
    break;
  }
  default:
    return;
  }
  Change(request);
}

std::optional<ui::LResult> CEventEditBar::OnMessage(uint32_t message, ui::WParam wParam,
                                                    ui::LParam lParam) {
  if ((message == ui::WM_VSCROLL || message == ui::WM_HSCROLL) && !showing_ &&
      ui::LowWord(wParam) == ui::SB_THUMBPOSITION) {
    auto* spin = dynamic_cast<ui::UpDown*>(win::GetWindowObject(static_cast<win::Hwnd>(lParam)));
    if (spin && spin->Owner() == this) {
      OnSpin(spin->Id(), spin->Position());
      return 0;
    }
  }
  return ui::Dialog::OnMessage(message, wParam, lParam);
}

bool CEventEditBar::OnCommand(uint16_t id, uint16_t code, win::Hwnd control) {
  if (Playing())
    return false;
  if (id == kBarInstrument && code == ui::CBN_SELCHANGE && !showing_) {
    auto* list = Item<ui::ComboBox>(kBarInstrument);
    const int program = list ? list->Selection() : -1;
    if (program >= 0 && program <= 127) {
      core::TrackSummary request = UnchangedSummary();
      request.program = static_cast<uint8_t>(program);
      Change(request);
    }
    return true;
  }
  if (id == kBarButton1 || id == kBarButton2)
    return true;
  return ui::Dialog::OnCommand(id, code, control);
}

} // namespace editor
