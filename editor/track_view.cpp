#include "editor/track_view.h"

#include "core/player/mididevices.h"
#include "core/player/notifywnd.h"
#include "core/player/tambloapp.h"
#include "core/player/transport_exports.h"
#include "editor/device_dlg.h"
#include "editor/editor.h"
#include "editor/player_state.h"
#include "platform/sys/codepage.h"
#include "platform/ui/docview/document.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <charconv>
#include <cstdio>

namespace editor {
namespace {

constexpr uint32_t kSlashKey = 0xBF;
constexpr const char* kUnset = "...";

const wendra::MplayTable& Link() {
  return core::TheApp().linkTable;
}

bool Muted(int track) {
  return Link().GetTrackMute && Link().GetTrackMute(static_cast<uint16_t>(track)) != 0;
}

void SetMute(int track, bool muted) {
  if (Link().SetTrackMute)
    Link().SetTrackMute(static_cast<uint16_t>(track), muted ? 1 : 0);
}

// The channel of a track's channel messages, none without any.
std::optional<uint8_t> ChannelOf(const core::CSongData& song, int track) {
  if (!song.HasTrack(track))
    return std::nullopt;
  for (const core::SongEvent& e : song.tracks[track].events)
    if (e.kind == core::kKindChannel)
      return static_cast<uint8_t>(e.Status() & 0x0F);
  return std::nullopt;
}

void TurnOff(const core::CSongData& song, int track) {
  if (auto channel = ChannelOf(song, track); channel && Link().TurnOffChannel)
    Link().TurnOffChannel(*channel);
}

// A whole number of the text, nullopt for anything else.
std::optional<int> Number(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || p != end || text.empty())
    return std::nullopt;
  return value;
}

} // namespace

core::TrackSummary UnchangedSummary() {
  core::TrackSummary s;
  s.name.clear();
  s.channel = 255;
  s.program = 255;
  s.volume = 255;
  s.pan = 255;
  s.velocityOffset = 0;
  s.keyOffset = 0;
  return s;
}

CTrackView::CTrackView() {
  SetColumns(kTrackColumns);
}

std::string CTrackView::String(uint32_t id) const {
  const EditorApp& app = TheEditor();
  const std::string utf8 = app.bundle ? app.bundle->String(id).value_or("") : std::string();
  return sys::FromUtf8Lossy(utf8);
}

void CTrackView::MakeFont() {
  if (!Font())
    SetFont(MakeGridFont(GetHwnd()));
}

void CTrackView::OnInitialUpdate() {
  SetColumn(-1, 50, String(kTrackNumberCaption));
  SetColumn(0, 18, "P");
  SetColumn(1, 18, "M");
  SetColumn(2, 18, "L");
  const int widths[] = {150, 40, 100, 150, 40, 40};
  for (int i = 0; i < 6; ++i)
    SetColumn(3 + i, widths[i], String(kTrackCaptionStrings[i]));
  SetColumn(9, 40, " ");
  MakeFont();
  SetRowCount(core::TheSong().loaded ? core::TheSong().TrackCount() : 0);
  CGridView::OnInitialUpdate();
}

void CTrackView::OnUpdate(ui::View* sender, intptr_t hint) {
  (void)hint;
  const core::CSongData& song = core::TheSong();
  SetRowCount(song.loaded ? song.TrackCount() : 0);
  if (sender != this && GetHwnd())
    ui::InvalidateRect(GetHwnd(), nullptr, false);
}

bool CTrackView::IsTrackRow(int row) const {
  const core::CSongData& song = core::TheSong();
  return song.loaded && song.HasTrack(row);
}

std::string CTrackView::TrackCellText(int row, int column) const {
  const core::CSongData& song = core::TheSong();
  if (!IsTrackRow(row))
    return {};
  const core::Track& t = song.tracks[row];
  switch (column) {
  case 0:
    return Muted(row) ? "" : ">";
  case 1:
    // Track 0, the conductor track, as melody track means none.
    return row > 0 && row == song.melodyTrack ? "M" : "";
  case 2:
    return song.lyricsPresent && row > 0 && row == song.lyricTrack ? "L" : "";
  case 3:
    return t.summary.name;
  case 4: {
    auto channel = ChannelOf(song, row);
    return channel ? std::to_string(*channel + 1) : kUnset;
  }
  case 5: {
    const core::CMidiOutDeviceList& devices = core::MidiOutDevices();
    const std::string wanted = sys::FromUtf8Lossy(devices.DisplayName(t.port));
    if (t.port != 0 && !devices.TrackMatched(row)) {
      const int16_t device = devices.TrackDevice(row);
      const std::string actual = sys::FromUtf8Lossy(devices.Slot(device + 1).Name());
      return wanted + " --> " + actual;
    }
    return wanted;
  }
  case 6:
    return t.summary.program <= 127 ? std::string(core::InstrumentName(t.summary.program)) : kUnset;
  case 7:
    return t.summary.volume <= 127 ? std::to_string(t.summary.volume) : kUnset;
  case 8:
    return t.summary.pan <= 127 ? std::to_string(t.summary.pan) : kUnset;
  default:
    return {};
  }
}

std::optional<std::string> CTrackView::CellText(int row, int column) {
  return TrackCellText(row, column);
}

uint32_t CTrackView::CellAlign(int column) {
  return column <= 2 ? gdi::kDtCenter : column == 4 || column >= 7 ? gdi::kDtRight : gdi::kDtLeft;
}

void CTrackView::Edited() {
  if (ui::Document* doc = GetDocument())
    doc->UpdateAllViews(nullptr, kHintEdited);
}

void CTrackView::OnCellDoubleClick(int row, int column) {
  Activate(row, column);
}

void CTrackView::Activate(int row, int column) {
  if (Playing() || !IsTrackRow(row))
    return;
  core::CSongData& song = core::TheSong();
  const core::Track& t = song.tracks[row];
  switch (column) {
  case 0:
    ToggleMute(row);
    return;
  case 1:
    song.SetMelodyTrack(static_cast<int16_t>(row));
    Edited();
    return;
  case 2:
    song.SetLyricTrack(static_cast<int16_t>(row));
    Edited();
    return;
  case 3:
    OpenEdit(row, column, t.summary.name);
    return;
  case 4: {
    auto channel = ChannelOf(song, row);
    OpenEdit(row, column, channel ? std::to_string(*channel + 1) : "", ui::ES_RIGHT);
    return;
  }
  case 5:
    ChooseDevice(row);
    return;
  case 6: {
    std::vector<std::string> names;
    for (int p = 0; p < 128; ++p)
      names.emplace_back(core::InstrumentName(p));
    OpenList(row, column, t.summary.program <= 127 ? t.summary.program : 0, 128, names);
    return;
  }
  case 7:
  case 8: {
    const uint8_t value = column == 7 ? t.summary.volume : t.summary.pan;
    OpenEdit(row, column, value <= 127 ? std::to_string(value) : "", ui::ES_RIGHT);
    return;
  }
  default:
    return;
  }
}

void CTrackView::ToggleMute(int track) {
  if (Muted(track)) {
    SetMute(track, false);
  } else {
    TurnOff(core::TheSong(), track);
    SetMute(track, true);
  }
  if (GetHwnd())
    ui::InvalidateRect(GetHwnd(), nullptr, false);
}

void CTrackView::Solo(int track) {
  const core::CSongData& song = core::TheSong();
  bool othersMuted = !Muted(track);
  for (int t = 0; t < song.TrackCount() && othersMuted; ++t)
    othersMuted = t == track || Muted(t);
  for (int t = 0; t < song.TrackCount(); ++t) {
    if (othersMuted || t == track) {
      SetMute(t, false);
    } else {
      TurnOff(song, t);
      SetMute(t, true);
    }
  }
  if (GetHwnd())
    ui::InvalidateRect(GetHwnd(), nullptr, false);
}

void CTrackView::InsertTrack() {
  core::CSongData& song = core::TheSong();
  if (!song.loaded) {
    const EditorApp& app = TheEditor();
    const std::string untitled =
        app.bundle ? app.bundle->String(kUntitled).value_or("Untitled") : "Untitled";
    song.NewSong(sys::FromUtf8Lossy(untitled));
    if (ui::Document* doc = GetDocument())
      doc->SetTitle(song.path);
  } else {
    song.InsertTrack(static_cast<int16_t>(CurrentRow()));
  }
  Edited();
}

void CTrackView::DeleteTrack(int track) {
  const EditorApp& app = TheEditor();
  const std::string text = app.bundle ? app.bundle->String(kAskDeleteTrack).value_or("") : "";
  const std::string caption = app.bundle ? app.bundle->String(kFrameResource).value_or("") : "";
  const win::Hwnd self = GetHwnd();
  if (ui::MessageBox(text, caption, ui::MB_YESNO | ui::MB_ICONQUESTION, self) != ui::IDYES ||
      app.closePending || !win::IsWindow(self))
    return;
  core::CSongData& song = core::TheSong();
  if (song.DeleteTrack(static_cast<int16_t>(track)))
    Edited();
}

void CTrackView::ChooseDevice(int track) {
  const win::Hwnd self = GetHwnd();
  int position = core::kNoListPosition;
  const win::Hwnd owner = TheEditor().frame ? TheEditor().frame->GetHwnd() : self;
  if (RunDeviceListDialog(track, &position, owner) != 1 || TheEditor().closePending ||
      !win::IsWindow(self))
    return;
  core::CMidiOutDeviceList& devices = core::MidiOutDevices();
  if (position == kMapperListPosition ? devices.SetTrackPortToMapper(core::TheSong(), track)
                                      : devices.SetTrackPort(core::TheSong(), track, position))
    Edited();
}

int CTrackView::OnCommit(uint16_t code, win::LParam value) {
  if (Playing())
    return 0;
  const int row = CurrentRow(), column = CurrentColumn();
  core::CSongData& song = core::TheSong();
  if (!IsTrackRow(row))
    return 1;
  core::TrackSummary request = UnchangedSummary();
  if (code == kListCommit) {
    if (column != 6)
      return 1;
    if (value < 0 || value > 127)
      return 0;
    request.program = static_cast<uint8_t>(value);
  } else {
    const std::string_view text = value ? reinterpret_cast<const char*>(value) : "";
    switch (column) {
    case 3:
      // A name keeps at most 31 bytes, never half a character.
      request.name = std::string(sys::CutBytes(text, kTrackNameBytes));
      break;
    case 4: {
      auto channel = Number(text);
      if (!channel || *channel < 1 || *channel > 16)
        return 0;
      request.channel = static_cast<uint8_t>(*channel - 1);
      break;
    }
    case 7:
    case 8: {
      auto v = Number(text);
      if (!v || *v < 0 || *v > 127)
        return 0;
      (column == 7 ? request.volume : request.pan) = static_cast<uint8_t>(*v);
      break;
    }
    default:
      return 1;
    }
  }
  song.SetTrackSummary(static_cast<int16_t>(row), request);
  Edited();
  return 1;
}

ui::LResult CTrackView::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  if (message == win::WM_KEYDOWN &&
      !(ui::HighWord(static_cast<uintptr_t>(lParam)) & ui::KF_ALTDOWN)) {
    const int row = CurrentRow();
    switch (wParam) {
    case ui::VK_RETURN:
    case ui::VK_ADD:
      Activate(row, CurrentColumn());
      return 0;
    case ui::VK_SPACE:
      if (Playing())
        tamblo_Stop();
      else
        tamblo_Play();
      PostPositionChanged();
      return 0;
    case ui::VK_INSERT:
      if (!Playing())
        InsertTrack();
      return 0;
    case ui::VK_DELETE:
      if (!Playing() && IsTrackRow(row))
        DeleteTrack(row);
      return 0;
    case kSlashKey:
      if (!Playing() && IsTrackRow(row))
        Solo(row);
      return 0;
    default:
      break;
    }
  }
  if (message == win::WM_TIMER && wParam == kFollowTimer)
    return 0;
  return CGridView::OnMessage(message, wParam, lParam);
}

} // namespace editor
