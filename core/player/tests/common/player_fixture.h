// The player core as a host loads it, from build/bin, with the engines it
// reaches on virtual time and two recording MIDI devices, the engines also
// bound directly so that tests can see what reached them, and folders laid
// out like build/bin for starts of copied libraries in child processes.
//
// A process-wide test environment installs the clock, the devices, a
// scripted message box, a private runtime folder and settings file before
// anything loads.
#pragma once

#include "platform/media/recording_midi.h"
#include "platform/media/virtual_time.h"
#include "platform/sys/library.h"
#include "platform/sys/tests/support/spawned_child.h"
#include "sequencer/link/engine_table.h"
#include "sequencer/link/mplay_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace playertest {

constexpr uint32_t kWindow = 0x00B0B0B0;
const std::string kBin = VEXO_BIN_DIR;
const std::string kFixtures = VEXO_TESTS_DIR "/fixtures";

// libTamblo.so of build/bin, loaded into this process and kept.
struct Tamblo {
  int32_t (*Attach)() = nullptr;
  int32_t (*Detach)() = nullptr;
  int32_t (*AttachError)(char*, int32_t) = nullptr;
  wendra::MplayTable mplay; // its own 66 exports
  sys::ModuleHandle module = nullptr;
};
const Tamblo& InProcess();
// Any other export of the in-process player core, null when it has none.
template <typename F> F Export(const char* name) {
  return reinterpret_cast<F>(sys::FindName(InProcess().module, name));
}
std::string AttachError();

// Pavik32 and Pavik16 of build/bin, the same engines the link libraries use.
const wendra::EngineTable& Pavik32();
const wendra::EngineTable& Pavik16();

media::VirtualTime& Clock();
media::RecordingMidiOut& Device(int index); // 0 or 1
// The two recording devices, and back to them, read again by both engines.
std::vector<std::shared_ptr<media::MidiOutDevice>> TestDevices();
void UseTestDevices();

struct Notice {
  int engine = 0; // 32 or 16
  uint32_t window = 0;
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
};
std::vector<Notice> Notices();
// The engines' notices go to the log of Notices() again (a started player
// core routes them to its notification window, an ended one drops them).
void LogEngineNotices();
void ClearLogs(); // the notices and both devices' logs

void Tick(int n = 1); // timer periods of 10 ms
int32_t TickAt(int32_t ms);
std::vector<uint8_t> NotesPlayed(int device);

// A folder removed afterwards.
class Scratch {
public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  // A copy: a library loaded from here has this folder as its own.
  bool Copy(const std::string& from, const std::string& name) const;
  bool Link(const std::string& to, const std::string& name) const;

private:
  std::string path_;
};

// A folder with a copy of the player core and links to the platform
// libraries beside it, for the rest to be laid in by the test.
class PlayerFolder : public Scratch {
public:
  PlayerFolder();
  // Links a file of build/bin under its own name.
  bool LinkFromBin(const std::string& name) const { return Link(kBin + "/" + name, name); }
};

// Starts the player core of folder in a child process (tests/helpers/
// tamblo_start.cpp) on the runtime folder given. It reports "box: ..." for
// every message box, then "attached" or "refused: <reason>"; with hold it
// keeps the library until its input closes.
std::optional<systest::SpawnedChild> StartTambloChild(const std::string& folder,
                                                      const std::string& runtimeDir, bool hold,
                                                      const std::vector<std::string>& env = {});
// The child's lines up to and including its verdict.
std::vector<std::string> ReadVerdict(systest::SpawnedChild& child);

} // namespace playertest
