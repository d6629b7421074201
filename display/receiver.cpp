#include "display/receiver.h"

#include "display/frame.h"
#include "display/lyric/lyric_style_table.h"
#include "display/medialist.h"
#include "platform/media/clock.h"
#include "platform/sys/ini.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"

#include <algorithm>
#include <fstream>
#include <span>
#include <sstream>
#include <string_view>

namespace display {
namespace {

// When the event being handled reached the process: the time its message was
// read off the socket when it came from another process and the real clock
// runs the wipe (both are the monotonic clock), else now.
uint32_t ArrivalMs() {
  const uint32_t now = media::NowMs();
  if (&media::Time() != &media::RealTime())
    return now;
  const uint32_t received = win::CurrentMessageReceiveTimeMs();
  // A receive time after now could only come from a broken clock.
  if (received == 0 || now - received > 0x7fffffffu)
    return now;
  return received;
}

std::span<const uint8_t> Bytes(const win::CopyData& data) {
  if (!data.data)
    return {};
  return {static_cast<const uint8_t*>(data.data), data.size};
}

// The text of a record up to its first zero byte.
std::string_view Text(const win::CopyData& data) {
  auto bytes = Bytes(data);
  std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return s.substr(0, s.find('\0'));
}

int32_t Side(int32_t from, int32_t to) {
  const int64_t side = int64_t{to} - from;
  return static_cast<int32_t>(std::clamp<int64_t>(side, 0, gdi::kMaxSurfaceSide));
}

// The longest lyric line or syllable taken from the block.
constexpr size_t kLineTextLimit = 255;
// The line index after a jump: no line of a song has it, so the next
// syllable asks for its line again.
constexpr int32_t kNoLine = INT32_MIN;
// The largest score page read.
constexpr size_t kMaxScorePage = 1u << 20;

} // namespace

win::LResult LyricReceiver::OnCopyData(win::WParam from, const win::CopyData& data) {
  const auto bytes = Bytes(data);
  switch (data.kind) {
  case kTitleCopy:
    if (auto title = ReadTitleCopy(bytes)) {
      if (frame_.Title()) {
        frame_.Title()->SetTitle(*title);
        frame_.Title()->Refresh();
      }
      titleHeld_ = true;
    }
    break;
  case kLyricCopy:
    OnLyricCopy(bytes);
    break;
  case kEventCopy:
    if (auto e = ReadLyricEvent(bytes))
      OnEvent(*e);
    break;
  case kDisplayModeCopy:
    if (auto record = ReadDisplayModeRecord(bytes))
      frame_.ApplyDisplayMode(*record);
    break;
  case kFramePlacementCopy:
    if (auto rect = ReadFramePlacement(bytes); rect && !frame_.Embedded())
      ui::MoveWindow(frame_.Hwnd(), gdi::ClampCoordinate(rect->left),
                     gdi::ClampCoordinate(rect->top), Side(rect->left, rect->right),
                     Side(rect->top, rect->bottom), true);
    break;
  case kReserveListCopy:
    OnReserveList(bytes);
    break;
  case kNextSongCopy:
    OnNextSong(bytes);
    break;
  case kHtmlPageCopy: {
    if (frame_.PlacedByMode2() && static_cast<win::Hwnd>(from) != frame_.Hwnd())
      break;
    const std::string_view text = Text(data);
    if (text.empty())
      break;
    if (text == "@RESET") {
      if (frame_.Info())
        frame_.Info()->EndPage();
      break;
    }
    // The page shown before is ended first; then the new text is kept and
    // parsed for the info view to draw.
    if (!frame_.Info() || !frame_.Info()->ShowTitlePage())
      break;
    frame_.StorePage(text);
    frame_.ParsePage();
    ui::InvalidateRect(frame_.Info()->Hwnd(), nullptr, true);
    break;
  }
  case kImageCopy:
    if (frame_.BackgroundMode() == 0 && frame_.ImageChange())
      frame_.RequestImage(bytes);
    break;
  case kPlayImageCopy:
    frame_.RequestImage(bytes.first(std::min<size_t>(bytes.size(), kPlayImageBytes)));
    break;
  case kLyricTextCopy: {
    const std::string_view text = Text(data);
    if (!text.empty() && frame_.Info())
      frame_.Info()->ShowLyricText(text);
    break;
  }
  default:
    break;
  }
  return 0;
}

void LyricReceiver::OnLyricCopy(std::span<const uint8_t> bytes) {
  lyricLength_ = static_cast<uint32_t>(bytes.size() & 0xFFFF);
  block_.reset();
  try {
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    copy.push_back(0);
    block_ = std::move(copy);
  } catch (const std::bad_alloc&) {
    ui::MessageBox("Lyric data is null!!!", "Error", ui::MB_OK, frame_.Hwnd());
    return;
  }
  SetSlotState(1);
  lyricHeld_ = true;
  currentLine_ = 0;
  waiting_.store(false);
}

std::string_view LyricReceiver::BlockText(uint32_t offset, uint32_t length) const {
  if (!block_ || offset >= block_->size() - 1)
    return {};
  const size_t n = std::min<size_t>({length, block_->size() - 1 - offset, kLineTextLimit});
  return {reinterpret_cast<const char*>(block_->data()) + offset, n};
}

void LyricReceiver::PostToPlayer(win::WParam code, win::LParam argument) {
  if (frame_.TambloWindow())
    win::PostMessage(frame_.TambloWindow(), win::WM_USER, code, argument);
}

void LyricReceiver::SetSlotState(int32_t state) {
  slotState_ = state;
  if (frame_.Word())
    frame_.Word()->State().slotState.store(state);
}

void LyricReceiver::SetColourGroup(int slot, int32_t group) {
  colourGroup_[slot] = group;
  if (frame_.Word() && frame_.Word()->Lines())
    frame_.Word()->Lines()->SetColourGroup(slot, std::clamp(group, 0, 2));
}

void LyricReceiver::BlankLines() {
  CKivo32Word* word = frame_.Word();
  if (!word || !word->Lines())
    return;
  if (word->Wipe())
    word->Wipe()->ResetLine();
  word->Lines()->ClearSlots();
  if (frame_.LyricsShown())
    ui::InvalidateRect(word->Hwnd(), nullptr, false);
}

void LyricReceiver::OnEvent(const LyricEvent& e) {
  switch (e.kind) {
  case kSyllableEvent:
    OnSyllable(e);
    break;
  case kLineEvent:
  case kPreviewEvent:
    OnLine(e);
    break;
  case kColourGroupEvent:
    OnColourGroup(e);
    break;
  default:
    break;
  }
}

void LyricReceiver::OnSyllable(const LyricEvent& e) {
  if (!block_) {
    PostToPlayer(kLyricRequest, static_cast<win::LParam>(frame_.Hwnd()));
    return;
  }
  if (!titleHeld_)
    PostToPlayer(kTitleRequest, static_cast<win::LParam>(frame_.Hwnd()));
  CKivo32Word* word = frame_.Word();
  if (e.line != currentLine_) {
    if (waiting_.load())
      return;
    BlankLines();
    currentLine_ = e.line - 1;
    PostToPlayer(kLineInfoRequest, e.line);
    lineReady_ = false;
    waiting_.store(true);
    return;
  }
  if (!lineReady_)
    return;
  waiting_.store(false);
  lyricActive_ = true;
  if (e.Offset() == 0 && e.Length() == 0)
    return;
  std::string text(BlockText(e.Offset(), e.Length()));
  if (!text.empty() && text.back() == ' ')
    text.pop_back();
  if (!word || !word->Lines() || !word->Wipe())
    return;
  word->SetSyllable(text);
  if (text == "0")
    return;
  ColourWipe& wipe = *word->Wipe();
  if (!wipe.TimerRunning())
    wipe.Start(true);
  if (e.Offset() > lyricLength_)
    return;
  const int slot = CurrentSlotOf(slotState_);
  if (slot < 0)
    return;
  const LineSlot& s = word->Lines()->Slot(slot);
  if (int64_t{s.blockOffset} + s.length < e.Offset())
    return;
  auto measured = word->Lines()->MeasureSyllable(e.Offset());
  if (!measured)
    return;
  const SyllableSpan span = WipeSpanOf(*measured, s.blankWidth, text.starts_with(' '));
  wipe.BeginSyllable(span.start, span.width, e.durationMs, ArrivalMs());
}

void LyricReceiver::OnLine(const LyricEvent& e) {
  if (!block_) {
    PostToPlayer(kLyricRequest, static_cast<win::LParam>(frame_.Hwnd()));
    return;
  }
  if (!titleHeld_)
    PostToPlayer(kTitleRequest, static_cast<win::LParam>(frame_.Hwnd()));
  if (e.Length() == 0 || uint32_t{e.Offset()} + e.Length() > lyricLength_)
    return;
  const std::string text(BlockText(e.Offset(), e.Length()));
  int32_t& last = e.kind == kLineEvent ? lastLineOffset_ : lastPreviewOffset_;
  if (e.Offset() != 0 && e.Offset() == last)
    return;
  last = e.Offset();
  CKivo32Word* word = frame_.Word();
  LyricLines* lines = word ? word->Lines() : nullptr;
  if (e.kind == kLineEvent) {
    if (word && word->Wipe())
      word->Wipe()->FinishLine();
    currentLine_ = e.line;
    if (word)
      word->State().currentLine.store(e.line);
    if (lines)
      lines->PlaceLineForState(slotState_, text, e.Offset(), e.line);
    SetSlotState(slotState_ == 2 ? 3 : 2);
    if (word && word->Wipe())
      word->Wipe()->ResetLine();
  } else {
    if (word)
      word->State().currentLine.store(e.line);
    if (slotState_ == 3)
      SetColourGroup(1, colourGroup_[0]);
    else
      SetColourGroup(0, colourGroup_[1]);
    if (lines)
      lines->PlaceLineForState(slotState_, text, e.Offset(), e.line);
    if (slotState_ == 1)
      SetSlotState(2);
  }
  lineReady_ = true;
}

void LyricReceiver::OnColourGroup(const LyricEvent& e) {
  const auto value = static_cast<int32_t>(e.data);
  if (slotState_ == 2) {
    SetColourGroup(0, value);
  } else if (slotState_ == 3) {
    SetColourGroup(1, value);
  } else {
    SetColourGroup(0, value);
    SetColourGroup(1, value);
  }
}

void LyricReceiver::OnReserveList(std::span<const uint8_t> bytes) {
  if (!ApplyReserveList(reserve_, bytes))
    return;
  if (frame_.Num())
    ui::InvalidateRect(frame_.Num()->Hwnd(), nullptr, true);
  if (CKivo32Title* title = frame_.Title()) {
    title->SetAnnounced(0, "");
    title->Refresh();
  }
}

void LyricReceiver::OnNextSong(std::span<const uint8_t> bytes) {
  auto next = ReadNextSong(bytes);
  if (!next)
    return;
  nextSong_.fill(0);
  std::copy(bytes.begin(), bytes.end(), nextSong_.begin());
  if (CKivo32Title* title = frame_.Title()) {
    title->SetAnnounced(next->number, next->title);
    title->Refresh();
  }
}

void LyricReceiver::OnPlayStarted() {
  if (CKivo32Title* title = frame_.Title()) {
    title->SetIdle();
    title->Refresh();
  }
  if (frame_.FixedFrame())
    win::SetTimer(frame_.Hwnd(), kTitleTimer, 1000);
  CKivo32Word* word = frame_.Word();
  if (word && word->Wipe())
    word->Wipe()->ResetLine();
  if (word)
    word->State().currentLine.store(-1);
  SetSlotState(1);
  currentLine_ = 0;
  lyricActive_ = true;
  if (frame_.BackgroundMode() == kModeInfo) {
    if (frame_.Info())
      frame_.Info()->ShowVideoArea();
    win::PostMessage(frame_.Hwnd(), win::WM_COMMAND, cmd::kPlayVideo, 0);
  } else if (frame_.BackgroundMode() == kModeMpeg) {
    win::SendMessage(frame_.Hwnd(), win::WM_COMMAND, cmd::kMpegPlay, 0);
  } else if (!frame_.FixedFrame() && frame_.Info()) {
    frame_.Info()->EndPage();
  }
  SetColourGroup(0, 0);
  SetColourGroup(1, 0);
  if (word && word->Wipe())
    word->Wipe()->Start(true);
  if (frame_.Timing())
    frame_.Timing()->Start();
}

void LyricReceiver::OnPlayStopped() {
  CKivo32Word* word = frame_.Word();
  if (word && word->Wipe())
    word->Wipe()->Stop();
  if (frame_.Timing())
    frame_.Timing()->Stop();
  SetColourGroup(0, 0);
  SetColourGroup(1, 0);
  lyricActive_ = false;
  if (frame_.BackgroundMode() == kModeInfo)
    win::SendMessage(frame_.Hwnd(), win::WM_COMMAND, cmd::kCloseVideo, 0);
  else if (frame_.BackgroundMode() == kModeMpeg)
    win::SendMessage(frame_.Hwnd(), win::WM_COMMAND, cmd::kMpegStop, 0);
  if (frame_.RemoteWindow())
    win::PostMessage(frame_.RemoteWindow(), win::WM_USER, kGameRegister,
                     static_cast<win::LParam>(frame_.Hwnd()));
  lastLineOffset_ = -1;
  lastPreviewOffset_ = -1;
  SetSlotState(1);
  if (word) {
    word->State().syllableStart.store(0);
    word->State().syllableWidth.store(0);
    if (word->Wipe())
      word->Wipe()->ResetLine();
    word->State().currentLine.store(-1);
    ui::InvalidateRect(word->Hwnd(), nullptr, true);
  }
  if (CKivo32Title* title = frame_.Title())
    title->Refresh();
}

void LyricReceiver::OnJump() {
  BlankLines();
  // The song may go on inside the line being sung: the next syllable asks
  // for its line again, and the answer is placed even though it repeats
  // the offset last placed.
  currentLine_ = kNoLine;
  lineReady_ = false;
  waiting_.store(false);
  lastLineOffset_ = -1;
  lastPreviewOffset_ = -1;
  SetSlotState(1);
}

void LyricReceiver::OnSingScore(win::LParam score) {
  if (score == 0)
    return;
  const std::string ini = frame_.ConfigPath();
  std::string path = frame_.ProgramFolder() + "/Score.htm";
  if (auto file = SettingsPathToLinux(sys::IniGetString(ini, "Score", "File", "")))
    path = *file;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return;
  std::string page(kMaxScorePage, '\0');
  in.read(page.data(), static_cast<std::streamsize>(page.size()));
  page.resize(static_cast<size_t>(in.gcount()));
  if (page.empty())
    return;
  ScoreValues v;
  v.score = std::to_string(static_cast<long>(score));
  v.scoreText = sys::IniGetString(ini, "Score", v.score, " ").substr(0, 125);
  const int32_t h = frame_.Info() ? frame_.Info()->ClientRect().Height() : 0;
  v.size = h / 6;
  v.quarter = v.size / 4;
  if (const LyricStyleTable* styles = frame_.StyleTable()) {
    v.colour1 = HtmlColour(styles->Entry(12));
    v.colour2 = HtmlColour(styles->Entry(13));
    v.colour3 = HtmlColour(styles->Entry(14));
    v.colour4 = HtmlColour(styles->Entry(15));
  }
  scorePage_ = FillScorePage(page, v);
  if (!frame_.Info() || !frame_.Info()->ShowTitlePage())
    return;
  frame_.StorePage(scorePage_);
  frame_.ParsePage();
  ui::InvalidateRect(frame_.Info()->Hwnd(), nullptr, true);
}

// The code page goes where texts are read, measured and drawn; the process's
// locale stays as start-up left it, since the wipe and other threads run
// meanwhile.
void LyricReceiver::OnCodePage(int32_t codePage) {
  codePage_ = codePage;
  if (frame_.StyleTable())
    frame_.StyleTable()->ApplyLocaleFace(codePage);
  if (frame_.Word() && frame_.Word()->Lines())
    frame_.Word()->Lines()->SetCodePage(codePage);
}

void LyricReceiver::OnDisplaySettings(win::LParam what) {
  if (what < 1 || what > 3)
    return;
  CKivo32Word* word = frame_.Word();
  ColourWipe* wipe = word ? word->Wipe() : nullptr;
  if (wipe) {
    wipe->SwitchToStepped();
    wipe->Pause();
  }
  bool repaint = true;
  if (what & 1) {
    if (frame_.StyleTable()) {
      frame_.StyleTable()->Reload();
      if (codePage_ && codePage_ != 949)
        frame_.StyleTable()->ApplyLocaleFace(codePage_);
    }
    if (word && word->Lines()) {
      const gdi::Rect r = word->ClientRect();
      word->Lines()->Resize(r.Width(), r.Height());
    }
  }
  if (what & 2)
    repaint = frame_.RereadImageSettings() || what != 2;
  if (repaint && word)
    ui::InvalidateRect(word->Hwnd(), nullptr, true);
  if (wipe)
    wipe->Resume();
}

void LyricReceiver::AfterVideoModeChange() {
  const win::Hwnd frame = frame_.Hwnd();
  if (frame_.Info() && frame_.Info()->ShowsLyricPage())
    win::PostMessage(frame, win::WM_COMMAND, cmd::kLyricText, 0xFFFF);
  ui::InvalidateRect(frame, nullptr, true);
  frame_.RefreshAfterModeChange();
}

void LyricReceiver::OnVideoOff() {
  frame_.LeaveVideoModes();
  frame_.SetBackgroundMode(kModeStill);
  AfterVideoModeChange();
}

void LyricReceiver::OnMpegVideo() {
  if (frame_.BackgroundMode() == kModeInfo)
    frame_.LeaveVideoModes();
  if (frame_.BackgroundMode() != kModeMpeg && frame_.Mpeg().IsOpen())
    frame_.EnterMpegMode();
  AfterVideoModeChange();
}

void LyricReceiver::OnOverlayVideo() {
  if (frame_.BackgroundMode() == kModeInfo)
    frame_.LeaveVideoModes();
  if (frame_.BackgroundMode() != kModeOverlay && frame_.Overlay().IsOpen()) {
    // One keyed picture at a time: the MPEG board's goes off first.
    if (frame_.BackgroundMode() == kModeMpeg) {
      win::SendMessage(frame_.Hwnd(), win::WM_COMMAND, cmd::kMpegStop, 0);
      frame_.LeaveVideoModes();
    }
    frame_.EnterOverlayMode();
  }
  AfterVideoModeChange();
}

void LyricReceiver::OnAviVideo() {
  const int32_t mode = frame_.BackgroundMode();
  if (mode == kModeMpeg) {
    win::SendMessage(frame_.Hwnd(), win::WM_COMMAND, cmd::kMpegStop, 0);
    frame_.LeaveVideoModes();
  } else if (mode == kModeOverlay) {
    frame_.LeaveVideoModes();
  }
  if (mode == kModeInfo)
    return;
  const MediaList* list = frame_.VideoList();
  if ((!list || list->Empty()) && frame_.WaitingVideo().empty()) {
    win::PostMessage(frame_.Hwnd(), win::WM_USER, kVideoOffRequest, 0);
    return;
  }
  frame_.SetBackgroundMode(kModeInfo);
  if (frame_.Info())
    frame_.Info()->ShowVideoArea();
  AfterVideoModeChange();
  if (lyricActive_ || !frame_.WaitingVideo().empty())
    win::PostMessage(frame_.Hwnd(), win::WM_COMMAND, cmd::kPlayVideo, 0);
}

win::LResult LyricReceiver::OnUser(win::WParam code, win::LParam argument) {
  const win::Hwnd frame = frame_.Hwnd();
  switch (code) {
  case kPlayStarted:
    OnPlayStarted();
    break;
  case kPlayStopped:
    OnPlayStopped();
    break;
  case kJumpNotify:
    OnJump();
    break;
  case kSingScore:
    OnSingScore(argument);
    break;
  case kCodePageNotify:
    OnCodePage(static_cast<int32_t>(argument));
    break;
  case kDisplaySettingsNotify:
    OnDisplaySettings(argument);
    break;
  case kVideoOffRequest:
    OnVideoOff();
    break;
  case kMpegVideoRequest:
    OnMpegVideo();
    break;
  case kOverlayVideoRequest:
    OnOverlayVideo();
    break;
  case kAviVideoRequest:
    OnAviVideo();
    break;
  case kStopImageNotify:
    frame_.ShowStopImage();
    break;
  case kMediaListReload:
    frame_.ReloadMediaLists(static_cast<uint32_t>(argument) & 7);
    break;
  case kDisplayRepaintRequest:
    // Painting here is not one of the 9x family's: accepted and left.
    break;
  case kInfoViewRefresh:
    if (frame_.Info())
      frame_.Info()->Refresh();
    break;
  case kDisplayShowRequest:
    if (argument & 1) {
      win::SendMessage(frame, kCloseMessage, 0, 0);
    } else if (argument & 2) {
      ui::ShowWindow(frame, ui::SW_SHOW);
      if (!(argument & 4))
        frame_.SetSizingBorder(false);
    } else {
      ui::ShowWindow(frame, ui::SW_HIDE);
    }
    break;
  case kDisplayCloseRequest:
    win::SendMessage(frame, kCloseMessage, 0, 0);
    break;
  case kDisplayModeReset:
    if (frame_.BackgroundMode() == kModeInfo)
      win::PostMessage(frame, win::WM_USER, kVideoOffRequest, 0);
    frame_.LeaveEmbedding(true);
    frame_.ResetDisplayMode();
    break;
  default:
    break;
  }
  return 0;
}

} // namespace display
