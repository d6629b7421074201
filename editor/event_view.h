// The event list: one grid row per event of the selected track, with its
// time, position, channel, kind and values. Each cell is changed in place
// (an edit box or a list per column and kind), events are duplicated and
// deleted, Space plays from an event, and while the song plays the current
// row follows the player. The event edit bar above it shows and changes the
// track's channel, instrument, volume and pan.
#pragma once

#include "core/songdata.h"
#include "editor/event_bar.h"
#include "editor/grid_view.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace editor {

inline constexpr int kEventColumns = 8;
inline constexpr size_t kLyricFromTextBytes = 255;

// The key-signature list (sharps + 7) and the mode list of a kind-3 event.
const std::vector<std::string>& KeySignatureEntries();
const std::vector<std::string>& ModeEntries();
// The 16 entries of the kind column's list.
const std::vector<std::string>& EventTypeEntries();

// The texts of one row, formatted once for every column.
struct EventRow {
  std::string time, position;
  core::EventDescription description;
};

class CEListView : public CGridView {
public:
  CEListView();
  ~CEListView() override;

  void OnInitialUpdate() override;
  void OnUpdate(ui::View* sender, intptr_t hint) override;

  // Makes track (clamped to the song's tracks) the one shown: the rows,
  // the document's remembered track, the caption and the edit bar; reset
  // goes to the first row and repaints.
  void SelectTrack(int track, bool reset);
  int Track() const { return track_; }
  CEventEditBar* EditBar() const;

  // The texts of a row; nullopt past the last event.
  std::optional<EventRow> FormatRow(int row) const;
  std::string EventCellText(int row, int column) const;
  // The text the edit box over a cell opens with (what the commit reads back).
  std::optional<std::string> EditText(int row, int column) const;

protected:
  void DrawCells(gdi::Dc& dc) override;
  std::optional<std::string> CellText(int row, int column) override;
  int OnCommit(uint16_t code, win::LParam value) override;
  void OnCellDoubleClick(int row, int column) override;
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  friend class CEventEditBar;
  const core::SongEvent* EventAt(int row) const;
  void OpenEditor(int row, int column);
  int CommitText(int row, int column, std::string_view text);
  int CommitChoice(int row, int column, int index);
  void Edited(const core::TrackSummary& before);
  void PlayFromCurrent();
  void Follow();
  void MakeBar();
  // The tick of a position typed as measure, beat and tick counted from 0;
  // nullopt when it would not fit the 16-bit measure arithmetic or a tick.
  std::optional<int32_t> PositionTick(int64_t measure, int64_t beat, int64_t tick) const;

  int16_t track_ = 0;
  // The text an edit box opened with: committed unchanged, it keeps the event.
  std::string opened_;
  int openedRow_ = -1, openedColumn_ = -1;
  // The bar belongs to its window: reached while that stands.
  CEventEditBar* bar_ = nullptr;
  win::Hwnd barHwnd_ = 0;
};

} // namespace editor
