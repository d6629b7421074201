#include "games/challenge.h"

#include "games/game_app.h"
#include "games/host_link.h"
#include "games/presence.h"
#include "games/shell_dialogs.h"
#include "platform/ui/window/metrics.h"
#include "platform/win/dispatch.h"

#include <string>

namespace games {

ui::LResult CAnimView::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  if (message == kScoreMessage && wParam == SingScore) {
    doc_.lastScore = static_cast<int32_t>(lParam);
    doc_.waitingForScore = false;
    return 0;
  }
  return BoardView::OnMessage(message, wParam, lParam);
}

int CChallengeFrame::BorderMetric() const {
  return ui::SM_CYBORDER;
}

void CChallengeFrame::OnCreated() {
  view_ = std::make_unique<CAnimView>(doc_);
  if (view_->Create(GetHwnd())) {
    SetClient(view_->GetHwnd());
    RecalcLayout();
    view_->onClick = [this] { AskForSong(); };
  }
}

void CChallengeFrame::NewDocument() {
  doc_ = CAnimDoc{};
  PostToHost(GameStart, 0);
  const std::optional<win::LResult> count =
      SendToHost(SongCountQuery, static_cast<ui::LParam>(GetHwnd()));
  if (!count) {
    HostLost();
    return;
  }
  doc_.songCount = static_cast<int32_t>(*count);
  Show();
}

void CChallengeFrame::Show() {
  if (!view_)
    return;
  std::vector<std::string> lines{Game().bundle.StringBytes(Game().traits.captionString)};
  lines.push_back("songs: " + std::to_string(doc_.songCount));
  if (doc_.songNumber) {
    const SongRecordView record(LastRecord());
    lines.push_back("song " + std::to_string(record.Number()));
    lines.emplace_back(record.Title());
    lines.emplace_back(record.Singer());
  }
  if (doc_.lastScore >= 0)
    lines.push_back("score " + std::to_string(doc_.lastScore) +
                    (doc_.lastScore > Game().settings.JudgedCutLine() ? " good" : " bad"));
  lines.push_back("good " + std::to_string(doc_.good) + ", bad " + std::to_string(doc_.bad));
  view_->SetLines(std::move(lines));
}

void CChallengeFrame::AskForSong() {
  if (doc_.waitingForScore)
    return;
  if (!HostPresent()) {
    HostLost();
    return;
  }
  PostToHost(SongRecordRequest, static_cast<ui::LParam>(GetHwnd()));
}

void CChallengeFrame::OnSongRecord(const RecordSlot& record) {
  if (!HostPresent()) {
    HostLost();
    return;
  }
  const SongRecordView view(record);
  if (view.Number() == 0 || doc_.waitingForScore)
    return;
  doc_.songNumber = view.Number();
  doc_.waitingForScore = true;
  Show();
  if (!SendToHost(PlayTarget, static_cast<ui::LParam>(GetHwnd()))) {
    HostLost();
    return;
  }
  PostToHost(PlaySongNumber, doc_.songNumber);
  FocusLyricDisplay();
  ui::ShowWindow(GetHwnd(), ui::SW_MINIMIZE);
}

void CChallengeFrame::OnPlayStopped() {
  if (!HostPresent())
    HostLost();
}

void CChallengeFrame::OnSingScore(int32_t score) {
  if (view_)
    win::SendMessage(view_->GetHwnd(), CAnimView::kScoreMessage, SingScore, score);
  if (score > Game().settings.JudgedCutLine())
    ++doc_.good;
  else
    ++doc_.bad;
  Show();
}

ui::LResult CChallengeFrame::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  if (message == win::WM_GETMINMAXINFO) {
    const gdi::Size size = OuterSize();
    if (ui::MinMaxInfo* info = ui::AsMinMaxInfo(lParam)) {
      info->maxSize = {size.cx, size.cy};
      info->minTrackSize = {size.cx, size.cy};
      info->maxTrackSize = {size.cx, size.cy};
    }
    return 0;
  }
  return GameFrame::OnMessage(message, wParam, lParam);
}

int CDurm12App::Run(int argc, char** argv) {
  return RunGame(kDurm12, argc, argv, [](GameContext& game) {
    HelpAtStart(game, 0);
    // The single-document template: the frame, its view and a new document.
    auto* frame = new CChallengeFrame(game);
    if (!frame->Create()) {
      delete frame;
      return false;
    }
    SetMainWindow(frame->GetHwnd());
    frame->NewDocument();
    ui::ShowWindow(frame->GetHwnd(), ui::SW_SHOWNORMAL);
    return true;
  });
}

} // namespace games
