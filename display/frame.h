// The display program's main frame, class "VEXO3LYRIC": it owns the child
// views and the background and video objects, links itself to the player
// core and the host, carries out the pop-up menu's and the controller's
// commands, opens dropped and chosen files, embeds itself in a host window
// when asked, and writes its placement back when it closes.
#pragma once

#include "display/controller.h"
#include "display/imageengine.h"
#include "display/info.h"
#include "display/medialist.h"
#include "display/mpeg.h"
#include "display/num.h"
#include "display/overlay.h"
#include "display/receiver.h"
#include "display/records.h"
#include "display/settings.h"
#include "display/sysmenu.h"
#include "display/title.h"
#include "display/tracker.h"
#include "display/word.h"

#include "platform/ui/window/screen.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

namespace display {

class LyricStyleTable;

// Window classes of the display.
inline constexpr const char* kFrameClass = "VEXO3LYRIC";
inline constexpr const char* kWordClass = "KIVO32Word";
inline constexpr const char* kTitleClass = "KIVO32Title";
inline constexpr const char* kNumClass = "KIVO32ResvNum";
inline constexpr const char* kSysMenuClass = "KIVO32SysMenu";
inline constexpr const char* kInfoClass = "KIVO32Info";
// The lyric view's control id, and its id in a host's window (mode 2).
inline constexpr uint32_t kWordId = 2000;
inline constexpr uint32_t kHostLyricItem = 5021;
// The host's windows.
inline constexpr const char* kHostClass = "VEXO3REMOTE";
inline constexpr const char* kRemoteClass = "MSG_REMOTE";
inline constexpr const char* kTambloClass = "MSG_TAMBLO";
inline constexpr const char* kMessageTitle = "MESSAGE";

// The frame's own messages.
inline constexpr uint32_t kRelayoutMessage = win::WM_USER + 100;
inline constexpr uint32_t kNextImageMessage = win::WM_USER + 101;
inline constexpr uint32_t kCloseMessage = win::WM_USER + 102;
inline constexpr uint32_t kNextImageAsyncMessage = win::WM_USER + 103;
// The longest subfolder name a request waits with.
inline constexpr size_t kSubfolderChars = 31;

// Timers of the frame.
inline constexpr uint32_t kLinkTimer = 100;
inline constexpr uint32_t kPageTimer = 101;
inline constexpr uint32_t kTitleTimer = 200;
inline constexpr uint32_t kLinkPeriodMs = 500;
inline constexpr uint32_t kPagePeriodMs = 1812;

// Background modes.
inline constexpr int32_t kModeStill = 0;
inline constexpr int32_t kModeOverlay = 1;
inline constexpr int32_t kModeMpeg = 2;
inline constexpr int32_t kModeInfo = 3;

// Commands of the frame.
namespace cmd {
inline constexpr uint32_t kInfoVideo = 1010;
inline constexpr uint32_t kMediaPick = 3001;
inline constexpr uint32_t kDeviceSettings = 9002;
inline constexpr uint32_t kMpegPlay = 9999;
inline constexpr uint32_t kMpegStop = 10000;
inline constexpr uint32_t kMpegBackward = 10001;
inline constexpr uint32_t kMpegForward = 10002;
inline constexpr uint32_t kMpegSlow = 10003;
inline constexpr uint32_t kMpegPause = 10004;
inline constexpr uint32_t kMpegStart = 10005;
inline constexpr uint32_t kMpegEnd = 10006;
inline constexpr uint32_t kMpegOpen = 10007;
inline constexpr uint32_t kController = 20001;
inline constexpr uint32_t kClose = 20002;
inline constexpr uint32_t kMinimise = 32776;
inline constexpr uint32_t kMaximise = 32777;
inline constexpr uint32_t kHostMenu = 32779;
inline constexpr uint32_t kStillMode = 32780;
inline constexpr uint32_t kOverlayMode = 32781;
inline constexpr uint32_t kMpegMode = 32782;
inline constexpr uint32_t kInfoMode = 32783;
inline constexpr uint32_t kLayoutEdit = 32784;
inline constexpr uint32_t kLyricText = 32785;
inline constexpr uint32_t kLyricsShown = 32786;
inline constexpr uint32_t kOpenFile = 32787;
inline constexpr uint32_t kPlayVideo = 45000;
inline constexpr uint32_t kCloseVideo = 45001;
inline constexpr uint32_t kFolderPick = 45002;
} // namespace cmd

// The open dialog's filter, as the system writes it.
inline constexpr const char* kOpenFilter =
    "Image (*.bmp,*.gif,*.pcx,*,jpg)|*.bmp;*.gif;*.pcx;*.jpg|Movie (*.avi,*.mpg)|*.avi;*.mpg|"
    "HTML (*.html,*.htm)|*.html;*.htm|All Files (*.*)|*.*||";

// The longest dropped path taken; a longer one is refused rather than cut.
inline constexpr size_t kMaxDroppedPath = 516;

// Registers the display's window classes; false when one failed.
bool RegisterDisplayClasses();

class CKivo32Frame : public ui::ScreenWindow {
public:
  CKivo32Frame();
  ~CKivo32Frame() override;

  void SetConfigPath(std::string path) { configPath_ = std::move(path); }
  const std::string& ConfigPath() const { return configPath_; }
  // The folder of bkimage.bmp and Score.htm: the program's.
  void SetProgramFolder(std::string folder) { programFolder_ = std::move(folder); }
  const std::string& ProgramFolder() const { return programFolder_; }
  // Posts the quit message when the frame is destroyed (the main window).
  void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }

  // Creates the frame's window with title: a third of the screen in size,
  // a third of it in from the left and top, pop-up with clipped children,
  // minimise and maximise boxes, system menu and sizing border.
  win::Hwnd CreateFrame(std::string_view title);
  win::Hwnd Hwnd() const { return GetHwnd(); }

  // The link-up: looks up the host's windows, and sends the player core
  // LinkDisplay with the frame (and tells the host the display started).
  void LinkAtStart();
  // The 500-ms look-up: finds the windows afresh and posts LinkDisplay.
  void RefreshLink();
  win::Hwnd RemoteWindow() const { return remote_; }
  win::Hwnd TambloWindow() const { return tamblo_; }

  // Settings read at creation.
  void SetFixedFrame(int32_t fixed);
  bool FixedFrame() const { return fixedFrame_; }

  // State the views and the receiver read.
  bool Embedded() const { return embedded_; }
  win::Hwnd HostWindow() const { return hostWindow_; }
  bool LayoutEdit() const { return layoutEdit_; }
  bool LyricsShown() const { return lyricsShown_; }
  int32_t BackgroundMode() const { return backgroundMode_; }
  int32_t DisplayMode() const { return displayMode_; }
  bool PlacedByMode2() const { return displayModeReceived_ && displayMode_ == 2; }
  bool ImageRequestPending() const { return imageRequest_; }
  // [Image] Change: image requests change the picture.
  bool ImageChange() const { return imageChange_; }
  bool FirstPaintDone() const { return firstPaintDone_; }
  const std::optional<std::string>& BackgroundFolder() const { return backgroundFolder_; }
  const gdi::Rect& Client() const { return client_; }

  CKivo32Word* Word() const { return word_.get(); }
  CKivo32Title* Title() const { return title_.get(); }
  CKivo32Num* Num() const { return num_.get(); }
  CKivo32SysMenu* SysMenu() const { return sysMenu_.get(); }
  CKivo32Info* Info() const { return info_.get(); }
  LyricReceiver* Receiver() const { return receiver_.get(); }
  BackgroundImageEngine* Engine() const { return engine_.get(); }
  MediaList* ImageList() const { return imageList_.get(); }
  // Builds again the lists of the kinds whose bits are set (bit 0 images,
  // 1 AVI/FLC videos, 2 MPEG videos) that exist; a running media pick ends
  // first.
  void ReloadMediaLists(uint32_t kinds);
  MediaList* VideoList() const { return videoList_.get(); }
  MediaList* MpegList() const { return mpegList_.get(); }
  OverlayCard& Overlay() { return overlay_; }
  const OverlayCard& Overlay() const { return overlay_; }
  MpegPlayer& Mpeg() { return mpeg_; }
  const MpegPlayer& Mpeg() const { return mpeg_; }
  LyricWindowController* Controller() const { return controller_.get(); }
  WipeTiming* Timing() const { return timing_.get(); }
  LyricStyleTable* StyleTable() const { return styleTable_.get(); }
  // The code page the song's texts come in (the lyric lines' own).
  int TextCodePage() const;

  // Frame operations the receiver and the views call.
  void SetBackgroundMode(int32_t mode);
  void RefreshAfterModeChange();
  // Stops the video of the current background mode (overlay, MPEG, or the
  // info view's clip); the mode becomes 0.
  void LeaveVideoModes();
  // MPEG video on behind the frame, keyed on the board's colour: mode 2.
  void EnterMpegMode();
  // Overlay video on and background mode 1, with the card open.
  void EnterOverlayMode();
  // Reads [Words] ByChar and [Image] Type, IsFix and Change again; true when
  // Type or IsFix changed (the shown image is then laid out anew).
  bool RereadImageSettings();
  // Lays the shown still image out again.
  void RecomposeImage();
  void ApplyDisplayMode(const DisplayModeRecord& record);
  // Back to the frame's own placement: views a mode-2 record put into the
  // host's window return into the frame.
  void ResetDisplayMode();
  // Mode 2: the lyric, number and title views become children of the
  // record's host window at its rectangles.
  void PlaceViewsInHost(const DisplayModeRecord& record);
  void Embed(const DisplayModeRecord& record);
  void LeaveEmbedding(bool showAgain);
  void SetSizingBorder(bool on);
  void ToggleMaximise();
  // Opens a dropped or chosen file by its extension.
  void OpenFile(const std::string& path);
  // Asks the confirmation question; true on a yes.
  bool Confirm();
  // Paints what lies behind a view of the frame, in the view's coordinates.
  void PaintBehind(win::Hwnd view, gdi::Dc& dc, const gdi::Rect& area);
  // The player core's image request (ImageCopy, PlayImageCopy): the next
  // image or video, a file or a folder, posted to the frame.
  void RequestImage(std::span<const uint8_t> record);
  // StopImageNotify: the stop image replaces the shown one.
  void ShowStopImage();
  // The host's image commands: a picture by its path, loaded before the
  // call returns (false when no such file); a subfolder of the background
  // folder (at most 31 characters) from which the next picture preloads.
  bool RequestImagePath(const std::string& path);
  bool RequestImageSubfolder(std::string_view name);

  // The HTML page shown in the info view: the frame keeps its own copy of
  // the text, which the parse result refers to.
  void StorePage(std::string_view text);
  bool ParsePage();
  void DropPage();
  const std::string& Page() const { return page_; }
  // The text of the ".htm" file last dropped or opened.
  const std::string& DroppedPage() const { return droppedPage_; }
  const std::string& WaitingVideo() const { return waitingVideo_; }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  LResult OnCreate();
  void OnPaint();
  void OnSize(WParam type, int32_t width, int32_t height);
  void OnRelayout();
  // WM_USER+101: the next image loaded now (wParam 1: a request that
  // waited for the loader).
  void OnNextImage(WParam wParam, LParam lParam);
  // WM_USER+103: the preloaded image shown, the following one preloaded.
  void OnTakeOverImage(LParam lParam);
  void OnLoaderDone();
  // The next random pick, or the fallback path; false when neither.
  bool PickNextOrFallback();
  // After an image shown with asynchronous loading: the following one
  // preloads, from the list or from the waiting subfolder.
  void PreloadFollowingImage();
  void OnLeftButtonDown(WParam keys, gdi::Point point);
  void OnMouseMove(WParam keys, gdi::Point point);
  void OnLeftButtonUp(WParam keys, gdi::Point point);
  void OnKeyDown(WParam key, LParam flags);
  void OnTimer(WParam id);
  LResult OnSysCommand(WParam command, LParam lParam);
  void OnDropFiles(WParam drop);
  void OnDestroy();
  LResult OnCommand(WParam wParam, LParam lParam);
  void OnMpegCommand(uint32_t id);
  void OnPlayVideo(LParam lParam);
  void OnFolderPick();
  void OnMediaPick(LParam kind);

  bool CreateViews();
  void OpenVideoDevices();
  void PlaceViews();
  void ToggleLayoutEdit();
  void RememberNormalRect();
  void FindHostWindows();
  void StartMediaPick(int32_t kind);
  std::optional<std::string> TakePick();

  std::string configPath_;
  std::string programFolder_;
  bool quitOnDestroy_ = false;

  std::unique_ptr<LyricStyleTable> styleTable_;
  std::unique_ptr<CKivo32Word> word_;
  std::unique_ptr<CKivo32Title> title_;
  std::unique_ptr<CKivo32Num> num_;
  std::unique_ptr<CKivo32SysMenu> sysMenu_;
  std::unique_ptr<CKivo32Info> info_;
  std::unique_ptr<LyricReceiver> receiver_;
  std::unique_ptr<WipeTiming> timing_;
  std::unique_ptr<BackgroundImageEngine> engine_;
  std::unique_ptr<MediaList> imageList_, videoList_, mpegList_;
  OverlayCard overlay_;
  MpegPlayer mpeg_;
  std::unique_ptr<LyricWindowController> controller_;
  ViewDragTracker tracker_;

  win::Hwnd remote_ = 0;
  win::Hwnd tamblo_ = 0;
  win::Hwnd hostWindow_ = 0;
  bool linkTimer_ = false;

  int32_t backgroundMode_ = kModeStill;
  std::optional<gdi::Colour> savedBackground_;
  bool embedded_ = false;
  bool fixedFrame_ = false;
  bool layoutEdit_ = false;
  bool lyricsShown_ = false;
  bool firstPaintDone_ = false;
  bool backgroundLaidOut_ = false;
  bool imageRequest_ = false;
  bool specialImageRequest_ = false;
  // Whether the request that waits for the loader gave its path.
  bool rememberedPathGiven_ = false;
  // Loads failed in a row for the current request.
  int32_t failedLoads_ = 0;
  bool asyncLoading_ = false;
  uint32_t imageMessage_ = kNextImageMessage;
  bool imageChange_ = true;
  uint8_t imageMode_ = 0;
  bool topmost_ = false;
  bool repaintAfterClick_ = false;
  std::optional<std::string> backgroundFolder_;

  int32_t displayMode_ = 0;
  bool displayModeReceived_ = false;
  gdi::Rect savedRect_;
  gdi::Rect normalRect_;
  gdi::Rect client_;

  std::string page_;
  bool pageParsed_ = false;
  std::string droppedPage_;
  std::string waitingVideo_;
  std::string waitingFolder_; // the name waiting for command 45002

  std::atomic<bool> mediaPickRunning_{false};
  std::thread mediaPick_;
  std::mutex pickMutex_;
  std::optional<std::string> pickResult_; // what the media-pick thread found
};

} // namespace display
