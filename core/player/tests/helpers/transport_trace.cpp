// A host for the trace tests: it starts the player core of the folder given
// (whose link library writes every engine call it passes on, see
// fixtures/trace_link.cpp) on virtual time and two recording devices, and
// calls each transport export in turn. Before each export it writes
// "> name", after it "< result"; the engine calls made in between are the
// export's trace. "~ ticks N" moves time on (what the engine's notices
// cause is traced there). It ends with "end".
//
// transport_trace FOLDER SONG
#include "core/player/notify_exports.h"
#include "core/player/tamblo.h"
#include "core/player/transport_exports.h"
#include "platform/media/clock.h"
#include "platform/media/midiout.h"
#include "platform/media/recording_midi.h"
#include "platform/media/virtual_time.h"
#include "platform/sys/library.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

sys::ModuleHandle module = nullptr;

template <typename F> F Find(const char* name) {
  auto f = reinterpret_cast<F>(sys::FindName(module, name));
  if (!f) {
    std::printf("failed: no %s\n", name);
    std::fflush(stdout);
    std::exit(1);
  }
  return f;
}

template <typename Call> void Export(const std::string& name, Call call) {
  std::printf("> %s\n", name.c_str());
  std::fflush(stdout);
  if constexpr (std::is_void_v<decltype(call())>) {
    call();
    std::printf("< done\n");
  } else {
    std::printf("< %lld\n", static_cast<long long>(call()));
  }
  std::fflush(stdout);
}

media::VirtualTime* virtualClock = nullptr;

void Ticks(int n) {
  std::printf("~ ticks %d\n", n);
  std::fflush(stdout);
  for (int i = 0; i < n; ++i) {
    virtualClock->Advance(10);
    while (win::ProcessPendingMessages() > 0) {
    }
  }
}

} // namespace

#define FIND(name) auto name = Find<decltype(&::name)>(#name)

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("failed: usage: transport_trace FOLDER SONG\n");
    return 1;
  }
  virtualClock = new media::VirtualTime(1000); // the engine keeps its timer ids: never freed
  media::InstallTimeSource(virtualClock);
  media::MidiOut().UseDevicesForTesting(
      {std::make_shared<media::RecordingMidiOut>("Recorder Zero", 0x0101),
       std::make_shared<media::RecordingMidiOut>("Recorder One", 0x0102)});
  ui::SetMessageBoxBackend(std::make_shared<ui::ScriptedMessageBox>());

  std::string error;
  auto library = sys::Library::Load(argv[1], "Tamblo", &error);
  if (!library) {
    std::printf("failed: %s\n", error.c_str());
    return 1;
  }
  module = library->Release();
  FIND(Tamblo_Attach);
  FIND(Tamblo_Detach);
  FIND(tamblo_InitDLL);
  FIND(tamblo_GetModuleHandle);
  FIND(tamblo_LoadFile);
  FIND(tamblo_CloseFile);
  FIND(tamblo_CheckIfLoaded);
  FIND(tamblo_CheckIfSongPlayed);
  FIND(tamblo_Play);
  FIND(tamblo_Stop);
  FIND(tamblo_Pause);
  FIND(tamblo_Jump);
  FIND(tamblo_Rewind);
  FIND(tamblo_Forward);
  FIND(tamblo_SetMidiPlayerType);
  FIND(tamblo_SetImageMode);
  FIND(tamblo_GetImageMode);
  FIND(tamblo_SetTitleDisplayMode);
  FIND(tamblo_GetTitleDisplayMode);
  FIND(tamblo_SetTitleDisplayHTM);
  FIND(tamblo_SetMelodyTrackMute);
  FIND(tamblo_GetMelodyTrackMute);
  FIND(tamblo_SetWatchDog);
  FIND(tamblo_SetLyricShiftDenominator);
  FIND(tamblo_SetLyricTextAutoSplit);
  FIND(tamblo_NotifyMidiOutDevice);
  FIND(tamblo_SetDefaultMidiOutDevice);
  FIND(tamblo_RecordWave);
  FIND(tamblo_PlayWave);
  FIND(tamblo_StopWave);
  FIND(tamblo_SaveWave);
  FIND(tamblo_OpenWave);
  FIND(tamblo_CloseWave);
  FIND(tamblo_GetRecStatus);
  FIND(tamblo_GetPlayStatus);
  FIND(tamblo_SetRecSetting);
  FIND(tamblo_GetRecSetting);
  FIND(tamblo_OpenEditor);
  FIND(tamblo_CloseEditor);
  FIND(Tamblo_RepaintEditor);
  FIND(tamblo_ProcessMessageFilter);
  FIND(Tamblo_PreTranslateMessage);
  FIND(tamblo_UpdateAllTempoLED);
  FIND(tamblo_UpdateAllKeyLED);
  FIND(tamblo_RegisterStopMsg);

  win::RegisterClass({"TraceHost", 0, [] { return std::make_unique<win::Window>(); }});
  win::CreateParams params;
  params.className = "TraceHost";
  const win::Hwnd frame = win::CreateWindow(params);
  const win::Hwnd host = win::CreateWindow(params);
  const std::string song = argv[2];

  Export("Tamblo_Attach", [&] { return Tamblo_Attach(); });
  Export("tamblo_Play before the start", [&] { return tamblo_Play(); });
  Export("tamblo_InitDLL", [&] { return tamblo_InitDLL(module, nullptr, frame, host, "trace"); });
  Export("tamblo_GetModuleHandle", [&] { return tamblo_GetModuleHandle() == module ? 1 : 0; });
  tamblo_RegisterStopMsg(host);
  Export("tamblo_SetImageMode", [&] { return tamblo_SetImageMode(4); });
  Export("tamblo_GetImageMode", [&] { return tamblo_GetImageMode(); });
  Export("tamblo_SetTitleDisplayMode", [&] { tamblo_SetTitleDisplayMode(1); });
  Export("tamblo_GetTitleDisplayMode", [&] { return tamblo_GetTitleDisplayMode(); });
  Export("tamblo_SetTitleDisplayHTM", [&] { return tamblo_SetTitleDisplayHTM("title.htm"); });
  Export("tamblo_SetLyricTextAutoSplit", [&] { return tamblo_SetLyricTextAutoSplit(1); });
  Export("tamblo_Play without a song", [&] { return tamblo_Play(); });
  Export("tamblo_LoadFile", [&] { return tamblo_LoadFile(song.c_str(), 2000); });
  Export("tamblo_CheckIfLoaded", [&] { return tamblo_CheckIfLoaded(); });
  Export("tamblo_Play", [&] { return tamblo_Play(); });
  Export("tamblo_CheckIfSongPlayed", [&] { return tamblo_CheckIfSongPlayed(); });
  Export("tamblo_Play while playing", [&] { return tamblo_Play(); });
  Ticks(30);
  Export("tamblo_Pause", [&] { return tamblo_Pause(); });
  Export("tamblo_Jump", [&] { return tamblo_Jump(500); });
  Export("tamblo_Pause again", [&] { return tamblo_Pause(); });
  Export("tamblo_Forward", [&] { return tamblo_Forward(); });
  Export("tamblo_Rewind", [&] { return tamblo_Rewind(); });
  Export("tamblo_SetMelodyTrackMute", [&] { return tamblo_SetMelodyTrackMute(1); });
  Export("tamblo_GetMelodyTrackMute", [&] { return tamblo_GetMelodyTrackMute(); });
  Export("tamblo_SetMelodyTrackMute off", [&] { return tamblo_SetMelodyTrackMute(0); });
  Export("tamblo_SetWatchDog", [&] { return tamblo_SetWatchDog(0, 4000); });
  Export("tamblo_SetMidiPlayerType while playing", [&] { tamblo_SetMidiPlayerType(32); });
  Export("tamblo_NotifyMidiOutDevice while playing", [&] { return tamblo_NotifyMidiOutDevice(); });
  Export("tamblo_Stop", [&] { return tamblo_Stop(); });
  Export("tamblo_SetMidiPlayerType", [&] { tamblo_SetMidiPlayerType(32); });
  Export("tamblo_Play after the type change", [&] { return tamblo_Play(); });
  Ticks(200); // to the end of the song
  Export("tamblo_Play again", [&] { return tamblo_Play(); });
  Export("tamblo_Stop again", [&] { return tamblo_Stop(); });
  Export("tamblo_NotifyMidiOutDevice", [&] { return tamblo_NotifyMidiOutDevice(); });
  Export("tamblo_SetDefaultMidiOutDevice",
         [&] { return tamblo_SetDefaultMidiOutDevice("Recorder One", 0); });
  Export("tamblo_SetLyricShiftDenominator", [&] { return tamblo_SetLyricShiftDenominator(3); });
  Export("tamblo_RecordWave", [&] { return tamblo_RecordWave(); });
  Export("tamblo_PlayWave", [&] { return tamblo_PlayWave(); });
  Export("tamblo_StopWave", [&] { return tamblo_StopWave(); });
  Export("tamblo_SaveWave", [&] { return tamblo_SaveWave(); });
  Export("tamblo_OpenWave", [&] { return tamblo_OpenWave(); });
  Export("tamblo_CloseWave", [&] { return tamblo_CloseWave(); });
  Export("tamblo_GetRecStatus", [&] { return tamblo_GetRecStatus(); });
  Export("tamblo_GetPlayStatus", [&] { return tamblo_GetPlayStatus(); });
  Export("tamblo_SetRecSetting", [&] { return tamblo_SetRecSetting(44100, 16, 2); });
  Export("tamblo_GetRecSetting", [&] {
    uint32_t rate = 0;
    uint16_t bits = 0, channels = 0;
    tamblo_GetRecSetting(&rate, &bits, &channels);
    return rate * 1000 + bits * 10 + channels;
  });
  Export("tamblo_OpenEditor", [&] { return tamblo_OpenEditor(); });
  Export("tamblo_CloseEditor", [&] { return tamblo_CloseEditor(); });
  Export("Tamblo_RepaintEditor", [&] { return Tamblo_RepaintEditor(); });
  Export("tamblo_ProcessMessageFilter", [&] {
    win::Msg msg;
    return tamblo_ProcessMessageFilter(0, &msg);
  });
  Export("Tamblo_PreTranslateMessage", [&] {
    win::Msg msg;
    return Tamblo_PreTranslateMessage(&msg);
  });
  Export("tamblo_UpdateAllTempoLED", [&] { tamblo_UpdateAllTempoLED(); });
  Export("tamblo_UpdateAllKeyLED", [&] { tamblo_UpdateAllKeyLED(); });
  Export("tamblo_Play on the new device", [&] { return tamblo_Play(); });
  Ticks(5);
  Export("tamblo_CloseFile while playing", [&] { return tamblo_CloseFile(); });
  Export("Tamblo_Detach", [&] { return Tamblo_Detach(); });
  std::printf("end\n");
  std::fflush(stdout);
  return 0;
}
