// The info view: an HTML title page (the song's title page, the score page),
// the lyric-text page built from the song's words, or a clip of background
// mode 3, shown above the background.
#pragma once

#include "display/view.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace display {

// The largest page template read.
inline constexpr size_t kMaxPageTemplate = 1u << 20;

// The song's lyric text as page text: one or two leading CR or LF skipped,
// LF dropped, blanks at a line's start dropped, and each CR ending a line:
// "<P>" once linesPerParagraph - 1 lines of the paragraph are counted, else
// " / " after a line that held characters and nothing after an empty one.
// linesPerParagraph below 1 counts as 1.
std::string ConvertLyricText(std::string_view text, int32_t linesPerParagraph);

// The lyric page's template: [Words] File (a stored path), else
// "Lyric.htm" in the folder of config.ini, else the program's own beside
// the program.
std::string LyricTemplatePath(const std::string& configPath, const std::string& programFolder);
// The template followed by the converted text; nullopt when the template
// cannot be read (no page then).
std::optional<std::string> BuildLyricPage(const std::string& templatePath, std::string_view text,
                                          int32_t linesPerParagraph);

// What the view is placed for.
enum class InfoContent { TitlePage, TextPage, Video };

// The frame's geometry the placement reads.
struct InfoGeometry {
  int32_t border = 0;               // the frame's border b
  int32_t width = 0, height = 0;    // the frame's client W and H
  int32_t titleTop = 0, titleHeight = 0;
  int32_t lyricTop = 0, lyricHeight = 0;
  bool mode2 = false;               // a mode-2 record placed the display
  int32_t backgroundMode = 0;
  bool layoutEdit = false;
};

// The view's rectangle in the frame for what it shows; nullopt where it
// stays as it is (pages under a mode-2 record in background mode 3).
std::optional<gdi::Rect> InfoRect(InfoContent content, const InfoGeometry& g);

// What plays the clips of background mode 3 inside the view. The view owns
// it; without one, clips fail to open and the view stays empty.
class InfoVideo {
public:
  virtual ~InfoVideo() = default;
  // Opens path as a child window of parent (closing one that is open);
  // false when the clip cannot be opened.
  virtual bool Open(win::Hwnd parent, const std::string& path) = 0;
  // Places the clip in parent's client area (whole with full screen, else
  // centred at its own size); parent 0 parks the clip's window.
  virtual void Place(win::Hwnd parent) = 0;
  // Plays (the end notified to notify) or stops; allow false stops.
  virtual void PlayOrStop(win::Hwnd notify, bool allow) = 0;
  virtual void RealisePalette() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual bool IsPlaying() const = 0;
  // [Avi/Flc] FullScreen and AutoChange (play once).
  virtual void SetFullScreen(bool fullScreen) = 0;
  virtual void SetPlayOnce(bool playOnce) = 0;
  // Where the clip shows in its parent's client area; empty while closed.
  virtual gdi::Rect VideoRect() const = 0;
  // True when an end notice from this media device is the open clip's
  // (a notice of a clip closed since is stale).
  virtual bool OwnsNotice(win::LParam device) const {
    (void)device;
    return true;
  }
};

// Makes the player of each new info view (none by default).
using InfoVideoFactory = std::function<std::unique_ptr<InfoVideo>()>;
void SetInfoVideoFactory(InfoVideoFactory factory);

class CKivo32Info : public Kivo32View {
public:
  // Content flags (1 and 2 exclude each other; 4 may stand with either).
  static constexpr uint32_t kTitlePage = 1;
  static constexpr uint32_t kLyricPage = 2;
  static constexpr uint32_t kVideo = 4;

  explicit CKivo32Info(CKivo32Frame& frame);
  ~CKivo32Info() override;

  uint32_t Content() const { return content_; }
  bool ShowsTitlePage() const { return content_ & kTitlePage; }
  bool ShowsLyricPage() const { return content_ & kLyricPage; }
  bool ShowsVideo() const { return content_ & kVideo; }

  // Makes way for a title page shown for a while (the frame's timer 101
  // ends it); false, nothing changed, while the colour wipe runs. A clip
  // playing goes on under the page.
  bool ShowTitlePage();
  // Makes way for the lyric-text page.
  void ShowLyricPage();
  // The lyric-text page from the song's words: false, and no page, when
  // the template cannot be read or the page not parsed.
  bool ShowLyricText(std::string_view text);
  // Ends the page: the parse result goes; the view hides unless a clip
  // shows.
  void EndPage();
  // Clears the lyric-text page.
  void ClearLyricPage();
  // Draws the shown page again.
  void Refresh();
  // Places the view for what it shows within the frame's client area.
  void PlaceFor(const gdi::Rect& frameClient);
  // Brings the view up and repaints it.
  void ShowView();

  // Clips (background mode 3).
  void SetVideo(std::unique_ptr<InfoVideo> video);
  InfoVideo* Video() const { return video_.get(); }
  std::string& VideoPath() { return videoPath_; }
  bool OpenVideo(const std::string& path);
  bool OpenHeldVideo() { return OpenVideo(videoPath_); }
  void PlayOrStop(bool allow);
  // Commands 1010 and 45000: outside full screen the clip's last rectangle
  // is repainted on the frame first, then play or stop, then the new
  // rectangle is kept.
  void PlayVideoCommand(bool allow);
  void CloseVideo();
  void RealisePalette();
  // Reads [Avi/Flc] FullScreen again; re-places and repaints on a change.
  void RereadFullScreen();
  void PlaceVideo();
  bool VideoOpen() const { return video_ && video_->IsOpen(); }
  bool VideoPlaying() const { return video_ && video_->IsPlaying(); }
  bool FullScreen() const { return fullScreen_; }
  bool PlayOnce() const { return playOnce_; }
  // The clip's rectangle last shown, in the frame's coordinates.
  const gdi::Rect& LastVideoRect() const { return lastVideoRect_; }
  void ShowVideoArea();

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  InfoGeometry Geometry(const gdi::Rect& frameClient) const;
  void ReadVideoSettings();

  uint32_t content_ = 0;
  std::string videoPath_;
  std::unique_ptr<InfoVideo> video_;
  bool fullScreen_ = false;
  bool playOnce_ = true;
  gdi::Rect lastVideoRect_;
};

} // namespace display
