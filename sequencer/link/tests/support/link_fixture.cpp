#include "link_fixture.h"

#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "platform/sys/library.h"
#include "platform/ui/modal/messagebox.h"
#include "sequencer/engine/pavik32.h"

#include <memory>
#include <mutex>
#include <optional>

namespace linktest {
namespace {

std::mutex logMutex;
std::vector<Notice> notices;

uint8_t PostFrom32(uint32_t window, uint32_t message, uint64_t wParam, int64_t lParam) {
  std::lock_guard lock(logMutex);
  notices.push_back({32, window, message, wParam, lParam});
  return 1;
}

uint8_t PostFrom16(uint32_t window, uint32_t message, uint64_t wParam, int64_t lParam) {
  std::lock_guard lock(logMutex);
  notices.push_back({16, window, message, wParam, lParam});
  return 1;
}

// Never destroyed: the engines keep timer ids of it until the process ends.
media::VirtualTime* clock = nullptr;
std::shared_ptr<media::RecordingMidiOut> devices[2];
bool loaded = false;

class Environment : public testing::Environment {
public:
  void SetUp() override {
    clock = new media::VirtualTime(1000);
    media::InstallTimeSource(clock);
    devices[0] = std::make_shared<media::RecordingMidiOut>("Recorder Zero", 0x0101);
    devices[1] = std::make_shared<media::RecordingMidiOut>("Recorder One", 0x0102);
    media::MidiOut().UseDevicesForTesting({devices[0], devices[1]});
    ui::SetMessageBoxBackend(std::make_shared<ui::ScriptedMessageBox>());
  }
  void TearDown() override {
    // Stop whatever still plays while the virtual clock is installed.
    if (loaded && Loaded().pavik32.TerminatePlay)
      Loaded().pavik32.TerminatePlay();
    if (loaded && Loaded().pavik16.TerminatePlay)
      Loaded().pavik16.TerminatePlay();
    media::InstallTimeSource(nullptr);
  }
};
[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new Environment);

sys::ModuleHandle LoadKept(const char* name) {
  std::string error;
  auto library = sys::Library::Load(VEXO_BIN_DIR, name, &error);
  EXPECT_TRUE(library) << error;
  return library ? library->Release() : nullptr;
}

void BindMplayOf(const char* name, wendra::MplayTable& table) {
  std::string missing;
  EXPECT_TRUE(wendra::BindMplay(LoadKept(name), table, &missing)) << name << ": " << missing;
}

void BindEngineOf(const char* name, wendra::EngineTable& table, PavikNoticePoster poster) {
  sys::ModuleHandle module = LoadKept(name);
  std::string missing;
  EXPECT_TRUE(wendra::BindEngine(module, table, &missing)) << name << ": " << missing;
  auto setPoster = reinterpret_cast<void (*)(PavikNoticePoster)>(
      sys::FindName(module, "Pavik32_SetNoticePoster"));
  ASSERT_TRUE(setPoster) << name;
  setPoster(poster);
}

} // namespace

const Libraries& Loaded() {
  static const Libraries libraries = [] {
    Libraries l;
    BindMplayOf("Wendra", l.wendra);
    BindMplayOf("WendraNT", l.wendraNT);
    BindEngineOf("Pavik32", l.pavik32, &PostFrom32);
    BindEngineOf("Pavik16", l.pavik16, &PostFrom16);
    loaded = true;
    return l;
  }();
  return libraries;
}

media::VirtualTime& Clock() {
  return *clock;
}

media::RecordingMidiOut& Device(int index) {
  return *devices[index];
}

std::vector<Notice> Notices() {
  std::lock_guard lock(logMutex);
  return notices;
}

void ClearLogs() {
  {
    std::lock_guard lock(logMutex);
    notices.clear();
  }
  devices[0]->Clear();
  devices[1]->Clear();
}

int32_t TickAt(int32_t ms) {
  return ms * 480 / 500;
}

Song ShortSong(int16_t device) {
  auto midi = [](int32_t ms, uint32_t message) {
    return Song::Event{TickAt(ms), ms, message, 0, 0};
  };
  Song s;
  s.tracks.push_back({midi(0, 0x000000C0), midi(0, 0x00643C90), midi(100, 0x00003C80),
                      midi(200, 0x00643E90), midi(300, 0x00003E80)});
  s.tracks.push_back({{TickAt(50), 50, 100, 16, 5}});
  s.devices = {device, device};
  return s;
}

uint8_t HandOver(const wendra::MplayTable& table, MplayTransmitEntry transmit, const Song& song) {
  const int32_t tempoMap[3] = {0, 500000, 0};
  std::vector<int32_t> counts;
  for (const auto& t : song.tracks)
    counts.push_back(static_cast<int32_t>(t.size()));
  uint8_t banks[16];
  std::fill(std::begin(banks), std::end(banks), 0xFF);
  MplayPrepareEntry prepare = table.GetPreparePlay();
  const uint8_t ready =
      prepare(0, 1, song.ticksPerQuarter, static_cast<int32_t>(song.tracks.size()), 0, 1,
              song.totalMs, tempoMap, counts.data(), banks, song.devices.data());
  for (size_t t = 0; t < song.tracks.size(); ++t)
    for (size_t i = 0; i < song.tracks[t].size(); ++i) {
      const Song::Event& e = song.tracks[t][i];
      transmit(static_cast<int32_t>(t), static_cast<int32_t>(i), e.post, e.tick, e.ms, e.data,
               e.kind);
    }
  table.GenerateTrackOrder();
  return ready;
}

void Tick(int n) {
  for (int i = 0; i < n; ++i)
    clock->Advance(10);
}

std::vector<uint8_t> NotesPlayed(int device) {
  std::vector<uint8_t> notes;
  for (const auto& m : devices[device]->Messages())
    if (!m.IsLong() && (m.Status() & 0xF0) == 0x90 && m.Data2() > 0)
      notes.push_back(m.Data1());
  return notes;
}

} // namespace linktest
