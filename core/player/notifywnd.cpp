#include "core/player/notifywnd.h"

#include "core/player/display_records.h"
#include "core/player/tambloapp.h"
#include "core/player/waveplayer.h"
#include "platform/sys/library.h"
#include "platform/sys/log.h"
#include "platform/sys/paths.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <fstream>

namespace core {
namespace {

// The resource strings of the pages shown by image actions 3 and 4.
constexpr uint32_t kImagePageString3 = 130;
constexpr uint32_t kImagePageString4 = 131;
// Image slots of the play image and of the picks at play and image events.
constexpr int kPlayImageSlot = 7;
constexpr int kLastImageSlot = 12;

std::atomic<win::Hwnd> notifyWnd{0};
std::atomic<win::Hwnd> hostNotifyWnd{0};
std::atomic<ReadoutRefresh> readoutRefresh{nullptr};
std::atomic<EmbeddedWavePlayer> wavePlayer{nullptr};
std::atomic<WaveDeviceDone> waveDeviceDone{nullptr};

// The song's generation: real-time events carry it in the upper half of
// their lParam, so that those still queued from an earlier song are known.
// Never 0 or 0xFFFFFFFF, the upper halves of an unstamped index.
std::atomic<uint32_t> songGeneration{1};

// The rolling counter of SendImageRange, never reset.
uint16_t imageCounter = 0;

bool SongLoaded() {
  return TheSong().loaded != 0;
}

const Track* LyricTrack() {
  const CSongData& song = TheSong();
  return song.HasTrack(song.lyricTrack) ? &song.tracks[static_cast<size_t>(song.lyricTrack)]
                                        : nullptr;
}

std::string ResourceString(uint32_t id) {
  const res::Bundle* bundle = TheApp().Resources();
  return bundle ? bundle->StringBytes(id) : std::string();
}

// A window handle carried in lParam; 0 for a value that is none.
win::Hwnd HandleArgument(win::LParam argument) {
  return argument > 0 && argument <= static_cast<win::LParam>(UINT32_MAX)
             ? static_cast<win::Hwnd>(argument)
             : 0;
}

// The text of the title page file, in the host program's folder; empty when
// it cannot be read.
std::string ReadPageFile(const char* name) {
  if (!name || !*name)
    return {};
  std::optional<std::string> path;
  if (name[0] == '/' || name[0] == '\\' || (name[0] && name[1] == ':'))
    path = sys::ResolveStoredPath(name);
  else if (auto relative = sys::ToLinuxPath(name))
    path = sys::ResolveIgnoringCase(sys::ProgramFolder() + "/" + *relative);
  if (!path)
    return {};
  std::ifstream in(*path, std::ios::binary);
  if (!in)
    return {};
  std::string text(kMaxPageFileSize, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  // The page is a text: it ends at its first zero.
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool SendHtml(std::string_view text) {
  return SendRecord(DisplayWindow(), kHtmlPageCopy, ZeroTerminated(text));
}

uint32_t BumpGeneration() {
  uint32_t next = songGeneration.load() + 1;
  if (next == 0 || next == 0xFFFFFFFFu)
    next = 1;
  songGeneration.store(next);
  return next;
}

using NoticePoster = uint8_t (*)(uint32_t, uint32_t, uint64_t, int64_t);

} // namespace

DisplaySettings& TheDisplaySettings() {
  static DisplaySettings* settings = new DisplaySettings;
  return *settings;
}

void SetReadoutRefresh(ReadoutRefresh refresh) {
  readoutRefresh.store(refresh);
}

void SetEmbeddedWavePlayer(EmbeddedWavePlayer player) {
  wavePlayer.store(player);
}

void SetWaveDeviceDone(WaveDeviceDone done) {
  waveDeviceDone.store(done);
}

CPlayerNotifyWnd& TheNotifyWnd() {
  static CPlayerNotifyWnd* wnd = new CPlayerNotifyWnd;
  return *wnd;
}

void ForgetWindow(win::Hwnd window) {
  if (window == 0)
    return;
  if (DisplayWindow() == window)
    SetDisplayWindow(0);
  TheNotifyWnd().DropFromLists(window);
}

void CPlayerNotifyWnd::DropFromLists(win::Hwnd window) {
  for (ListenerList* list : {&stop_, &prog_, &misc_, &event_, &notify_})
    list->Drop(window);
}

// --- Image requests --------------------------------------------------------

void CPlayerNotifyWnd::SendImage(int slot) {
  const win::Hwnd display = DisplayWindow();
  if (display == 0)
    return;
  if (slot == -1) {
    SendRecord(display, kImageCopy, ZeroTerminated(kSpecialImageRequest));
    return;
  }
  const auto& numbers = TheSong().imageNumbers;
  if (slot < 0 || slot >= static_cast<int>(numbers.size()))
    return;
  const uint8_t picture = numbers[static_cast<size_t>(slot)];
  if (picture == 0)
    SendRecord(display, kImageCopy, ZeroTerminated(""));
  else
    SendRecord(display, kImageCopy, ImageField(picture));
}

void CPlayerNotifyWnd::SendImageRange(int first, int last) {
  if (last == -1 || last < first) {
    SendImage(first);
    return;
  }
  const auto& numbers = TheSong().imageNumbers;
  const int count = last - first + 1;
  int slot = first;
  for (int tries = 0; tries < count; ++tries) {
    slot = first + imageCounter % count;
    ++imageCounter;
    if (slot >= 0 && slot < static_cast<int>(numbers.size()) &&
        numbers[static_cast<size_t>(slot)] != 0)
      break;
  }
  SendImage(slot);
}

// --- The window's messages -------------------------------------------------

win::LResult CPlayerNotifyWnd::WindowProc(uint32_t message, win::WParam wParam,
                                          win::LParam lParam) {
  try {
    switch (message) {
    case win::WM_CREATE:
      win::SetTimer(GetHwnd(), kWatchDogTimer, kWatchDogPeriodMs);
      return 0;
    case win::WM_DESTROY:
      win::KillTimer(GetHwnd(), kWatchDogTimer);
      win::KillTimer(GetHwnd(), kTitleClearTimer);
      return 0;
    case win::WM_TIMER:
      OnTimer(static_cast<uint32_t>(wParam));
      return 0;
    case win::WM_USER:
      OnUserCode(static_cast<uint32_t>(wParam), lParam);
      return 0;
    case kRealTimeEvent:
      return OnRealTimeEvent(wParam, lParam);
    case kWaveOutDone:
      TheWavePlayer().OnDone(static_cast<uint32_t>(wParam));
      return 0;
    case win::MM_MCINOTIFY:
      // Only a natural end is news to the host: a stop, a command that
      // replaced the one under way or a close tells it nothing.
      if (auto done = waveDeviceDone.load(); done && done(wParam, lParam))
        PostUserCode(HostNotifyWindow(), kWaveDoneNotify, 0);
      return 0;
    case win::WM_COPYDATA:
      // SongFileCopy from the display, and anything else: accepted, ignored.
      return 0;
    default:
      return win::DefWindowProc(GetHwnd(), message, wParam, lParam);
    }
  } catch (const std::exception& e) {
    sys::Warn("player", "the notify window threw on message 0x%04x: %s", message, e.what());
    return 0;
  } catch (...) {
    sys::Warn("player", "the notify window threw on message 0x%04x", message);
    return 0;
  }
}

void CPlayerNotifyWnd::OnUserCode(uint32_t code, win::LParam argument) {
  switch (code) {
  case kProgressNotify:
    prog_.PostToAll(win::WM_USER, code, argument);
    break;
  case kMeterNotify:
    misc_.PostToAll(win::WM_USER, code, argument);
    break;
  case kEndNotify:
    OnEndNotify(argument);
    break;
  case kSongStateNotify:
    notify_.PostToAll(win::WM_USER, code, argument);
    break;
  case kTitleRequest:
    TitleTransmit(HandleArgument(argument));
    break;
  case kLyricRequest:
    LyricTransmit(HandleArgument(argument));
    break;
  case kLineInfoRequest:
    if (DisplayWindow() != 0 && argument >= 0 && argument < kLineTableSize)
      LineInfoTransmit(DisplayWindow(), static_cast<int16_t>(argument));
    break;
  case kLinkDisplay:
    if (argument == 0 || HandleArgument(argument) != 0)
      SetDisplayWindow(HandleArgument(argument));
    break;
  case kLyricTextRequest:
    LyricTextTransmit(HandleArgument(argument));
    break;
  default:
    break;
  }
}

void CPlayerNotifyWnd::OnEndNotify(win::LParam argument) {
  const wendra::MplayTable& link = TheApp().linkTable;
  if (link.SetTempoModifier)
    link.SetTempoModifier(0);
  if (link.SetKeyModifier)
    link.SetKeyModifier(0);
  if (auto refresh = readoutRefresh.load())
    refresh();
  if (link.SetChannelMute)
    for (uint16_t channel = 0; channel < 16; ++channel)
      link.SetChannelMute(channel, 0);
  stop_.PostToAll(win::WM_USER, kEndNotify, argument);
  PostUserCode(DisplayWindow(), kPlayStopped, 0);
  PostPlayStoppedToHost();
  const uint16_t imageMode = TheDisplaySettings().imageMode;
  if (imageMode & kImageModeSpecial)
    SendImage(-1);
  else if (imageMode & kImageModeStopNotify)
    PostUserCode(DisplayWindow(), kStopImageNotify, 0);
}

void CPlayerNotifyWnd::OnTimer(uint32_t id) {
  CheckDisplayAlive();
  for (ListenerList* list : {&stop_, &prog_, &misc_, &event_, &notify_})
    list->DropDead();
  if (id == kWatchDogTimer) {
    const wendra::MplayTable& link = TheApp().linkTable;
    if (watchDogEnabled && link.SetWatchDogTime)
      link.SetWatchDogTime(watchDogTime);
  } else if (id == kTitleClearTimer) {
    win::KillTimer(GetHwnd(), kTitleClearTimer);
    ClearHtm();
  }
}

int32_t CPlayerNotifyWnd::OnRealTimeEvent(win::WParam wParam, win::LParam stamped) {
  // An index from an earlier song (or from no song at all) is dropped.
  const uint32_t generation = static_cast<uint32_t>(static_cast<uint64_t>(stamped) >> 32);
  if (generation != songGeneration.load() || !SongLoaded())
    return -1;
  const int32_t index = static_cast<int32_t>(static_cast<uint32_t>(stamped));
  if (wParam >= static_cast<win::WParam>(kMaxTracks))
    return -1;
  const int16_t track = static_cast<int16_t>(wParam);
  const CSongData& song = TheSong();
  const SongEvent* found = song.Event(track, index);
  if (!found)
    return -1;
  const SongEvent event = *found;
  // Lyric kinds belong to the lyric track alone.
  if (event.kind >= 16 && event.kind <= 31 && track != song.lyricTrack)
    return -1;
  if (event.kind == kKindWave) {
    if (auto player = wavePlayer.load(); player && player(event) < 0)
      return -1;
  } else if (event.kind == kKindImage && DisplayWindow() != 0) {
    ActOnImageEvent(event);
  }
  Relay(track, index);
  return 0;
}

void CPlayerNotifyWnd::ActOnImageEvent(const SongEvent& event) {
  const CSongData& song = TheSong();
  const DisplaySettings& settings = TheDisplaySettings();
  if (event.data == 0 && song.imageNumbers[kPlayImageSlot] != 0) {
    switch (event.imageAction) {
    case 0:
      SendImageRange(kPlayImageSlot, kLastImageSlot);
      break;
    case 1:
      if (settings.imageMode & kImageModeSpecial)
        SendImage(-1);
      else
        SendImageRange(kPlayImageSlot, kLastImageSlot);
      break;
    case 2:
      ClearHtm();
      break;
    case 3:
      if (!(settings.titleMode & kTitleModeShowAtPlay)) {
        SendJumpNotify();
        DisplayHtm(ResourceString(kImagePageString3).c_str());
      }
      break;
    case 4:
      SendJumpNotify();
      DisplayHtm(ResourceString(kImagePageString4).c_str());
      break;
    default:
      break;
    }
    return;
  }
  // The request's text in the data pool, as many bytes as the event counts
  // (bounded by the pool).
  const std::string_view text = song.PoolBytes(event);
  SendRecord(DisplayWindow(), kImageCopy,
             std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void CPlayerNotifyWnd::Relay(int16_t track, int32_t index) {
  if (const win::Hwnd display = DisplayWindow())
    RTEventTransmit(display, track, index);
  // A copy: a send that finds a window gone changes the list.
  const auto listeners = event_.Slots();
  for (win::Hwnd listener : listeners)
    if (listener != 0 && event_.Contains(listener))
      RTEventTransmit(listener, track, index);
}

// --- What the transport calls ----------------------------------------------

void SetEngineNoticePoster(const std::string& folder, NoticePoster poster) {
  for (const char* name : {"Pavik32", "Pavik16"}) {
    // Only engines that are loaded already (by the link library) are told.
    const std::string path = folder + "/" + sys::LibraryFileName(name);
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!module)
      continue;
    if (auto set =
            reinterpret_cast<void (*)(NoticePoster)>(dlsym(module, "Pavik32_SetNoticePoster")))
      set(poster);
    dlclose(module);
  }
}

uint8_t PostEngineNotice(uint32_t window, uint32_t message, uint64_t wParam, int64_t lParam) {
  if (message == kRealTimeEvent)
    lParam = RealTimeEventLParam(static_cast<int32_t>(lParam));
  return win::PostMessage(window, message, static_cast<win::WParam>(wParam),
                          static_cast<win::LParam>(lParam))
             ? 1
             : 0;
}

win::LParam RealTimeEventLParam(int32_t index) {
  const uint64_t stamped =
      static_cast<uint64_t>(songGeneration.load()) << 32 | static_cast<uint32_t>(index);
  return static_cast<win::LParam>(stamped);
}

win::Hwnd CreateNotifyWindow(win::Hwnd parent, win::Hwnd hostNotify) {
  hostNotifyWnd.store(hostNotify);
  const win::Hwnd existing = notifyWnd.load();
  if (existing != 0 && win::IsWindow(existing))
    return existing;
  win::CreateParams params;
  params.className = kNotifyWindowClass;
  params.title = kNotifyWindowTitle;
  params.style = win::WS_CHILD;
  params.parent = parent;
  params.object = &TheNotifyWnd();
  const win::Hwnd hwnd = win::CreateWindow(params);
  notifyWnd.store(hwnd);
  if (hwnd != 0)
    SetEngineNoticePoster(TheApp().Folder(), &PostEngineNotice);
  return hwnd;
}

void DestroyNotifyWindow() {
  SetEngineNoticePoster(TheApp().Folder(), nullptr);
  const win::Hwnd hwnd = notifyWnd.exchange(0);
  if (hwnd != 0)
    win::DestroyWindow(hwnd);
  SetDisplayWindow(0);
}

win::Hwnd NotifyWindow() {
  return notifyWnd.load();
}

win::Hwnd HostNotifyWindow() {
  return hostNotifyWnd.load();
}

void SendPlayStart() {
  if (!PostUserCode(DisplayWindow(), kPlayStarted, 0))
    return;
  TitleTransmit(DisplayWindow());
  LyricTransmit(DisplayWindow());
  const uint16_t imageMode = TheDisplaySettings().imageMode;
  if ((imageMode & kImageModeAutoMarks) && DisplayWindow() != 0)
    SendRecord(DisplayWindow(), kPlayImageCopy, ImageField(TheSong().imageNumbers[kPlayImageSlot]));
  if (!(imageMode & kImageModeSpecial))
    TheNotifyWnd().SendImageRange(kPlayImageSlot, kLastImageSlot);
}

void SendPlayStopToDisplay() {
  if (!PostUserCode(DisplayWindow(), kPlayStopped, 0))
    return;
  const uint16_t imageMode = TheDisplaySettings().imageMode;
  if (imageMode & kImageModeSpecial)
    TheNotifyWnd().SendImage(-1);
  else if (imageMode & kImageModeStopNotify)
    PostUserCode(DisplayWindow(), kStopImageNotify, 0);
}

void PostPlayStoppedToHost() {
  PostUserCode(HostNotifyWindow(), kPlayStopped, 0);
}

void SendJumpNotify() {
  SendUserCode(DisplayWindow(), kJumpNotify, 0);
}

void SongEdited() {
  BumpGeneration();
}

void SendSongStateNotify(int32_t state) {
  BumpGeneration();
  if (const win::Hwnd hwnd = NotifyWindow())
    win::SendMessage(hwnd, win::WM_USER, kSongStateNotify, state);
}

void ArmTitleClearTimer() {
  if (const win::Hwnd hwnd = NotifyWindow())
    win::SetTimer(hwnd, kTitleClearTimer, kTitleClearMs);
}

void SetWatchDog(int32_t enable, int32_t time) {
  TheNotifyWnd().watchDogEnabled = enable;
  TheNotifyWnd().watchDogTime = time;
}

// --- The transmissions -----------------------------------------------------

int32_t TitleTransmit(win::Hwnd window) {
  if (!SongLoaded())
    return -1;
  SendRecord(window, kTitleCopy, TitleRecord(TheSong().title));
  return static_cast<int32_t>(kTitleRecordSize);
}

int32_t LyricTransmit(win::Hwnd window) {
  const Track* lyrics = SongLoaded() ? LyricTrack() : nullptr;
  if (!lyrics)
    return -1;
  const std::vector<uint8_t> block = LyricBlock(*lyrics);
  SendRecord(window, kLyricCopy, block);
  return static_cast<int32_t>(block.size());
}

int32_t LineInfoTransmit(win::Hwnd window, int16_t line) {
  const Track* lyrics = SongLoaded() ? LyricTrack() : nullptr;
  if (!lyrics || line < 0 || line >= kLineTableSize)
    return -1;
  SendRecord(window, kEventCopy, EventRecord(LineInfoEvent(line, LineEntry(*lyrics, line))));
  return 0;
}

int32_t RTEventTransmit(win::Hwnd window, int16_t track, int32_t index) {
  if (!SongLoaded())
    return -1;
  const CSongData& song = TheSong();
  const SongEvent* event = song.Event(track, index);
  if (!event)
    return -1;
  if (event->kind >= 16 && event->kind <= 31 && track != song.lyricTrack)
    return -1;
  SendRecord(window, kEventCopy, EventRecord(*event));
  return 0;
}

int32_t LyricTextTransmit(win::Hwnd window) {
  const Track* lyrics = SongLoaded() ? LyricTrack() : nullptr;
  if (!lyrics)
    return -1;
  SendRecord(window, kLyricTextCopy, LyricText(*lyrics));
  return 0;
}

int32_t DisplayTitle(const char* pageFile) {
  if (DisplayWindow() == 0)
    return 0;
  const CSongData& song = TheSong();
  const std::string page = ReadPageFile(pageFile);
  SendRecord(DisplayWindow(), kHtmlPageCopy, TitlePage(page, song.title, song.singer));
  return 1;
}

int32_t ClearHtm() {
  if (DisplayWindow() == 0)
    return 0;
  SendHtml(kHtmlReset);
  return 1;
}

int32_t DisplayHtm(const char* text) {
  if (DisplayWindow() == 0)
    return 0;
  SendHtml(text ? std::string_view(text, strnlen(text, win::kMaxCopyDataSize - 1))
                : std::string_view());
  return 1;
}

} // namespace core
