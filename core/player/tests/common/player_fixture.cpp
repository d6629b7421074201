#include "player_fixture.h"

#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "platform/sys/library.h"
#include "platform/ui/modal/messagebox.h"
#include "sequencer/engine/pavik32.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace playertest {
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

media::VirtualTime* clock = nullptr; // never destroyed: the engines keep its timer ids
std::shared_ptr<media::RecordingMidiOut> devices[2];
std::string privateFolder;
bool enginesBound = false;

class Environment : public testing::Environment {
public:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "vexo-player-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    privateFolder = pattern;
    ASSERT_EQ(mkdir((privateFolder + "/runtime").c_str(), 0700), 0);
    setenv("VEXO_RUNTIME_DIR", (privateFolder + "/runtime").c_str(), 1);
    setenv("VEXO_SETTINGS_FILE", (privateFolder + "/settings.ini").c_str(), 1);
    unsetenv("VEXO_PLATFORM");
    clock = new media::VirtualTime(1000);
    media::InstallTimeSource(clock);
    devices[0] = std::make_shared<media::RecordingMidiOut>("Recorder Zero", 0x0101);
    devices[1] = std::make_shared<media::RecordingMidiOut>("Recorder One", 0x0102);
    media::MidiOut().UseDevicesForTesting({devices[0], devices[1]});
    ui::SetMessageBoxBackend(std::make_shared<ui::ScriptedMessageBox>());
  }
  void TearDown() override {
    if (enginesBound) {
      Pavik32().TerminatePlay();
      Pavik16().TerminatePlay();
    }
    media::InstallTimeSource(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(privateFolder, ec);
  }
};
[[maybe_unused]] testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new Environment);

sys::ModuleHandle LoadKept(const char* name) {
  std::string error;
  auto library = sys::Library::Load(kBin, name, &error);
  EXPECT_TRUE(library) << error;
  return library ? library->Release() : nullptr;
}

struct Engines {
  wendra::EngineTable pavik32, pavik16;
  void (*setPoster32)(PavikNoticePoster) = nullptr;
  void (*setPoster16)(PavikNoticePoster) = nullptr;
};

using SetPoster = void (*)(PavikNoticePoster);

SetPoster BindEngineOf(const char* name, wendra::EngineTable& table, PavikNoticePoster poster) {
  sys::ModuleHandle module = LoadKept(name);
  std::string missing;
  EXPECT_TRUE(wendra::BindEngine(module, table, &missing)) << name << ": " << missing;
  auto setPoster = reinterpret_cast<SetPoster>(sys::FindName(module, "Pavik32_SetNoticePoster"));
  if (setPoster)
    setPoster(poster);
  return setPoster;
}

const Engines& BoundEngines() {
  static const Engines engines = [] {
    Engines e;
    e.setPoster32 = BindEngineOf("Pavik32", e.pavik32, &PostFrom32);
    e.setPoster16 = BindEngineOf("Pavik16", e.pavik16, &PostFrom16);
    enginesBound = true;
    return e;
  }();
  return engines;
}

} // namespace

const Tamblo& InProcess() {
  static const Tamblo tamblo = [] {
    BoundEngines(); // the engines load first, on the test devices
    Tamblo t;
    sys::ModuleHandle module = LoadKept("Tamblo");
    t.Attach = reinterpret_cast<int32_t (*)()>(sys::FindName(module, "Tamblo_Attach"));
    t.Detach = reinterpret_cast<int32_t (*)()>(sys::FindName(module, "Tamblo_Detach"));
    t.AttachError =
        reinterpret_cast<int32_t (*)(char*, int32_t)>(sys::FindName(module, "Tamblo_AttachError"));
    std::string missing;
    EXPECT_TRUE(wendra::BindMplay(module, t.mplay, &missing)) << missing;
    t.module = module;
    return t;
  }();
  return tamblo;
}

std::string AttachError() {
  char text[512] = {};
  InProcess().AttachError(text, sizeof text);
  return text;
}

const wendra::EngineTable& Pavik32() {
  return BoundEngines().pavik32;
}

const wendra::EngineTable& Pavik16() {
  return BoundEngines().pavik16;
}

media::VirtualTime& Clock() {
  return *clock;
}

media::RecordingMidiOut& Device(int index) {
  return *devices[index];
}

std::vector<std::shared_ptr<media::MidiOutDevice>> TestDevices() {
  return {devices[0], devices[1]};
}

void UseTestDevices() {
  media::MidiOut().UseDevicesForTesting(TestDevices());
  Pavik32().moCheckMidiOutDev();
  Pavik16().moCheckMidiOutDev();
}

std::vector<Notice> Notices() {
  std::lock_guard lock(logMutex);
  return notices;
}

void LogEngineNotices() {
  const Engines& e = BoundEngines();
  if (e.setPoster32)
    e.setPoster32(&PostFrom32);
  if (e.setPoster16)
    e.setPoster16(&PostFrom16);
}

void ClearLogs() {
  {
    std::lock_guard lock(logMutex);
    notices.clear();
  }
  devices[0]->Clear();
  devices[1]->Clear();
}

void Tick(int n) {
  for (int i = 0; i < n; ++i)
    clock->Advance(10);
}

int32_t TickAt(int32_t ms) {
  return ms * 480 / 500;
}

std::vector<uint8_t> NotesPlayed(int device) {
  std::vector<uint8_t> notes;
  for (const auto& m : devices[device]->Messages())
    if (!m.IsLong() && (m.Status() & 0xF0) == 0x90 && m.Data2() > 0)
      notes.push_back(m.Data1());
  return notes;
}

Scratch::Scratch() {
  std::string pattern = testing::TempDir() + "vexo-player-XXXXXX";
  if (mkdtemp(pattern.data()))
    path_ = pattern;
}

Scratch::~Scratch() {
  std::error_code ec;
  if (!path_.empty())
    std::filesystem::remove_all(path_, ec);
}

bool Scratch::Copy(const std::string& from, const std::string& name) const {
  std::error_code ec;
  return std::filesystem::copy_file(from, path_ + "/" + name, ec);
}

bool Scratch::Link(const std::string& to, const std::string& name) const {
  std::error_code ec;
  std::filesystem::create_symlink(to, path_ + "/" + name, ec);
  return !ec;
}

PlayerFolder::PlayerFolder() {
  Copy(kBin + "/libTamblo.so", "libTamblo.so");
  // The copy finds the platform beside it, as in build/bin.
  for (const auto& entry : std::filesystem::directory_iterator(kBin)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("libvexo_", 0) == 0)
      LinkFromBin(name);
  }
}

std::optional<systest::SpawnedChild> StartTambloChild(const std::string& folder,
                                                      const std::string& runtimeDir, bool hold,
                                                      const std::vector<std::string>& env) {
  std::vector<std::string> all = {"VEXO_RUNTIME_DIR=" + runtimeDir};
  all.insert(all.end(), env.begin(), env.end());
  return systest::SpawnedChild::Start(VEXO_TESTS_DIR "/tamblo_start",
                                      {folder, hold ? "hold" : "once"}, all);
}

std::vector<std::string> ReadVerdict(systest::SpawnedChild& child) {
  std::vector<std::string> lines;
  while (auto line = child.ReadLine(20000)) {
    lines.push_back(*line);
    if (*line == "attached" || line->rfind("refused", 0) == 0)
      break;
  }
  return lines;
}

} // namespace playertest
