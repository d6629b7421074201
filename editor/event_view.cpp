// The event list: rows formatted from the song for the visible part only,
// the cell editors per column and kind, their commits, the keys, and the
// current row following the player.
#include "editor/event_view.h"

#include "core/player/tambloapp.h"
#include "core/player/transport_exports.h"
#include "editor/editor.h"
#include "editor/player_state.h"
#include "platform/res/bundle.h"
#include "platform/res/dialog_resource.h"
#include "platform/sys/midi_message.h"
#include "platform/ui/docview/document.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>

namespace editor {
namespace {

namespace midi = sys::midi;

constexpr int kLeftColumnWidth = 50;
constexpr struct {
  int width;
  const char* caption;
} kColumns[kEventColumns] = {{80, "Mn:Sc:ms"}, {80, "Ms:Bt:Tk"}, {30, "Chn"},     {100, "Kind"},
                             {80, "Value 1"},  {80, "Value 2"},  {80, "Value 3"}, {80, " "}};
// Positions are measured in 16 bits: measures, beats and ticks up to this.
constexpr int64_t kMaxPositionField = INT16_MAX;
// A tempo's microseconds per quarter fill 24 bits.
constexpr int64_t kMinBpm = 4;
constexpr int kWaveSlotLast = core::kWaveSlots - 1;
constexpr int kLastSinger = 3;

const wendra::MplayTable& Link() {
  return core::TheApp().linkTable;
}

// Decimal numbers separated by ':' or '/', blanks around them allowed;
// nullopt for anything else or a number beyond 32 bits.
std::optional<std::vector<int64_t>> Fields(std::string_view text) {
  std::vector<int64_t> out;
  size_t start = 0;
  while (true) {
    size_t end = text.find_first_of(":/", start);
    std::string_view field =
        text.substr(start, end == std::string_view::npos ? text.npos : end - start);
    while (!field.empty() && field.front() == ' ')
      field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ')
      field.remove_suffix(1);
    int32_t value = 0;
    auto [p, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || ec != std::errc() || p != field.data() + field.size())
      return std::nullopt;
    out.push_back(value);
    if (end == std::string_view::npos)
      return out;
    start = end + 1;
  }
}

std::optional<int64_t> One(std::string_view text) {
  auto fields = Fields(text);
  if (!fields || fields->size() != 1 || text.find_first_of(":/") != text.npos)
    return std::nullopt;
  return fields->front();
}

bool IsMidi(const core::SongEvent& e) {
  return e.kind == core::kKindChannel;
}

uint8_t TypeOf(const core::SongEvent& e) {
  return IsMidi(e) ? midi::TypeOf(e.Status()) : 0;
}

// The alignment of a value column from its nibble of the event's code.
uint32_t ValueAlign(uint16_t code, int valueColumn) {
  switch ((code >> (4 * valueColumn)) & 0xF) {
  case 1:
    return gdi::kDtLeft;
  case 2:
    return gdi::kDtRight;
  case 3:
    return gdi::kDtLeft | gdi::kDtNoClip;
  case 4:
    return gdi::kDtRight | gdi::kDtNoClip;
  default:
    return gdi::kDtCenter;
  }
}

std::string Printed(const char* format, long long a, long long b, long long c) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

std::vector<std::string> InstrumentEntries() {
  std::vector<std::string> names;
  for (int p = 0; p < 128; ++p)
    names.emplace_back(core::InstrumentName(p));
  return names;
}

} // namespace

const std::vector<std::string>& KeySignatureEntries() {
  static const std::vector<std::string> entries = {
      "7 Flats (C-Flat)", "6 Flats (G-Flat)",   "5 Flats (D-Flat)",  "4 Flats (A-Flat)",
      "3 Flats (E-Flat)", "2 Flats (B-Flat)",   "1 Flat (F)",        "C",
      "1 Sharp (G)",      "2 Sharps (D)",       "3 Sharps (A)",      "4 Sharps (E)",
      "5 Sharps (B)",     "6 Sharps (F-Sharp)", "7 Sharps (C-Sharp)"};
  return entries;
}

const std::vector<std::string>& ModeEntries() {
  static const std::vector<std::string> entries = {"major", "minor"};
  return entries;
}

const std::vector<std::string>& EventTypeEntries() {
  static const std::vector<std::string> entries = [] {
    std::vector<std::string> out;
    for (int i = 0; i < 16; ++i)
      out.emplace_back(core::EventTypeLabel(i));
    return out;
  }();
  return entries;
}

CEListView::CEListView() {
  SetColumns(kEventColumns);
  SetColumn(-1, kLeftColumnWidth, "TRK:0");
  for (int c = 0; c < kEventColumns; ++c)
    SetColumn(c, kColumns[c].width, kColumns[c].caption);
}

CEListView::~CEListView() {
  if (CEventEditBar* bar = EditBar())
    bar->ViewGone();
}

CEventEditBar* CEListView::EditBar() const {
  return bar_ && win::IsWindow(barHwnd_) && win::GetWindowObject(barHwnd_) == bar_ ? bar_ : nullptr;
}

const core::SongEvent* CEListView::EventAt(int row) const {
  const core::CSongData& song = core::TheSong();
  return song.loaded ? song.Event(track_, row) : nullptr;
}

std::optional<EventRow> CEListView::FormatRow(int row) const {
  const core::CSongData& song = core::TheSong();
  const core::SongEvent* e = EventAt(row);
  if (!e)
    return std::nullopt;
  auto description = song.FormatEventText(track_, row);
  if (!description)
    return std::nullopt;
  EventRow out;
  out.description = std::move(*description);
  out.time = Printed("%lld : %02lld : %03lld", e->ms / 60000, e->ms / 1000 % 60, e->ms % 1000);
  uint16_t measure = 0, beat = 0, tick = 0;
  song.GetEventMeasureBeat(track_, row, measure, beat, tick);
  out.position = Printed("%lld : %lld : %03lld", measure + 1, beat + 1, tick);
  return out;
}

namespace {

std::string ColumnText(const EventRow& r, int column) {
  switch (column) {
  case 0:
    return r.time;
  case 1:
    return r.position;
  case 2:
    return r.description.channel;
  case 3:
    return r.description.kind;
  case 4:
    return r.description.value1;
  case 5:
    return r.description.value2;
  case 6:
    return r.description.value3;
  default:
    return {};
  }
}

uint32_t ColumnAlign(const EventRow& r, int column) {
  if (column <= 1)
    return gdi::kDtRight;
  if (column <= 3)
    return gdi::kDtCenter;
  if (column <= 6)
    return ValueAlign(r.description.alignment, column - 4);
  return gdi::kDtLeft;
}

} // namespace

std::string CEListView::EventCellText(int row, int column) const {
  auto r = FormatRow(row);
  return r ? ColumnText(*r, column) : std::string();
}

std::optional<std::string> CEListView::CellText(int row, int column) {
  auto r = FormatRow(row);
  if (!r)
    return std::nullopt;
  return ColumnText(*r, column);
}

void CEListView::DrawCells(gdi::Dc& dc) {
  // One description per row for all its columns, and only for the rows
  // the paint reaches (a line step paints one).
  const gdi::Rect clip = dc.ClipBox();
  const int last = std::min(LastVisibleRow(), RowCount() - 1);
  for (int row = TopRow(); row <= last; ++row) {
    const int32_t top = HeaderHeight() + (row - TopRow()) * RowHeight();
    if (top + RowHeight() <= clip.top || top >= clip.bottom)
      continue;
    auto r = FormatRow(row);
    if (!r)
      continue;
    for (int column = FirstColumn(); column <= LastVisibleColumn() && column < 7; ++column) {
      const std::string text = ColumnText(*r, column);
      if (!text.empty())
        DrawCellText(dc, row, column, text, ColumnAlign(*r, column));
    }
  }
}

void CEListView::MakeBar() {
  if (EditBar() || !ParentFrame())
    return;
  const EditorApp& app = TheEditor();
  if (!app.bundle)
    return;
  std::string error;
  auto t = res::LoadDialogTemplate(*app.bundle, kEditBarResource, &error);
  if (!t)
    return;
  auto bar = std::make_unique<CEventEditBar>(std::move(*t), *this);
  if (!bar->CreateOn(ParentFrame()->GetHwnd()))
    return;
  barHwnd_ = bar->GetHwnd();
  bar_ = bar.release();
}

void CEListView::OnInitialUpdate() {
  if (!Font())
    SetFont(MakeGridFont(GetHwnd()));
  MakeBar();
  // The track last shown, read before the grid's first update stores ours.
  int stored = 0;
  if (auto* doc = dynamic_cast<CTambloDoc*>(GetDocument()))
    stored = doc->eventTrack;
  track_ = static_cast<int16_t>(stored);
  CGridView::OnInitialUpdate();
  const core::CSongData& song = core::TheSong();
  if (CEventEditBar* bar = EditBar())
    bar->SetTrackCount(song.loaded ? song.TrackCount() : 0);
  SelectTrack(stored, true);
}

void CEListView::OnUpdate(ui::View* sender, intptr_t hint) {
  (void)sender;
  (void)hint;
  const core::CSongData& song = core::TheSong();
  const int count = song.loaded ? song.TrackCount() : 0;
  if (CEventEditBar* bar = EditBar())
    bar->SetTrackCount(count);
  SelectTrack(std::clamp<int>(track_, 0, std::max(0, count - 1)), false);
  if (GetHwnd())
    ui::InvalidateRect(GetHwnd(), nullptr, false);
}

void CEListView::SelectTrack(int track, bool reset) {
  const core::CSongData& song = core::TheSong();
  const int count = song.loaded ? song.TrackCount() : 0;
  track_ = static_cast<int16_t>(std::clamp(track, 0, std::max(0, count - 1)));
  SetRowCount(song.HasTrack(track_) && song.loaded ? song.tracks[track_].EventCount() : 0);
  if (auto* doc = dynamic_cast<CTambloDoc*>(GetDocument()))
    doc->eventTrack = static_cast<uint16_t>(track_);
  if (CEventEditBar* bar = EditBar())
    bar->ShowTrack(track_);
  SetColumn(-1, -1, "TRK:" + std::to_string(track_));
  if (reset) {
    CloseInPlace();
    SelectCell(0, CurrentColumn());
    if (GetHwnd())
      ui::InvalidateRect(GetHwnd(), nullptr, false);
  }
}

std::optional<int32_t> CEListView::PositionTick(int64_t measure, int64_t beat, int64_t tick) const {
  if (measure < 0 || beat < 0 || tick < 0 || measure > kMaxPositionField ||
      beat > kMaxPositionField || tick > kMaxPositionField)
    return std::nullopt;
  const core::CSongData& song = core::TheSong();
  const int64_t start = song.MeasureToTick(static_cast<int32_t>(measure));
  const int64_t at = start + beat * song.ticksPerQuarter + tick;
  if (start >= INT32_MAX || at >= INT32_MAX)
    return std::nullopt;
  return static_cast<int32_t>(at);
}

std::optional<std::string> CEListView::EditText(int row, int column) const {
  const core::CSongData& song = core::TheSong();
  const core::SongEvent* e = EventAt(row);
  auto r = FormatRow(row);
  if (!e || !r)
    return std::nullopt;
  const uint8_t type = TypeOf(*e);
  switch (column) {
  case 1:
    return r->position;
  case 2:
    if (IsMidi(*e))
      return r->description.channel;
    return std::nullopt;
  case 4:
    if (IsMidi(*e)) {
      if (type == midi::kProgramChange)
        return std::nullopt;
      if (type == midi::kControlChange)
        return std::to_string(e->Data1());
      return r->description.value1;
    }
    switch (e->kind) {
    case core::kKindTempo: {
      const uint32_t us = e->data & 0xFFFFFF;
      return us ? std::to_string((60000000 + us / 2) / us) : std::string("0");
    }
    case core::kKindSyllable: {
      std::string text;
      song.GetEventText(track_, row, text);
      return text;
    }
    case core::kKindTimeSignature:
    case core::kKindWave:
    case core::kKindImage:
    case core::kKindSinger:
      return r->description.value1;
    default:
      if (core::IsTextKind(e->kind))
        return r->description.value1;
      return std::nullopt;
    }
  case 5:
    if (type == midi::kNoteOn || type == midi::kPolyPressure || type == midi::kControlChange)
      return std::to_string(e->Data2());
    return std::nullopt;
  case 6:
    if (type == midi::kNoteOn || e->kind == core::kKindSyllable) {
      const int tpq = std::max<int>(1, song.ticksPerQuarter);
      return Printed("%lld : %lld : %03lld", 0, e->duration / tpq, e->duration % tpq);
    }
    return std::nullopt;
  default:
    return std::nullopt;
  }
}

void CEListView::OpenEditor(int row, int column) {
  if (Playing())
    return;
  const core::SongEvent* e = EventAt(row);
  if (!e)
    return;
  const uint8_t type = TypeOf(*e);
  opened_.clear();
  openedRow_ = openedColumn_ = -1;
  if (column == 3) {
    OpenList(row, column, core::EventTypeIndex(*e), 16, EventTypeEntries());
    return;
  }
  if (column == 4 && type == midi::kProgramChange) {
    // The event's own program: Enter without a change keeps the event.
    static const std::vector<std::string> names = InstrumentEntries();
    OpenList(row, column, e->Data1() & 0x7F, 128, names);
    return;
  }
  if (column == 4 && e->kind == core::kKindKeySignature) {
    const int sharps = static_cast<int8_t>(e->Status());
    OpenList(row, column, std::clamp(sharps, -7, 7) + 7, 15, KeySignatureEntries());
    return;
  }
  if (column == 5 && e->kind == core::kKindKeySignature) {
    OpenList(row, column, std::min<int>(e->Data1(), 1), 2, ModeEntries());
    return;
  }
  auto text = EditText(row, column);
  if (!text)
    return;
  opened_ = *text;
  openedRow_ = row;
  openedColumn_ = column;
  OpenEdit(row, column, *text, column == 2 ? ui::ES_CENTER : ui::ES_RIGHT);
}

void CEListView::OnCellDoubleClick(int row, int column) {
  if (row == CurrentRow() && column == CurrentColumn())
    OpenEditor(row, column);
}

int CEListView::OnCommit(uint16_t code, win::LParam value) {
  if (Playing())
    return 0;
  const int row = CurrentRow(), column = CurrentColumn();
  if (!EventAt(row))
    return 1;
  const core::TrackSummary before = core::TheSong().tracks[track_].summary;
  int result = 0;
  if (code == kListCommit) {
    result = CommitChoice(row, column, static_cast<int>(value));
  } else {
    const std::string_view text = value ? reinterpret_cast<const char*>(value) : "";
    // The text the box opened with, committed unchanged, keeps the event.
    if (InPlaceEdit() && row == openedRow_ && column == openedColumn_ && text == opened_)
      return 1;
    result = CommitText(row, column, text);
  }
  if (result == 1)
    Edited(before);
  return result;
}

int CEListView::CommitChoice(int row, int column, int index) {
  core::CSongData& song = core::TheSong();
  const core::SongEvent& e = song.tracks[track_].events[static_cast<size_t>(row)];
  if (column == 3)
    return song.SetEventType(track_, row, index) ? 1 : 0;
  if (column == 4 && TypeOf(e) == midi::kProgramChange) {
    if (index < 0 || index > 127)
      return 0;
    return song.SetEventData1(track_, row, static_cast<uint8_t>(index)) ? 1 : 0;
  }
  if (column == 4 && e.kind == core::kKindKeySignature) {
    if (index < 0 || index > 14)
      return 0;
    const uint32_t sharps = static_cast<uint8_t>(static_cast<int8_t>(index - 7));
    return song.SetEventValue(track_, row, e.length, (e.data & ~0xFFu) | sharps) ? 1 : 0;
  }
  if (column == 5 && e.kind == core::kKindKeySignature) {
    if (index < 0 || index > 1)
      return 0;
    return song.SetEventValue(track_, row, e.length,
                              (e.data & ~0xFF00u) | static_cast<uint32_t>(index) << 8)
               ? 1
               : 0;
  }
  return 1;
}

int CEListView::CommitText(int row, int column, std::string_view text) {
  core::CSongData& song = core::TheSong();
  const core::SongEvent e = song.tracks[track_].events[static_cast<size_t>(row)];
  const uint8_t type = TypeOf(e);
  auto ok = [](int r) { return r ? 1 : 0; };
  switch (column) {
  case 1: {
    auto f = Fields(text);
    if (!f || f->size() != 3 || text.find('/') != text.npos || (*f)[0] < 1 || (*f)[1] < 1)
      return 0;
    auto tick = PositionTick((*f)[0] - 1, (*f)[1] - 1, (*f)[2]);
    if (!tick)
      return 0;
    return ok(song.MoveEvent(track_, row, *tick));
  }
  case 2: {
    auto channel = One(text);
    if (!IsMidi(e) || !channel || *channel < 1 || *channel > 16)
      return 0;
    return ok(song.SetEventChannel(track_, row, static_cast<uint8_t>(*channel - 1)));
  }
  case 4:
    if (IsMidi(e)) {
      switch (type) {
      case midi::kNoteOn:
      case midi::kPolyPressure: {
        const uint8_t note = core::ParseNoteName(text);
        return note <= 127 ? ok(song.SetEventData1(track_, row, note)) : 0;
      }
      case midi::kControlChange:
      case midi::kChannelPressure: {
        auto v = One(text);
        return v && *v >= 0 && *v <= 127
                   ? ok(song.SetEventData1(track_, row, static_cast<uint8_t>(*v)))
                   : 0;
      }
      case midi::kPitchBend: {
        auto v = One(text);
        if (!v || *v < -8192 || *v > 8191)
          return 0;
        const uint32_t raw = static_cast<uint32_t>(*v + 8192);
        const uint32_t data = e.Status() | (raw & 0x7F) << 8 | (raw >> 7 & 0x7F) << 16;
        return ok(song.SetEventValue(track_, row, e.length, data));
      }
      default:
        return 0;
      }
    }
    switch (e.kind) {
    case core::kKindTimeSignature: {
      auto f = Fields(text);
      if (!f || f->size() != 2 || text.find(':') != text.npos)
        return 0;
      const int64_t numerator = (*f)[0], denominator = (*f)[1];
      int power = 0;
      while (power < 7 && (int64_t{1} << power) < denominator)
        ++power;
      // Whole notes and longer are taken (5/4, 3/2, 12/8 stand in songs).
      if (denominator < 2 || denominator > 64 || (int64_t{1} << power) != denominator ||
          numerator < 1 || numerator > 32 || (numerator == 1 && denominator >= 4))
        return 0;
      const uint32_t data =
          (e.data & 0xFFFF0000u) | static_cast<uint32_t>(numerator) | uint32_t(power) << 8;
      return ok(song.SetEventValue(track_, row, e.length, data));
    }
    case core::kKindTempo: {
      auto bpm = One(text);
      if (!bpm || *bpm < kMinBpm)
        return 0;
      const int64_t us = 60000000 / *bpm;
      if (us == 0)
        return 0;
      return ok(song.SetEventValue(track_, row, e.length,
                                   (e.data & 0xFF000000u) | static_cast<uint32_t>(us)));
    }
    case core::kKindWave: {
      auto v = One(text);
      if (!v || *v < 0 || *v > kWaveSlotLast)
        return 0;
      return ok(song.SetEventValue(track_, row, e.length,
                                   (e.data & 0xFFFF0000u) | static_cast<uint32_t>(*v)));
    }
    case core::kKindSyllable:
      return ok(song.SetEventText(track_, row, text));
    case core::kKindSinger: {
      auto v = One(text);
      if (!v || *v < 0 || *v > kLastSinger)
        return 0;
      return ok(song.SetEventValue(track_, row, e.length, static_cast<uint32_t>(*v)));
    }
    default:
      if (e.kind == core::kKindImage || core::IsTextKind(e.kind))
        return ok(song.SetEventBytes(track_, row, text));
      return 0;
    }
  case 5: {
    auto v = One(text);
    if ((type != midi::kNoteOn && type != midi::kPolyPressure && type != midi::kControlChange) ||
        !v || *v < 0 || *v > 127)
      return 0;
    return ok(song.SetEventData2(track_, row, static_cast<uint8_t>(*v)));
  }
  case 6: {
    auto f = Fields(text);
    if ((type != midi::kNoteOn && e.kind != core::kKindSyllable) || !f || f->size() != 3 ||
        text.find('/') != text.npos || (*f)[0] < 0 || (*f)[1] < 0 || (*f)[2] < 0)
      return 0;
    uint16_t measure = 0, beat = 0, tick = 0;
    song.GetEventMeasureBeat(track_, row, measure, beat, tick);
    auto end =
        PositionTick(int64_t{measure} + (*f)[0], int64_t{beat} + (*f)[1], int64_t{tick} + (*f)[2]);
    if (!end)
      return 0;
    return ok(song.SetEventLength(track_, row, std::max<int32_t>(0, *end - int32_t(e.tick))));
  }
  default:
    return 1;
  }
}

void CEListView::Edited(const core::TrackSummary& before) {
  const core::CSongData& song = core::TheSong();
  CEventEditBar* bar = EditBar();
  if (bar && song.HasTrack(track_)) {
    const core::TrackSummary& now = song.tracks[track_].summary;
    if (now.channel != before.channel || now.program != before.program ||
        now.volume != before.volume || now.pan != before.pan)
      bar->ShowTrack(track_);
  }
  if (ui::Document* doc = GetDocument())
    doc->UpdateAllViews(nullptr, kHintEdited);
}

void CEListView::PlayFromCurrent() {
  const core::SongEvent* e = EventAt(CurrentRow());
  if (!e)
    return;
  const uint32_t ms = e->ms;
  if (tamblo_Play() == 1 && Link().JumpToPosition)
    Link().JumpToPosition(ms);
  PostPositionChanged();
}

void CEListView::Follow() {
  const core::CSongData& song = core::TheSong();
  if (!song.loaded || !song.HasTrack(track_) || !Link().GetCurTS)
    return;
  const uint32_t tick = Link().GetCurTS();
  const int32_t row = song.FindInsertIndex(
      track_, static_cast<int32_t>(std::min<uint32_t>(tick, INT32_MAX)), core::kKindChannel);
  SelectCell(row, CurrentColumn());
}

ui::LResult CEListView::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  if (message == win::WM_TIMER && wParam == kFollowTimer) {
    Follow();
    return 0;
  }
  if (message == win::WM_KEYDOWN &&
      !(ui::HighWord(static_cast<uintptr_t>(lParam)) & ui::KF_ALTDOWN)) {
    core::CSongData& song = core::TheSong();
    const int row = CurrentRow();
    switch (wParam) {
    case ui::VK_RETURN:
      OpenEditor(row, CurrentColumn());
      return 0;
    case ui::VK_SPACE:
      if (Playing()) {
        tamblo_Stop();
        PostPositionChanged();
      } else {
        PlayFromCurrent();
      }
      return 0;
    case ui::VK_INSERT:
      if (song.loaded && !Playing() && song.HasTrack(track_)) {
        const core::TrackSummary before = song.tracks[track_].summary;
        if (song.DuplicateEvent(track_, row))
          Edited(before);
      }
      return 0;
    case ui::VK_DELETE:
      if (!Playing() && EventAt(row)) {
        const core::TrackSummary before = song.tracks[track_].summary;
        if (song.DeleteEvent(track_, row))
          Edited(before);
      }
      return 0;
    default:
      break;
    }
  }
  return CGridView::OnMessage(message, wParam, lParam);
}

} // namespace editor
