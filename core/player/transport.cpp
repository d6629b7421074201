#include "core/player/transport.h"

#include "core/messages.h"
#include "core/player/handover.h"
#include "core/player/musicfont.h"
#include "core/player/notifywnd.h"
#include "core/player/tambloapp.h"
#include "core/player/waveplayer.h"
#include "platform/ui/modal/messagebox.h"

#include <algorithm>
#include <filesystem>

extern "C" void tamblo_UpdateAllTempoLED(void);
extern "C" void tamblo_UpdateAllKeyLED(void);

namespace core::transport {
namespace {

constexpr int kChannels = 16;
constexpr int64_t kSkipMs = 5000; // the step of rewind and forward
constexpr const char* kMessageCaption = kPlayerMessageCaption;

const wendra::MplayTable& Link() {
  return TheApp().linkTable;
}

// The link library is bound (the library started) and a host initialised
// the player core: every engine operation may be called.
bool Ready() {
  return TheApp().Started() && Player().initialised;
}

bool Playing() {
  return Link().GetcMidiPlayFlag() != 0;
}

std::string MessageString(int id) {
  if (const res::Bundle* bundle = TheApp().Resources())
    if (auto text = bundle->String(static_cast<uint32_t>(id)))
      return *text;
  if (id == kMsgEngineRefusedSong)
    return "The sequencer cannot take this song.";
  return std::string(MessageText(id));
}

// The song object's messages and questions go into message boxes with the
// texts of the resource bundle.
void InstallMessageBoxes() {
  SetMessageHandlers(
      [](int id, std::string_view) {
        ui::MessageBox(MessageString(id), kMessageCaption, ui::MB_OK | ui::MB_ICONEXCLAMATION);
      },
      [](int id, std::string_view) {
        return ui::MessageBox(MessageString(id), kMessageCaption,
                              ui::MB_YESNO | ui::MB_ICONQUESTION) == ui::IDYES;
      });
}

// Maps every track's port to a device; with probe, also opens the devices
// the song needs once to see which are there (never while a song plays: the
// probe would take the playing song's devices away).
void MapDevices(bool probe) {
  CMidiOutDeviceList& list = MidiOutDevices();
  list.MapTrackPorts(TheSong());
  if (probe)
    list.OpenForSong(TheSong());
  list.AssignTrackPorts(TheSong());
}

void RefreshEditorReadouts() {
  tamblo_UpdateAllTempoLED();
  tamblo_UpdateAllKeyLED();
}

// Changed devices reach the song at its next hand-over.
void DevicesChanged() {
  CSongData& song = TheSong();
  if (!song.loaded)
    return;
  song.preparedForPlay = 0;
  if (Playing()) {
    Player().devicesStale = true;
    MapDevices(false);
  } else {
    Player().devicesStale = false;
    MapDevices(true);
  }
}

void TellDisplayOfJump() {
  if (DisplayWindow() == 0)
    return;
  ClearHtm();
  SendJumpNotify();
}

void JumpTo(int64_t ms) {
  Link().JumpToPosition(static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, UINT32_MAX)));
}

} // namespace

int32_t InitPlayer(sys::ModuleHandle instance, sys::ModuleHandle scoreModule, win::Hwnd parent,
                   win::Hwnd hostNotifyWnd, const char* name) {
  if (!TheApp().Started())
    return 0;
  const win::Hwnd notify = CreateNotifyWindow(parent, hostNotifyWnd);
  if (notify == 0)
    return 0;
  PlayerState& p = Player();
  p.instance = instance;
  p.scoreModule = scoreModule;
  TheApp().BindScoreLibrary(scoreModule);
  p.hostName = name ? std::string(name).substr(0, kHostNameSize) : std::string();
  MidiOutDevices().Enumerate();
  // The music font comes with the song editor; until its file is there,
  // there is nothing to register.
  std::error_code ec;
  if (std::filesystem::exists(TheApp().Folder() + "/" + kMusicFontFile, ec))
    EnsureMusicFont(TheApp().Folder());
  InstallMessageBoxes();
  const auto firstValue = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(instance));
  p.transmitEntry = Link().InitMidiPlayer(firstValue, notify);
  p.initialised = true;
  return 1;
}

void EndPlayer() {
  PlayerState& p = Player();
  if (!p.initialised)
    return;
  if (TheApp().Started() && Playing()) {
    Link().TerminatePlay();
    Link().AllNoteOff();
  }
  DestroyNotifyWindow();
  SetMessageHandlers(nullptr, nullptr);
  p = PlayerState{};
}

uint8_t PrepareMidiDevice(bool transmitEvents) {
  PlayerState& p = Player();
  const CSongData& song = TheSong();
  if (p.devicesStale ||
      MidiOutDevices().SongDevices().size() != static_cast<size_t>(song.TrackCount())) {
    MapDevices(true);
    p.devicesStale = false;
  }
  return HandSongToEngine(song, Link().GetPreparePlay(), p.transmitEntry,
                          MidiOutDevices().SongDevices(), transmitEvents);
}

int32_t LoadSong(const char* path, int32_t kind) {
  if (!Ready() || !path)
    return 0;
  PlayerState& p = Player();
  // The engine's buffers and the display belong to the song playing: it
  // stops before it is replaced.
  if (Playing())
    Stop();
  p.paused = 0;
  // The wave that sounds is the old song's.
  TheWavePlayer().Stop();
  CSongData& song = TheSong();
  const int32_t result = song.LoadByKind(path, kind);
  if (result) {
    MapDevices(true);
    p.devicesStale = false;
    SendSongStateNotify(kSongLoaded);
    p.songPlayed = 0;
    if (TheDisplaySettings().imageMode & kImageModeAutoMarks)
      song.PlaceImageMarksAtLoad();
    for (int16_t t = 0; t < song.TrackCount(); ++t)
      Link().SetTrackMute(static_cast<uint16_t>(t), 0);
  }
  const DisplaySettings& display = TheDisplaySettings();
  DisplayTitle(display.titlePage.c_str());
  if (!(display.titleMode & kTitleModeNoTimedClear))
    ArmTitleClearTimer();
  return result;
}

int32_t CloseSong() {
  if (!Ready())
    return 0;
  PlayerState& p = Player();
  if (Playing())
    Stop();
  p.paused = 0;
  TheWavePlayer().Stop();
  TheSong().Reset();
  MapDevices(false);
  SendSongStateNotify(kSongClosed);
  p.songPlayed = 1;
  return 1;
}

int32_t Play() {
  if (!Ready())
    return 0;
  CSongData& song = TheSong();
  if (!song.loaded || Playing())
    return 0;
  if (!song.preparedForPlay) {
    if (!PrepareMidiDevice(true)) {
      ShowMessage(kMsgEngineRefusedSong);
      return 0;
    }
    song.preparedForPlay = 1;
    Link().GenerateTrackOrder();
  }
  PlayerState& p = Player();
  p.paused = 0;
  if (!Link().StartPlay())
    return 0;
  // Only a song that plays is announced.
  SendPlayStart();
  const DisplaySettings& display = TheDisplaySettings();
  if (display.titleMode & kTitleModeShowAtPlay) {
    DisplayTitle(display.titlePage.c_str());
    ArmTitleClearTimer();
  } else {
    ClearHtm();
  }
  p.songPlayed = 1;
  return 1;
}

int32_t Stop() {
  if (!Ready() || !TheSong().loaded)
    return 0;
  Link().SetTempoModifier(0);
  Link().SetKeyModifier(0);
  RefreshEditorReadouts();
  for (uint16_t ch = 0; ch < kChannels; ++ch)
    Link().SetChannelMute(ch, 0);
  SendPlayStopToDisplay();
  PostPlayStoppedToHost();
  if (Playing()) {
    Link().TerminatePlay();
    Link().AllNoteOff();
  }
  Player().paused = 0;
  ClearHtm();
  return 1;
}

int32_t Pause() {
  if (!Ready() || !TheSong().loaded || !Playing())
    return 0;
  PlayerState& p = Player();
  // The engine's own flag decides, so that the toggle never starts a second
  // timer for a song that runs.
  if (Link().GetcPause()) {
    Link().EndPause();
  } else {
    Link().AllNoteOff();
    Link().BeginPause();
  }
  p.paused = Link().GetcPause() ? 1 : 0;
  return p.paused;
}

int32_t Jump(int32_t perMille) {
  if (!Ready())
    return 0;
  const int64_t p = std::clamp(perMille, 0, 1000);
  Link().AllNoteOff();
  JumpTo(int64_t{std::max(TheSong().endMs, 0)} * p / 1000);
  TellDisplayOfJump();
  return 1;
}

namespace {

int32_t Skip(int64_t ms) {
  if (!Ready() || !Playing() || Link().GetcPause())
    return 0;
  Link().AllNoteOff();
  JumpTo(std::max<int64_t>(int64_t{Link().GetCurTime()} + ms, 0));
  TellDisplayOfJump();
  return 1;
}

} // namespace

int32_t Rewind() {
  return Skip(-kSkipMs);
}

int32_t Forward() {
  return Skip(kSkipMs);
}

void SetPlayerType(int32_t type) {
  if (!Ready())
    return;
  if (MplayTransmitEntry entry = Link().SetMidiPlayerType(type)) {
    Player().transmitEntry = entry;
    // The engine left behind freed its buffers.
    TheSong().preparedForPlay = 0;
  }
}

int32_t NotifyMidiOutDevice() {
  if (!Ready())
    return 0;
  CSongData& song = TheSong();
  if (Playing()) {
    DevicesChanged();
    return 1;
  }
  MapDevices(true);
  Player().devicesStale = false;
  if (!song.loaded)
    return 1;
  if (!PrepareMidiDevice(true)) {
    song.preparedForPlay = 0;
    ShowMessage(kMsgEngineRefusedSong);
    return 0;
  }
  song.preparedForPlay = 1;
  Link().GenerateTrackOrder();
  return 1;
}

int32_t SetDefaultMidiOutDevice(const char* name, uint16_t productId) {
  if (!TheApp().Started())
    return 0;
  const int16_t before = Link().moGetCurDev();
  const int32_t result = MidiOutDevices().SetDefaultDevice(name ? name : "", productId);
  if (Ready() && Link().moGetCurDev() != before)
    DevicesChanged();
  return result;
}

int32_t SetMelodyTrackMute(int32_t on) {
  if (!Ready())
    return 0;
  const CSongData& song = TheSong();
  const uint16_t melody = song.melodyTrack;
  if (on) {
    const uint8_t channel = song.HasTrack(melody) ? song.tracks[melody].summary.channel : 0;
    Link().TurnOffChannel(channel);
  }
  Link().SetTrackMute(melody, on ? 1 : 0);
  return 1;
}

int32_t GetMelodyTrackMute() {
  if (!Ready())
    return 0;
  return Link().GetTrackMute(TheSong().melodyTrack) != 0 ? 1 : 0;
}

int32_t SetPlayerWatchDog(int32_t enable, int32_t time) {
  PlayerState& p = Player();
  p.watchDogEnabled = enable;
  p.watchDogTime = time;
  if (TheApp().Started())
    Link().EnableWatchDog(enable ? 1 : 0);
  SetWatchDog(enable, time);
  return 1;
}

int32_t SetLyricShiftDenominator(int16_t denominator) {
  CSongData& song = TheSong();
  const int16_t before = song.lyricShiftTicks;
  song.SetLyricShift(denominator);
  // The shift is part of what the engine holds.
  if (song.lyricShiftTicks != before)
    song.preparedForPlay = 0;
  return 1;
}

} // namespace core::transport

namespace core {

PlayerState& Player() {
  static PlayerState* state = new PlayerState;
  return *state;
}

std::string PlayerMessageString(int id) {
  return transport::MessageString(id);
}

} // namespace core
