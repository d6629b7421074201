// The engine calls each export makes, in order, on the real engine with
// virtual time and recording devices: a host (helpers/transport_trace.cpp)
// calls the exports of a player core whose link library writes every call
// it passes on (fixtures/trace_link.cpp).
#include "common/transport_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace transporttest;

using Lines = std::vector<std::string>;

struct Block {
  Lines calls;
  std::string result;
};

// The blocks of the host's output by export ("> name" ... "< result"), and
// the time steps ("~ ticks N") by their order.
struct Trace {
  std::map<std::string, Block> exports;
  std::vector<Lines> ticks;
  Lines all;
  bool ended = false;
};

Trace RunTrace(const std::string& song) {
  Trace trace;
  PlayerFolder folder;
  EXPECT_TRUE(folder.LinkFromBin("rTamblo.rcc"));
  // The engine is the one of build/bin; the player core finds it loaded.
  EXPECT_TRUE(folder.LinkFromBin("libPavik32.so"));
  EXPECT_TRUE(folder.Copy(kFixtures + "/trace-link/libWendraNT.so", "libWendraNT.so"));
  Scratch session;
  EXPECT_EQ(mkdir((session / "run").c_str(), 0700), 0);
  auto child = systest::SpawnedChild::Start(
      VEXO_TESTS_DIR "/transport_trace", {folder.Path(), song},
      {"VEXO_RUNTIME_DIR=" + session / "run", "VEXO_SETTINGS_FILE=" + session / "settings.ini"});
  EXPECT_TRUE(child);
  if (!child)
    return trace;
  std::string current;
  Lines* into = nullptr;
  while (auto line = child->ReadLine(20000)) {
    trace.all.push_back(*line);
    if (*line == "end") {
      trace.ended = true;
      break;
    }
    if (line->rfind("> ", 0) == 0) {
      current = line->substr(2);
      into = &trace.exports[current].calls;
    } else if (line->rfind("< ", 0) == 0) {
      trace.exports[current].result = line->substr(2);
      into = nullptr;
    } else if (line->rfind("~ ", 0) == 0) {
      trace.ticks.emplace_back();
      into = &trace.ticks.back();
    } else if (line->rfind("  ", 0) == 0 && into) {
      into->push_back(line->substr(2));
    }
  }
  child->Wait();
  return trace;
}

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The resets of a stop: tempo and key modifiers, every channel sounding.
// All 259 track mutes set off.
Lines ClearedMutes() {
  Lines lines;
  for (int track = 0; track < 259; ++track)
    lines.push_back("SetTrackMute(" + std::to_string(track) + ", 0)");
  return lines;
}

Lines Resets() {
  Lines l = {"SetTempoModifier(0)", "SetKeyModifier(0)"};
  for (int ch = 0; ch < 16; ++ch)
    l.push_back("SetChannelMute(" + std::to_string(ch) + ", 0)");
  return l;
}

// The track ports mapped to the current device and that device probed.
Lines MapAndProbe(int device) {
  const std::string d = std::to_string(device);
  return {"moGetCurDev() = " + d, "moGetCurDev() = " + d, "moOpenMIDDev(" + d + ") = 1",
          "moCloseMIDDev(" + d + ") = 1"};
}

// The song of two notes handed over: the preparation, every event of track
// 0 then track 1, each note's note-off at its end.
Lines HandOver(const std::string& devices) {
  return {"GetPreparePlay()",
          "prepare(0, 1, 480, 2, 0, 0, 750, tempo [0 500000 0], counts [1 8], devices [" + devices +
              "]) = 1",
          "transmit(0, 0, 0, 0, 0, 0x07A120, 2)",
          "transmit(1, 0, 0, 0, 0, 0x0005C1, 0)",
          "transmit(1, 1, 1, 0, 0, 0x6407B1, 0)",
          "transmit(1, 2, 2, 0, 0, 0x000AB1, 0)",
          "transmit(1, 3, 3, 0, 0, 0x5A2891, 0)",
          "transmit(1, 4, 3, 240, 250, 0x002891, 0)",
          "transmit(1, 5, 4, 480, 500, 0x010AB1, 0)",
          "transmit(1, 6, 5, 480, 500, 0x5A2991, 0)",
          "transmit(1, 7, 5, 720, 750, 0x002991, 0)",
          "GenerateTrackOrder() = 1"};
}

const Lines kTerminate = {"GetcMidiPlayFlag() = 1", "TerminatePlay()", "AllNoteOff()"};

struct Expected {
  std::string name;
  Lines calls;
  std::string result;
};

TEST(TransportTrace, EveryExportMakesTheEngineCallsOfItsStepsInOrder) {
  Scratch songs;
  ASSERT_TRUE(WriteBytes(songs / "steps.mid", StepsSong(2)));
  const Trace trace = RunTrace(songs / "steps.mid");
  ASSERT_TRUE(trace.ended) << testing::PrintToString(trace.all);

  const std::vector<Expected> expected = {
      {"Tamblo_Attach", {}, "1"},
      {"tamblo_Play before the start", {}, "0"},
      {"tamblo_InitDLL",
       {"moGetNumMIDDevices() = 2", "moGetMIDDevCaps(*, -1)", "moGetMIDDevCaps(*, 0)",
        "moGetMIDDevCaps(*, 1)", "InitMidiPlayer(*, *) = transmit"},
       "1"},
      {"tamblo_GetModuleHandle", {}, "1"},
      {"tamblo_SetImageMode", {}, "4"},
      {"tamblo_GetImageMode", {}, "4"},
      {"tamblo_SetTitleDisplayMode", {}, "done"},
      {"tamblo_GetTitleDisplayMode", {}, "1"},
      {"tamblo_SetTitleDisplayHTM", {}, "10"},
      {"tamblo_SetLyricTextAutoSplit", {}, "1"},
      {"tamblo_Play without a song", {}, "0"},
      {"tamblo_LoadFile",
       Lines{"GetcMidiPlayFlag() = 0"} + MapAndProbe(-1) +
           Lines{"SetTrackMute(0, 0)", "SetTrackMute(1, 0)"},
       "1"},
      {"tamblo_CheckIfLoaded", {}, "1"},
      {"tamblo_Play",
       Lines{"GetcMidiPlayFlag() = 0"} + HandOver("-1 -1") + Lines{"StartPlay() = 1"}, "1"},
      {"tamblo_CheckIfSongPlayed", {}, "1"},
      {"tamblo_Play while playing", {"GetcMidiPlayFlag() = 1"}, "0"},
      {"tamblo_Pause",
       {"GetcMidiPlayFlag() = 1", "GetcPause() = 0", "AllNoteOff()", "BeginPause()",
        "GetcPause() = 1"},
       "1"},
      // 500 per mille of the song's 750 ms.
      {"tamblo_Jump", {"AllNoteOff()", "JumpToPosition(375)"}, "1"},
      {"tamblo_Pause again",
       {"GetcMidiPlayFlag() = 1", "GetcPause() = 1", "EndPause()", "GetcPause() = 0"},
       "0"},
      {"tamblo_Forward",
       {"GetcMidiPlayFlag() = 1", "GetcPause() = 0", "AllNoteOff()", "GetCurTime() = 500",
        "JumpToPosition(5500)"},
       "1"},
      {"tamblo_Rewind",
       {"GetcMidiPlayFlag() = 1", "GetcPause() = 0", "AllNoteOff()", "GetCurTime() = 500",
        "JumpToPosition(0)"},
       "1"},
      {"tamblo_SetMelodyTrackMute", {"TurnOffChannel(0)", "SetTrackMute(0, 1)"}, "1"},
      {"tamblo_GetMelodyTrackMute", {"GetTrackMute(0) = 1"}, "1"},
      {"tamblo_SetMelodyTrackMute off", {"SetTrackMute(0, 0)"}, "1"},
      {"tamblo_SetWatchDog", {"EnableWatchDog(0)"}, "1"},
      {"tamblo_SetMidiPlayerType while playing", {"SetMidiPlayerType(32) = null"}, "done"},
      // Mapped again but not probed: the probe would take the playing
      // song's device away.
      {"tamblo_NotifyMidiOutDevice while playing",
       {"GetcMidiPlayFlag() = 1", "GetcMidiPlayFlag() = 1", "moGetCurDev() = -1"},
       "1"},
      {"tamblo_Stop", Resets() + kTerminate, "1"},
      {"tamblo_SetMidiPlayerType", {"SetMidiPlayerType(32) = transmit"}, "done"},
      // The engine freed its buffers: the song is handed over again, on the
      // devices probed anew.
      {"tamblo_Play after the type change",
       Lines{"GetcMidiPlayFlag() = 0"} + MapAndProbe(-1) + HandOver("-1 -1") +
           Lines{"StartPlay() = 1"},
       "1"},
      // After the song's end: played again without a hand-over.
      {"tamblo_Play again", {"GetcMidiPlayFlag() = 0", "StartPlay() = 1"}, "1"},
      {"tamblo_Stop again", Resets() + kTerminate, "1"},
      {"tamblo_NotifyMidiOutDevice",
       Lines{"GetcMidiPlayFlag() = 0"} + MapAndProbe(-1) + HandOver("-1 -1"), "1"},
      {"tamblo_SetDefaultMidiOutDevice",
       Lines{"moGetCurDev() = -1", "moSetCurDev(1)", "moGetCurDev() = 1",
             "GetcMidiPlayFlag() = 0"} +
           MapAndProbe(1),
       "0"},
      {"tamblo_SetLyricShiftDenominator", {}, "1"},
      {"tamblo_RecordWave", {}, "0"},
      {"tamblo_PlayWave", {}, "0"},
      {"tamblo_StopWave", {}, "0"},
      {"tamblo_SaveWave", {}, "0"},
      {"tamblo_OpenWave", {}, "0"},
      {"tamblo_CloseWave", {}, "0"},
      {"tamblo_GetRecStatus", {}, "0"},
      {"tamblo_GetPlayStatus", {}, "0"},
      {"tamblo_SetRecSetting", {}, "1"},
      {"tamblo_GetRecSetting", {}, "44100162"},
      // The editor's document and its new-document hook clear every mute.
      {"tamblo_OpenEditor", ClearedMutes() + ClearedMutes(), "1"},
      {"tamblo_CloseEditor", {}, "1"},
      {"Tamblo_RepaintEditor", {}, "0"},
      {"tamblo_ProcessMessageFilter", {}, "0"},
      {"Tamblo_PreTranslateMessage", {}, "0"},
      {"tamblo_UpdateAllTempoLED", {}, "done"},
      {"tamblo_UpdateAllKeyLED", {}, "done"},
      // The device change reaches the song at its next play.
      {"tamblo_Play on the new device",
       Lines{"GetcMidiPlayFlag() = 0"} + HandOver("1 1") + Lines{"StartPlay() = 1"}, "1"},
      {"tamblo_CloseFile while playing",
       Lines{"GetcMidiPlayFlag() = 1"} + Resets() + kTerminate + Lines{"moGetCurDev() = 1"}, "1"},
      {"Tamblo_Detach", {"GetcMidiPlayFlag() = 0"}, "1"},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name);
    auto it = trace.exports.find(e.name);
    ASSERT_NE(it, trace.exports.end());
    EXPECT_EQ(it->second.calls, e.calls);
    EXPECT_EQ(it->second.result, e.result);
  }
  EXPECT_EQ(trace.exports.size(), expected.size());

  // The song ran to its end between the two plays: the end's resets came
  // from the engine's notice.
  ASSERT_EQ(trace.ticks.size(), 3u);
  EXPECT_EQ(trace.ticks[1], Resets());
}

} // namespace
