// The main frame both games share: its fixed size and style, the presence
// window made on creation, the host's messages and song records, and the
// help, cut-line and about commands. A game's board derives from it.
#pragma once

#include "games/game_context.h"
#include "games/song_record_view.h"
#include "platform/ui/frame/frame_wnd.h"

#include <cstdint>

namespace games {

class GameFrame : public ui::FrameWnd {
public:
  explicit GameFrame(GameContext& game) : game_(game) {}

  // The class library's run-time class name of both frames.
  static constexpr const char* kRuntimeClass = "CMainFrame";

  // Makes the frame from resource 128: minimised, system menu and minimise
  // box only, centred, the client exactly the game's size under the menu
  // bar. False when it could not be made.
  bool Create();

  GameContext& Game() const { return game_; }
  // The last song record taken from the host.
  const RecordSlot& LastRecord() const { return record_; }
  int RecordsTaken() const { return recordsTaken_; }
  int32_t LastScore() const { return lastScore_; }

  // The outer size for the game's client: client plus two frame widths
  // across, two borders, a menu bar and a caption down.
  gdi::Size OuterSize() const;

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
  bool OnCommand(uint16_t id) override;

  // What each game adds. Defaults do nothing.
  virtual void OnCreated() {}
  virtual void OnNewGame() {}
  virtual void OnSongRecord(const RecordSlot& record) { (void)record; }
  virtual void OnPlayStopped() {}
  virtual void OnSingScore(int32_t score) { (void)score; }
  virtual void OnSongListComplete() {}
  // The border metric of the game's outer height.
  virtual int BorderMetric() const = 0;

  // Shows the host-lost message and closes the frame.
  void HostLost();

private:
  GameContext& game_;
  RecordSlot record_{};
  int recordsTaken_ = 0;
  int32_t lastScore_ = -1;
};

} // namespace games
