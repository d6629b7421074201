// The receiver of the display protocol: the records and WM_USER codes that
// reach the frame from the player core, the host and the display's own
// windows. It keeps the song's title and lyric block, asks the player core
// for what it lacks, and turns the lyric events into the two lines and the
// running colour wipe of the lyric view.
#pragma once

#include "display/records.h"
#include "platform/win/messages.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace display {

class CKivo32Frame;

class LyricReceiver {
public:
  explicit LyricReceiver(CKivo32Frame& frame) : frame_(frame) {}

  // WM_COPYDATA: from is the sending window. Every kind returns 0.
  win::LResult OnCopyData(win::WParam from, const win::CopyData& data);
  // WM_USER: code in wParam, argument in lParam.
  win::LResult OnUser(win::WParam code, win::LParam argument);

  // What tests and the frame read.
  bool TitleHeld() const { return titleHeld_; }
  bool LyricHeld() const { return lyricHeld_; }
  bool HasLyricBlock() const { return block_.has_value(); }
  bool LineReady() const { return lineReady_; }
  bool WaitingForLineInfo() const { return waiting_.load(); }
  int32_t CurrentLine() const { return currentLine_; }
  int32_t SlotState() const { return slotState_; }
  uint32_t LyricLength() const { return lyricLength_; }
  const ReserveBuffer& Reservations() const { return reserve_; }
  const std::array<uint8_t, kNextSongLimit>& NextSongBuffer() const { return nextSong_; }
  int32_t CodePage() const { return codePage_; }
  int32_t ColourGroup(int slot) const { return colourGroup_[slot == 1 ? 1 : 0]; }
  // The score page last shown, for the info view.
  const std::string& ScorePage() const { return scorePage_; }

private:
  void OnLyricCopy(std::span<const uint8_t> bytes);
  void OnEvent(const LyricEvent& e);
  void OnSyllable(const LyricEvent& e);
  void OnLine(const LyricEvent& e);
  void OnColourGroup(const LyricEvent& e);
  void OnPlayStarted();
  void OnPlayStopped();
  void OnJump();
  void OnSingScore(win::LParam score);
  void OnCodePage(int32_t codePage);
  void OnDisplaySettings(win::LParam what);
  void OnVideoOff();
  void OnMpegVideo();
  // Overlay video on and mode 1, with the card open.
  void OnOverlayVideo();
  // AVI/FLC clips in the info view: mode 3, or the still picture when the
  // clip lists are empty.
  void OnAviVideo();
  // After a background mode change: the lyric-text page is laid out again
  // and the frame repainted.
  void AfterVideoModeChange();
  void OnReserveList(std::span<const uint8_t> bytes);
  void OnNextSong(std::span<const uint8_t> bytes);
  // Both slots blank with line index -1, the wipe's edges zeroed, redrawn.
  void BlankLines();
  void SetColourGroup(int slot, int32_t group);
  void SetSlotState(int32_t state);
  void PostToPlayer(win::WParam code, win::LParam argument);
  // The bytes of the block at offset, length; empty when out of the block.
  std::string_view BlockText(uint32_t offset, uint32_t length) const;

  CKivo32Frame& frame_;
  std::array<uint8_t, kNextSongLimit> nextSong_{};
  ReserveBuffer reserve_{};
  uint32_t lyricLength_ = 0;
  int32_t currentLine_ = 0;
  int32_t slotState_ = 0;
  int32_t lastLineOffset_ = -1;
  int32_t lastPreviewOffset_ = -1;
  std::optional<std::vector<uint8_t>> block_; // with one added zero
  bool lyricHeld_ = false;
  bool titleHeld_ = false;
  bool lineReady_ = false;
  // A song is sung: set when play starts and by each syllable, cleared when
  // it stops.
  bool lyricActive_ = false;
  std::atomic<bool> waiting_{false};
  int32_t colourGroup_[2] = {0, 0};
  int32_t codePage_ = 0;
  std::string scorePage_;
};

} // namespace display
