#include "games/board.h"

#include "games/game_app.h"
#include "games/host_link.h"
#include "games/presence.h"
#include "games/shell_dialogs.h"
#include "platform/ui/window/metrics.h"

#include <string>

namespace games {

int CBoardFrame::BorderMetric() const {
  return ui::SM_CYFRAME;
}

void CBoardFrame::OnCreated() {
  view_ = std::make_unique<BoardView>();
  if (view_->Create(GetHwnd())) {
    SetClient(view_->GetHwnd());
    RecalcLayout();
    view_->onClick = [this] { AskForSongs(); };
  }
  PostToHost(GameStart, 0);
  HelpAtStart(Game(), GetHwnd());
  Show();
}

void CBoardFrame::OnNewGame() {
  songs_.clear();
  titles_.clear();
  playing_ = 0;
  lastScore_ = -1;
  waitingForScore_ = listing_ = false;
  Show();
}

void CBoardFrame::Show() {
  if (!view_)
    return;
  std::vector<std::string> lines{Game().bundle.StringBytes(Game().traits.captionString)};
  lines.push_back("songs: " + std::to_string(songCount_) + ", listed " +
                  std::to_string(songs_.size()));
  if (playing_)
    lines.push_back("song " + std::to_string(playing_));
  if (lastScore_ >= 0)
    lines.push_back("score " + std::to_string(lastScore_) +
                    (lastScore_ > Game().settings.JudgedCutLine() ? " won" : " lost"));
  view_->SetLines(std::move(lines));
}

void CBoardFrame::AskForSongs() {
  if (listing_ || waitingForScore_)
    return;
  const auto self = static_cast<ui::LParam>(GetHwnd());
  const std::optional<win::LResult> count = SendToHost(SongCountQuery, self);
  if (!count || !SendToHost(SongRecordTarget, self)) {
    HostLost();
    return;
  }
  songCount_ = static_cast<int32_t>(*count);
  songs_.clear();
  titles_.clear();
  listing_ = true;
  PostToHost(AllSongRecordsRequest, self);
  Show();
}

void CBoardFrame::OnSongRecord(const RecordSlot& record) {
  if (!HostPresent()) {
    HostLost();
    return;
  }
  const SongRecordView view(record);
  if (!listing_ || view.Number() == 0)
    return;
  songs_.push_back(view.Number());
  std::string entry(view.Title());
  if (view.Type() == 'b')
    entry += " [FONT]";
  titles_.push_back(std::move(entry));
}

void CBoardFrame::OnSongListComplete() {
  if (!listing_)
    return;
  listing_ = false;
  Show();
  if (songs_.empty())
    return;
  playing_ = songs_.front();
  waitingForScore_ = true;
  if (!SendToHost(PlayTarget, static_cast<ui::LParam>(GetHwnd()))) {
    HostLost();
    return;
  }
  PostToHost(PlaySongNumber, playing_);
  FocusLyricDisplay();
  ui::ShowWindow(GetHwnd(), ui::SW_MINIMIZE);
  Show();
}

void CBoardFrame::OnSingScore(int32_t score) {
  if (!waitingForScore_)
    return;
  if (!HostPresent()) {
    HostLost();
    return;
  }
  waitingForScore_ = false;
  lastScore_ = score;
  Show();
}

int CBolrixaApp::Run(int argc, char** argv) {
  return RunGame(kBolrixa, argc, argv, [](GameContext& game) {
    auto* frame = new CBoardFrame(game);
    if (!frame->Create()) {
      delete frame;
      return false;
    }
    SetMainWindow(frame->GetHwnd());
    ui::ShowWindow(frame->GetHwnd(), ui::SW_SHOWNORMAL);
    return true;
  });
}

} // namespace games
