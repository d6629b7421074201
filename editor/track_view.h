// The track list: one grid row per track of the song, showing whether the
// track plays, the melody and lyric marks, and its name, channel, output
// device, instrument, volume and pan. Tracks are muted and soloed, chosen as
// melody or lyric track, renamed and re-set in place, inserted and deleted;
// Space plays and stops.
#pragma once

#include "core/songdata.h"
#include "editor/grid_view.h"

#include <optional>
#include <string>

namespace editor {

inline constexpr int kTrackColumns = 10;
inline constexpr uint32_t kTrackCaptionStrings[] = {11929, 11930, 11933, 11931, 11932, 11935};
inline constexpr uint32_t kTrackNumberCaption = 11928;
inline constexpr uint32_t kAskDeleteTrack = 20;
inline constexpr size_t kTrackNameBytes = 31;

// The settings record of a commit: every field unchanged but the one set.
core::TrackSummary UnchangedSummary();

class CTrackView : public CGridView {
public:
  CTrackView();

  void OnInitialUpdate() override;
  void OnUpdate(ui::View* sender, intptr_t hint) override;

  // The text a cell shows (code-page bytes).
  std::string TrackCellText(int row, int column) const;

protected:
  std::optional<std::string> CellText(int row, int column) override;
  uint32_t CellAlign(int column) override;
  int OnCommit(uint16_t code, win::LParam value) override;
  void OnCellDoubleClick(int row, int column) override;
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  bool IsTrackRow(int row) const;
  void Activate(int row, int column);
  void ToggleMute(int track);
  void Solo(int track);
  void InsertTrack();
  void DeleteTrack(int track);
  void ChooseDevice(int track);
  void Edited();
  void MakeFont();
  std::string String(uint32_t id) const;
};

} // namespace editor
