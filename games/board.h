// Bolrixa, the board duel: its application and its frame, which holds the
// board and speaks the host protocol for it.
#pragma once

#include "games/board_view.h"
#include "games/game_frame.h"

#include <memory>
#include <vector>

namespace games {

class CBoardFrame : public GameFrame {
public:
  explicit CBoardFrame(GameContext& game) : GameFrame(game) {}
  BoardView* View() const { return view_.get(); }
  const std::vector<int32_t>& SongList() const { return songs_; }

protected:
  void OnCreated() override;
  void OnNewGame() override;
  void OnSongRecord(const RecordSlot& record) override;
  void OnSongListComplete() override;
  void OnSingScore(int32_t score) override;
  int BorderMetric() const override;

private:
  void AskForSongs();
  void Show();

  std::unique_ptr<BoardView> view_;
  std::vector<int32_t> songs_;
  std::vector<std::string> titles_;
  int32_t songCount_ = 0;
  int32_t playing_ = 0;
  int32_t lastScore_ = -1;
  bool listing_ = false;
  bool waitingForScore_ = false;
};

class CBolrixaApp {
public:
  int Run(int argc, char** argv);
};

} // namespace games
