// bench-editor: the song editor's event list in a 1920x1080 frame, offscreen,
// on a generated track of 100,000 events of every kind, one of 1,000, and
// the largest track of the corpus's largest song as loaded. On each: the
// list opened to its first paint, 2,000 line steps, 200 page steps, 200
// thumb jumps to random rows, 1,000 follow steps of the player's tick, and
// an insert and a delete in the middle with the open views updated; each
// step timed with its paint. Beside it, a Qt table view over a lazy model
// of the same texts, scrolled by the same steps. Prints its figures last as
// "name: value unit" lines. VEXO_CORPUS_DIR in the environment points to
// another corpus folder.
#include "core/player/tambloapp.h"
#include "core/songdata.h"
#include "editor/editor.h"
#include "editor/event_view.h"
#include "platform/res/bundle.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/ui/window/scroll_bar.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kLineSteps = 2000, kPageSteps = 200, kThumbJumps = 200, kFollowSteps = 1000;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures {
  std::vector<double> line, page, thumb, follow, followPainted;
  double open = 0, insert = 0, remove = 0;
};

double Quantile(std::vector<double> v, double q) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
  return v[i];
}

uint32_t gTick = 0;
uint8_t NotPlaying() {
  return 0;
}
uint32_t CurrentTick() {
  return gTick;
}
uint8_t NoMute(uint16_t) {
  return 0;
}
void SetMute(uint16_t, uint8_t) {}

// A track of count events of every kind, one every 30 ticks: channel
// messages of each status, the timing kinds, waves, system exclusives,
// lyric lines and syllables, images, singers and the text kinds.
void MakeTrack(core::CSongData& song, int16_t track, int count) {
  core::Track& t = song.tracks[track];
  t.events.clear();
  t.events.reserve(static_cast<size_t>(count));
  static const uint8_t kKinds[] = {0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  1,  2,  3,  12, 13,
                                   16, 16, 16, 17, 18, 19, 20, 65, 66, 67, 68, 69, 70, 71};
  static const uint8_t kStatuses[] = {0x90, 0x80, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0x90, 0x90, 0x90};
  const std::string text = "text";
  for (int i = 0; i < count; ++i) {
    core::SongEvent e;
    e.tick = static_cast<uint32_t>(i) * 30;
    const size_t k = static_cast<size_t>(i) % std::size(kKinds);
    e.kind = kKinds[k];
    switch (e.kind) {
    case core::kKindChannel:
      e.data = kStatuses[k % std::size(kStatuses)] | (48u + i % 36) << 8 | (64u + i % 50) << 16;
      e.duration = (e.data & 0xF0) == 0x90 ? 60 : 0;
      break;
    case core::kKindTimeSignature:
      e.data = 4u | 2u << 8 | 24u << 16 | 8u << 24;
      break;
    case core::kKindTempo:
      e.data = 500000u + static_cast<uint32_t>(i % 7) * 1000;
      break;
    case core::kKindKeySignature:
      e.data = static_cast<uint32_t>(i % 15 + 249) & 0xFF;
      break;
    case core::kKindWave:
      e.data = static_cast<uint32_t>(i % 256);
      break;
    case core::kKindSyllable: {
      auto offset = song.AddTrackText(track, "la");
      e.data = offset.value_or(0) | 2u << 16;
      e.duration = 25;
      break;
    }
    case core::kKindLineBreak:
    case core::kKindNextLine:
    case core::kKindSinger:
      break;
    default: {
      const std::string bytes = text + std::string(1, '\0');
      auto offset = song.AddPoolBytes(bytes.data(), bytes.size());
      e.data = offset.value_or(0);
      e.length = static_cast<uint16_t>(bytes.size());
      break;
    }
    }
    t.events.push_back(e);
  }
  std::stable_sort(t.events.begin(), t.events.end(), core::SortsBefore);
  song.BuildTempoMaps(true);
  for (int16_t i = 0; i < song.TrackCount(); ++i) {
    song.ComputeEventTimes(i);
    song.UpdateTrack(i);
  }
  if (track == song.lyricTrack)
    song.RebuildLyricLines(track);
  song.ComputeSummary(track);
}

// The list's texts for a Qt table view, formatted when asked.
class EventModel : public QAbstractTableModel {
public:
  explicit EventModel(editor::CEListView& view) : view_(view) {}
  int rowCount(const QModelIndex& = {}) const override { return view_.RowCount(); }
  int columnCount(const QModelIndex& = {}) const override { return editor::kEventColumns; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole)
      return {};
    return QString::fromLatin1(view_.EventCellText(index.row(), index.column()));
  }

private:
  editor::CEListView& view_;
};

void Paint(win::Hwnd hwnd) {
  ui::UpdateWindow(hwnd);
}

struct Run {
  Figures list, table;
  int rows = 0;
};

editor::CEListView* OpenList(editor::CEditorFrame& frame, int16_t track) {
  ui::MdiChildWnd* active = frame.MDIGetActive();
  if (auto* doc = dynamic_cast<editor::CTambloDoc*>(active ? active->ActiveDocument() : nullptr))
    doc->eventTrack = static_cast<uint16_t>(track);
  win::SendMessage(frame.GetHwnd(), win::WM_COMMAND, editor::ID_VIEW_EVENTS, 0);
  ui::MdiChildWnd* child = frame.MDIGetActive();
  if (!child)
    return nullptr;
  const gdi::Rect client = frame.ClientArea();
  ui::MoveWindow(child->GetHwnd(), 0, 0, client.Width(), client.Height());
  return dynamic_cast<editor::CEListView*>(child->ActiveView());
}

Run Measure(editor::CEditorFrame& frame, int16_t track, uint32_t seed) {
  Run run;
  const core::CSongData& song = core::TheSong();
  auto start = Clock::now();
  editor::CEListView* view = OpenList(frame, track);
  if (!view)
    return run;
  const win::Hwnd h = view->GetHwnd();
  Paint(h);
  run.list.open = MsSince(start);
  run.rows = view->RowCount();

  std::mt19937 random(seed);
  std::uniform_int_distribution<int> anyRow(0, std::max(0, view->MaxTopRow()));
  std::vector<int> jumps(kThumbJumps);
  for (int& j : jumps)
    j = anyRow(random);
  const int32_t end = std::max(1, song.tracks[track].endTick);

  auto step = [&](std::vector<double>& into, const std::function<void()>& act) {
    const auto t0 = Clock::now();
    act();
    Paint(h);
    into.push_back(MsSince(t0));
  };
  auto scroll = [&](uint32_t code) { win::SendMessage(h, ui::WM_VSCROLL, code, 0); };
  for (int i = 0; i < kLineSteps; ++i)
    step(run.list.line, [&] { scroll(ui::SB_LINEDOWN); });
  for (int i = 0; i < kPageSteps; ++i)
    step(run.list.page, [&] { scroll(i % 2 ? ui::SB_PAGEUP : ui::SB_PAGEDOWN); });
  for (int row : jumps)
    step(run.list.thumb, [&] {
      ui::SetScrollPos(h, ui::SB_VERT, row);
      scroll(ui::SB_THUMBPOSITION);
    });
  // A follow step: the timer's row search and move, and with its paint.
  for (int i = 0; i < kFollowSteps; ++i) {
    const auto t0 = Clock::now();
    gTick = static_cast<uint32_t>(int64_t{end} * i / kFollowSteps);
    win::SendMessage(h, win::WM_TIMER, editor::kFollowTimer, 0);
    run.list.follow.push_back(MsSince(t0));
    Paint(h);
    run.list.followPainted.push_back(MsSince(t0));
  }
  // An insert and a delete in the middle, every open view updated.
  auto edit = [&](uint32_t key) {
    view->SelectCell(view->RowCount() / 2, 3);
    Paint(h);
    const auto t0 = Clock::now();
    win::SendMessage(h, win::WM_KEYDOWN, key, 0);
    for (ui::MdiChildWnd* child : frame.Children())
      if (child->ActiveView())
        Paint(child->ActiveView()->GetHwnd());
    return MsSince(t0);
  };
  run.list.insert = edit(ui::VK_INSERT);
  run.list.remove = edit(ui::VK_DELETE);

  // The Qt table view over the same texts, scrolled by the same steps.
  EventModel model(*view);
  QTableView table;
  table.setModel(&model);
  table.verticalHeader()->setDefaultSectionSize(20);
  table.resize(kWidth, kHeight);
  // Each frame rendered into an image, as the list paints into its own.
  start = Clock::now();
  table.show();
  QCoreApplication::processEvents();
  QImage frameImage(table.viewport()->size(), QImage::Format_RGB32);
  table.viewport()->render(&frameImage);
  run.table.open = MsSince(start);
  QScrollBar* bar = table.verticalScrollBar();
  auto tableStep = [&](std::vector<double>& into, const std::function<void()>& act) {
    const auto t0 = Clock::now();
    act();
    table.viewport()->render(&frameImage);
    into.push_back(MsSince(t0));
  };
  for (int i = 0; i < kLineSteps; ++i)
    tableStep(run.table.line, [&] { bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); });
  for (int i = 0; i < kPageSteps; ++i)
    tableStep(run.table.page, [&] {
      bar->triggerAction(i % 2 ? QAbstractSlider::SliderPageStepSub
                               : QAbstractSlider::SliderPageStepAdd);
    });
  for (int row : jumps)
    tableStep(run.table.thumb, [&] { bar->setValue(row); });
  table.hide();

  win::SendMessage(view->ParentFrame()->GetHwnd(), win::WM_CLOSE, 0, 0);
  QCoreApplication::processEvents();
  return run;
}

void Report(const char* name, const std::vector<Run>& runs) {
  // Median and worst of the three runs of each figure.
  auto figure = [&](const char* what, const char* unit,
                    const std::function<double(const Run&)>& of) {
    std::vector<double> v;
    for (const Run& r : runs)
      v.push_back(of(r));
    std::sort(v.begin(), v.end());
    std::printf("%s_%s_median: %.3f %s\n", name, what, v[v.size() / 2], unit);
    std::printf("%s_%s_worst: %.3f %s\n", name, what, v.back(), unit);
  };
  figure("open", "ms", [](const Run& r) { return r.list.open; });
  figure("line_step_median", "ms", [](const Run& r) { return Quantile(r.list.line, 0.5); });
  figure("line_step_p99", "ms", [](const Run& r) { return Quantile(r.list.line, 0.99); });
  figure("page_step_p99", "ms", [](const Run& r) { return Quantile(r.list.page, 0.99); });
  figure("thumb_jump_p99", "ms", [](const Run& r) { return Quantile(r.list.thumb, 0.99); });
  figure("follow_step_median", "ms", [](const Run& r) { return Quantile(r.list.follow, 0.5); });
  figure("follow_step_p99", "ms", [](const Run& r) { return Quantile(r.list.follow, 0.99); });
  figure("follow_step_painted_median", "ms",
         [](const Run& r) { return Quantile(r.list.followPainted, 0.5); });
  figure("follow_step_painted_p99", "ms",
         [](const Run& r) { return Quantile(r.list.followPainted, 0.99); });
  figure("insert_with_views", "ms", [](const Run& r) { return r.list.insert; });
  figure("delete_with_views", "ms", [](const Run& r) { return r.list.remove; });
  figure("qtable_open", "ms", [](const Run& r) { return r.table.open; });
  figure("qtable_line_step_median", "ms", [](const Run& r) { return Quantile(r.table.line, 0.5); });
  figure("qtable_line_step_p99", "ms", [](const Run& r) { return Quantile(r.table.line, 0.99); });
  figure("qtable_page_step_p99", "ms", [](const Run& r) { return Quantile(r.table.page, 0.99); });
  figure("qtable_thumb_jump_p99", "ms", [](const Run& r) { return Quantile(r.table.thumb, 0.99); });
}

} // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::string error;
  auto bundle = res::Bundle::Load("rTamblo", VEXO_BIN_DIR, &error);
  if (!bundle || !editor::StartEditor(*bundle, &error)) {
    std::fprintf(stderr, "bench-editor: %s\n", error.c_str());
    return 1;
  }
  auto& link = core::TheApp().linkTable;
  link.GetcMidiPlayFlag = &NotPlaying;
  link.GetCurTS = &CurrentTick;
  link.GetTrackMute = &NoMute;
  link.SetTrackMute = &SetMute;
  core::CSongData& song = core::TheSong();

  const char* corpusEnv = std::getenv("VEXO_CORPUS_DIR");
  const std::string corpus =
      std::string(corpusEnv ? corpusEnv : VEXO_CORPUS_DIR) + "/midi/kimbra-format0-tempos.mid";
  struct Set {
    const char* name;
    std::function<int16_t()> make; // the track to show, -1 when the set is missing
  };
  const Set sets[] = {
      {"events_100000",
       [&] {
         song.NewSong("bench.vx3");
         MakeTrack(song, 1, 100000);
         return int16_t{1};
       }},
      {"events_1000",
       [&] {
         song.NewSong("bench.vx3");
         MakeTrack(song, 1, 1000);
         return int16_t{1};
       }},
      {"corpus_largest_track",
       [&]() -> int16_t {
         if (!std::filesystem::exists(corpus) || song.LoadByExtension(corpus) <= 0)
           return -1;
         int16_t largest = 0;
         for (int16_t t = 0; t < song.TrackCount(); ++t)
           if (song.tracks[t].EventCount() > song.tracks[largest].EventCount())
             largest = t;
         return largest;
       }},
  };
  std::map<std::string, std::vector<Run>> results;
  std::map<std::string, int> rows;
  for (const Set& set : sets) {
    for (int run = 0; run < 3; ++run) {
      const int16_t track = set.make();
      if (track < 0) {
        std::fprintf(stderr, "bench-editor: %s is missing, skipped\n", corpus.c_str());
        break;
      }
      if (editor::OpenEditor() != 1 || !editor::TheEditor().frame) {
        std::fprintf(stderr, "bench-editor: the editor cannot be opened\n");
        return 1;
      }
      editor::CEditorFrame& frame = *editor::TheEditor().frame;
      ui::MoveWindow(frame.GetHwnd(), 0, 0, kWidth, kHeight);
      results[set.name].push_back(Measure(frame, track, 7 + static_cast<uint32_t>(run)));
      rows[set.name] = results[set.name].back().rows;
      song.unchanged = 1;
      editor::CloseEditor();
      QCoreApplication::processEvents();
    }
  }
  for (const auto& [name, count] : rows)
    std::printf("%s: %d rows\n", name.c_str(), count);
  for (const Set& set : sets)
    if (results.count(set.name))
      Report(set.name, results[set.name]);
  // The goal of a scroll frame on 100,000 events against 1,000.
  if (results.count("events_100000") && results.count("events_1000")) {
    auto worstP99 = [](const std::vector<Run>& runs) {
      double worst = 0;
      for (const Run& r : runs)
        worst = std::max({worst, Quantile(r.list.line, 0.99), Quantile(r.list.page, 0.99),
                          Quantile(r.list.thumb, 0.99)});
      return worst;
    };
    std::printf("scroll_p99_ratio_100000_to_1000: %.2f x\n",
                worstP99(results["events_100000"]) /
                    std::max(1e-6, worstP99(results["events_1000"])));
  }
  editor::EndEditor();
  return 0;
}
