#include "host/record_command.h"

#include "host/interrupt.h"
#include "host/remote_window.h"
#include "host/song_files.h"
#include "host/tamblo_client.h"
#include "platform/media/wavein.h"
#include "platform/sys/library.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/win/loop.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace host {
namespace {

constexpr const char* kUsage =
    "usage: vexo3 record OUT.wav [--seconds S] [--rate R] [--bits 8|16] [--channels 1|2] [--play]\n"
    "       vexo3 record --open FILE.wav\n";
constexpr uint32_t kSliceMs = 100;

int Usage(const std::string& why) {
  return UsageError(why, kUsage);
}

struct RecordOptions {
  std::string out;
  std::string open;
  long seconds = 600; // the recorder's own limit
  long rate = 22050;
  long bits = 8;
  long channels = 1;
  bool play = false;
};

// The player core's dialogs answered as the command line says: the save and
// open dialogs with the file named, the question whether it replaces a
// file with yes (the user named it).
struct CommandLineDialogs {
  explicit CommandLineDialogs(const std::string& path)
      : files(std::make_shared<ui::ScriptedFileDialog>()),
        boxes(std::make_shared<ui::ScriptedMessageBox>()), scopedFiles(files),
        scopedBoxes(boxes) {
    files->Answer(path);
    boxes->Answer(ui::IDYES);
  }
  std::shared_ptr<ui::ScriptedFileDialog> files;
  std::shared_ptr<ui::ScriptedMessageBox> boxes;
  ui::ScopedFileDialogBackend scopedFiles;
  ui::ScopedMessageBoxBackend scopedBoxes;
};

// Runs the message loop until the recorder says it is done, Ctrl+C or
// limitMs passed; true when it came to its own end.
bool WaitForWave(const TambloExports& t, RemoteWindow& state, int donesBefore, uint32_t limitMs) {
  const auto began = std::chrono::steady_clock::now();
  auto elapsed = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 began)
        .count();
  };
  while (!interrupted.load() && state.wavesDone == donesBefore && elapsed() < limitMs &&
         (t.GetRecStatus() || t.GetPlayStatus()))
    win::RunMessageLoopUntil([&] { return interrupted.load() || state.wavesDone != donesBefore; },
                             kSliceMs);
  return state.wavesDone != donesBefore;
}

int PlayBack(const TambloExports& t, RemoteWindow& state, const std::string& what) {
  const int before = state.wavesDone;
  if (!t.PlayWave())
    return Failure(what + " cannot be played");
  std::printf("playing %s (Ctrl+C stops)\n", what.c_str());
  std::fflush(stdout);
  WaitForWave(t, state, before, UINT32_MAX);
  t.StopWave();
  return 0;
}

} // namespace

int RecordCommand(std::span<char*> args) {
  RecordOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    const bool more = i + 1 < args.size();
    if (a == "--seconds" || a == "--rate" || a == "--bits" || a == "--channels") {
      long* value = a == "--seconds" ? &o.seconds
                    : a == "--rate"  ? &o.rate
                    : a == "--bits"  ? &o.bits
                                     : &o.channels;
      const long low = a == "--bits" ? 8 : 1;
      const long high = a == "--seconds" ? 600 : a == "--rate" ? 192000 : a == "--bits" ? 16 : 2;
      if (!more || !ParseBounded(args[i + 1], low, high, value) ||
          (a == "--bits" && *value != 8 && *value != 16))
        return Usage(std::string(a) + (a == "--bits" ? " takes 8 or 16"
                                       : a == "--channels"
                                           ? " takes 1 or 2"
                                           : " takes a number of " + std::to_string(low) + " to " +
                                                 std::to_string(high)));
      ++i;
    } else if (a == "--play") {
      o.play = true;
    } else if (a == "--open") {
      if (!more)
        return Usage("--open needs a WAV file");
      o.open = args[++i];
    } else if (!a.empty() && a[0] != '-' && o.out.empty()) {
      o.out = a;
    } else {
      return Usage("unknown argument '" + std::string(a) + "'");
    }
  }
  if (o.open.empty() == o.out.empty())
    return Usage(o.open.empty() ? "which file is to be recorded?"
                                : "--open plays a file; it records nothing");
  std::error_code ec;
  if (!o.open.empty() && !std::filesystem::is_regular_file(o.open, ec))
    return Failure(o.open + ": no such file");
  if (o.open.empty() && media::WaveIn().Count() == 0)
    return Failure("there is no microphone; set VEXO_MIC_WAV=VOICE.wav to sing a WAV file into "
                   "the recorder");
  if (const char* mic = std::getenv("VEXO_MIC_WAV"); mic && *mic && o.open.empty())
    std::printf("no sound card needed: the microphone sings %s\n", mic);

  RemoteWindows windows;
  if (!windows.Ok())
    return Failure("the host's windows cannot be made");
  std::string error;
  auto client = TambloClient::Start(sys::ProgramFolder(), &error);
  if (!client || !client->Init(windows.Frame(), windows.Remote(), &error))
    return Failure(error);
  const TambloExports& t = client->Exports();
  RemoteWindow& state = windows.State();
  InterruptGuard interrupt;
  int code = 0;

  if (!o.open.empty()) {
    CommandLineDialogs dialogs(o.open);
    if (!t.OpenWave())
      code = Failure(o.open + ": not a WAV file the recorder can play");
    else
      code = PlayBack(t, state, o.open);
  } else {
    t.SetRecSetting(static_cast<uint32_t>(o.rate), static_cast<uint16_t>(o.bits),
                    static_cast<uint16_t>(o.channels));
    const int before = state.wavesDone;
    if (!t.RecordWave()) {
      code = Failure("the microphone cannot record " + std::to_string(o.rate) + " Hz, " +
                     std::to_string(o.bits) + " bits, " + std::to_string(o.channels) +
                     " channel(s)");
    } else {
      std::printf("recording %ld s into %s (Ctrl+C stops)\n", o.seconds, o.out.c_str());
      std::fflush(stdout);
      WaitForWave(t, state, before, static_cast<uint32_t>(o.seconds * 1000));
      t.StopWave();
      interrupted.store(false); // Ctrl+C ended the recording, not the command
      CommandLineDialogs dialogs(o.out);
      if (!t.SaveWave()) {
        code = Failure("cannot save " + o.out);
      } else {
        std::printf("saved %s\n", o.out.c_str());
        if (o.play)
          code = PlayBack(t, state, o.out);
      }
    }
  }
  t.CloseWave();
  win::ProcessPendingMessages();
  client.reset();
  std::fflush(stdout);
  return code;
}

} // namespace host
