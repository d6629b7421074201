// The info view: an HTML title page, the lyric-text page or a video, shown
// above the background.
#pragma once

#include "display/view.h"

#include <cstdint>
#include <string>

namespace display {

class CKivo32Info : public Kivo32View {
public:
  // Content flags.
  static constexpr uint32_t kTitlePage = 1;
  static constexpr uint32_t kLyricPage = 2;
  static constexpr uint32_t kVideo = 4;

  using Kivo32View::Kivo32View;

  uint32_t Content() const { return content_; }
  bool ShowsTitlePage() const { return content_ & kTitlePage; }
  bool ShowsLyricPage() const { return content_ & kLyricPage; }
  bool ShowsVideo() const { return content_ & kVideo; }

  // Makes way for a title page shown for a while (the frame's timer 101
  // ends it); false, nothing changed, while the colour wipe runs.
  bool ShowTitlePage();
  // Ends the page: the parse result goes and the view hides, unless a video
  // shows.
  void EndPage();
  // Clears the lyric-text page.
  void ClearLyricPage();
  // Places the view for what it shows within the frame's client area.
  void PlaceFor(const gdi::Rect& frameClient);
  // Brings the view up and repaints it.
  void ShowView();

  // Video (background mode 3).
  std::string& VideoPath() { return videoPath_; }
  bool OpenVideo(const std::string& path);
  bool OpenHeldVideo() { return OpenVideo(videoPath_); }
  void PlayOrStop(bool allow);
  void CloseVideo();
  bool VideoOpen() const { return videoOpen_; }
  bool VideoPlaying() const { return videoPlaying_; }
  void ShowVideoArea();

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  uint32_t content_ = 0;
  std::string videoPath_;
  bool videoOpen_ = false;
  bool videoPlaying_ = false;
};

} // namespace display
