// Durm12, the twelve-song challenge: its application, its single document
// and view, and its frame, which speaks the host protocol for them.
#pragma once

#include "games/board_view.h"
#include "games/game_frame.h"

#include <memory>

namespace games {

// The board's state: the song on the tile being played and the last score.
class CAnimDoc {
public:
  int32_t songCount = 0;
  int32_t songNumber = 0;
  int32_t lastScore = -1;
  bool waitingForScore = false;
  int good = 0, bad = 0;
};

// The board: asks for a song on a click and shows the record and the score.
class CAnimView : public BoardView {
public:
  explicit CAnimView(CAnimDoc& doc) : doc_(doc) {}
  CAnimDoc& Doc() const { return doc_; }
  // The frame re-posts the sung score here.
  static constexpr uint32_t kScoreMessage = win::WM_USER;

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;

private:
  CAnimDoc& doc_;
};

class CChallengeFrame : public GameFrame {
public:
  explicit CChallengeFrame(GameContext& game) : GameFrame(game) {}
  CAnimView* View() const { return view_.get(); }
  CAnimDoc& Doc() { return doc_; }
  // A new document: the board cleared, the host told.
  void NewDocument();

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override;
  void OnCreated() override;
  void OnNewGame() override { NewDocument(); }
  void OnSongRecord(const RecordSlot& record) override;
  void OnPlayStopped() override;
  void OnSingScore(int32_t score) override;
  int BorderMetric() const override;

private:
  void AskForSong();
  void Show();

  CAnimDoc doc_;
  std::unique_ptr<CAnimView> view_;
};

// The application object: start-up, then the frame with a new document.
class CDurm12App {
public:
  int Run(int argc, char** argv);
};

} // namespace games
