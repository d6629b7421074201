// Starts the player core of the folder given as its first argument the way a
// host does: loads it, attaches it, and reports "box: <caption>: <text>" for
// every message box shown, then "attached" or "refused: <reason>". With the
// second argument "hold" it keeps the library until its input closes.
#include "core/player/tamblo.h"
#include "platform/media/midiout.h"
#include "platform/media/recording_midi.h"
#include "platform/sys/library.h"
#include "platform/ui/modal/messagebox.h"

#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3)
    return 2;
  auto boxes = std::make_shared<ui::ScriptedMessageBox>();
  ui::SetMessageBoxBackend(boxes);
  media::MidiOut().UseDevicesForTesting({std::make_shared<media::RecordingMidiOut>()});

  std::string error;
  auto library = sys::Library::Load(argv[1], "Tamblo", &error);
  if (!library) {
    std::printf("refused: not loaded: %s\n", error.c_str());
    return 1;
  }
  // Kept loaded, refused or not, until the process ends.
  sys::ModuleHandle module = library->Release();
  auto attach = reinterpret_cast<decltype(&Tamblo_Attach)>(sys::FindName(module, "Tamblo_Attach"));
  auto attachError =
      reinterpret_cast<decltype(&Tamblo_AttachError)>(sys::FindName(module, "Tamblo_AttachError"));
  auto detach = reinterpret_cast<decltype(&Tamblo_Detach)>(sys::FindName(module, "Tamblo_Detach"));
  if (!attach || !attachError || !detach) {
    std::printf("refused: not a player core\n");
    return 1;
  }
  const bool attached = attach() == 1;
  for (const auto& box : boxes->Shown())
    std::printf("box: %s: %s\n", box.caption.c_str(), box.text.c_str());
  if (attached) {
    std::printf("attached\n");
  } else {
    char reason[512] = {};
    attachError(reason, sizeof reason);
    std::printf("refused: %s\n", reason);
  }
  std::fflush(stdout);
  if (std::string(argv[2]) == "hold") {
    char c;
    while (read(0, &c, 1) > 0) {
    }
  }
  if (attached)
    detach();
  return 0;
}
