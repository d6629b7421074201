// The transport on the real engine, virtual time and the recording devices:
// play, stop, pause and jumps, what a player-type or device change does to
// the next play, and what a load or close does to the song that plays.
#include "common/transport_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace {

using namespace transporttest;

constexpr uint32_t kPlayStarted = 257, kPlayStopped = 258, kEndNotify = 1283;

std::vector<media::RecordedMidi> ShortMessages(int device) {
  std::vector<media::RecordedMidi> out;
  for (const auto& m : Device(device).Messages())
    if (!m.IsLong())
      out.push_back(m);
  return out;
}

bool IsNoteOn(const media::RecordedMidi& m) {
  return (m.Status() & 0xF0) == 0x90 && m.Data2() > 0;
}

using TransportPlay = TransportTest;

TEST_F(TransportPlay, PauseStopPlayPauseNeverStartsASecondTimer) {
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(20)).c_str(), 2000), 1);
  ASSERT_EQ(X().Play(), 1);
  RunTicks(20);
  EXPECT_EQ(X().Pause(), 1);
  EXPECT_EQ(Clock().LiveEvents(), 0);
  EXPECT_EQ(X().Stop(), 1);
  ASSERT_EQ(X().Play(), 1);
  EXPECT_EQ(Clock().LiveEvents(), 1);
  // The toggle follows the engine: this pauses, it does not "resume".
  EXPECT_EQ(X().Pause(), 1);
  EXPECT_EQ(Clock().LiveEvents(), 0);
  EXPECT_EQ(Pavik32().GetcPause(), 1);

  // A jump while paused stays paused, and the song goes on from there.
  EXPECT_EQ(X().Jump(500), 1);
  EXPECT_EQ(Pavik32().GetcPause(), 1);
  EXPECT_EQ(Clock().LiveEvents(), 0);
  EXPECT_EQ(Pavik32().GetCurTime(), 5000);
  EXPECT_EQ(X().Pause(), 0);
  EXPECT_EQ(Clock().LiveEvents(), 1);
  EXPECT_EQ(Pavik32().GetcPause(), 0);
  EXPECT_LE(Clock().MaxLiveEvents(), 1);
}

TEST_F(TransportPlay, AKaraokeFileOfTheCorpusPlaysToItsEndWithEveryNoteEnded) {
  const std::string file = VEXO_CORPUS_DIR "/midi/happy-birthday.kar";
  if (!std::ifstream(file).good())
    GTEST_SKIP() << file << " is not there";
  ASSERT_EQ(X().LoadFile(file.c_str(), 1006), 1);
  ASSERT_EQ(X().Play(), 1);
  ASSERT_TRUE(RunUntil([&] { return HostGot(kEndNotify) > 0; }, 60000));
  EXPECT_EQ(HostGot(kPlayStopped), 1);
  EXPECT_EQ(Pavik32().GetcMidiPlayFlag(), 0);
  EXPECT_EQ(Clock().LiveEvents(), 0);

  // Every note-on is matched by a note-off of the song itself (the engine's
  // reset at the end switches controllers, it ends no note).
  std::map<std::pair<int, int>, int> sounding;
  int notes = 0;
  for (const auto& m : ShortMessages(0)) {
    const int type = m.Status() & 0xF0, channel = m.Status() & 0x0F;
    int& count = sounding[std::make_pair(channel, int(m.Data1()))];
    if (IsNoteOn(m)) {
      ++count;
      ++notes;
    } else if (type == 0x80 || type == 0x90) {
      EXPECT_GT(count--, 0) << "a note-off without its note";
    }
  }
  EXPECT_GT(notes, 400);
  for (const auto& [key, count] : sounding)
    EXPECT_EQ(count, 0) << "channel " << key.first << " key " << key.second;
  EXPECT_EQ(Device(0).OpenPorts(), 0);
}

TEST_F(TransportPlay, AJumpToTheMiddleReplaysTheControllersAndGoesOnFromThere) {
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(40)).c_str(), 2000), 1);
  ASSERT_EQ(X().Play(), 1);
  Device(0).Clear();
  ASSERT_EQ(X().Jump(500), 1); // 40 notes of 500 ms: 10000 ms
  std::vector<uint32_t> replayed;
  for (const auto& m : ShortMessages(0))
    if ((m.Status() & 0xF0) != 0xB0 || (m.Data1() != 64 && m.Data1() != 66 && m.Data1() != 123))
      replayed.push_back(m.shortMessage);
  std::vector<uint32_t> expected = {0x05C1, 0x6407B1};
  for (uint32_t pan = 0; pan < 20; ++pan)
    expected.push_back(0xB1 | 10 << 8 | pan << 16);
  EXPECT_EQ(replayed, expected);
  EXPECT_EQ(Pavik32().GetCurTime(), 10000);

  Device(0).Clear();
  RunTicks(2);
  std::vector<uint8_t> played;
  for (const auto& m : ShortMessages(0))
    if (IsNoteOn(m))
      played.push_back(m.Data1());
  EXPECT_EQ(played, std::vector<uint8_t>{60}); // note 20 of 40
}

TEST_F(TransportPlay, JumpsRewindAndForwardLandWhereTheyShould) {
  // A note a second for 200 s.
  ASSERT_EQ(X().LoadFile(Song("long.mid", StepsSong(200, 1000000)).c_str(), 2000), 1);
  ASSERT_EQ(X().Play(), 1);
  EXPECT_EQ(X().Jump(500), 1);
  EXPECT_EQ(Pavik32().GetCurTime(), 100000);

  EXPECT_EQ(X().Jump(0), 1);
  RunTicks(300);
  EXPECT_EQ(Pavik32().GetCurTime(), 3000);
  EXPECT_EQ(X().Rewind(), 1);
  EXPECT_EQ(Pavik32().GetCurTime(), 0);
  EXPECT_EQ(X().Forward(), 1);
  EXPECT_EQ(Pavik32().GetCurTime(), 5000);

  // Not while paused, nor without a song that plays.
  ASSERT_EQ(X().Pause(), 1);
  EXPECT_EQ(X().Rewind(), 0);
  EXPECT_EQ(X().Forward(), 0);
  EXPECT_EQ(X().Pause(), 0);
  EXPECT_EQ(X().Stop(), 1);
  EXPECT_EQ(X().Rewind(), 0);
  EXPECT_EQ(X().Pause(), 0);
}

TEST_F(TransportPlay, PlayWhilePlayingIsRefusedAndSendsNothing) {
  notifytest::Recorder display;
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(20)).c_str(), 2000), 1);
  ASSERT_EQ(X().Play(), 1);
  RunTicks(5);
  LinkDisplay(display.Hwnd());
  const size_t sent = Device(0).MessageCount();
  EXPECT_EQ(X().Play(), 0);
  notifytest::Pump();
  EXPECT_EQ(Device(0).MessageCount(), sent);
  EXPECT_TRUE(display.got.empty());
  EXPECT_EQ(Clock().LiveEvents(), 1);
}

TEST_F(TransportPlay, TheDisplayHearsOfThePlayOnlyOnceTheEngineStarted) {
  notifytest::Recorder display;
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(20)).c_str(), 2000), 1);
  LinkDisplay(display.Hwnd());
  Device(0).SetOpenFails(true);
  EXPECT_EQ(X().Play(), 0);
  notifytest::Pump();
  for (const auto& r : display.got)
    EXPECT_FALSE(r.IsUser(kPlayStarted) || r.IsCopy(core::kTitleCopy));

  Device(0).SetOpenFails(false);
  ASSERT_EQ(X().Play(), 1);
  notifytest::Pump();
  int started = 0, titles = 0;
  for (const auto& r : display.got) {
    started += r.IsUser(kPlayStarted) ? 1 : 0;
    titles += r.IsCopy(core::kTitleCopy) ? 1 : 0;
  }
  EXPECT_EQ(started, 1);
  EXPECT_EQ(titles, 1);
}

TEST_F(TransportPlay, APlayerTypeChangeHandsTheSongOverAgain) {
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(4)).c_str(), 2000), 1);
  ASSERT_EQ(X().Play(), 1);
  ASSERT_TRUE(RunUntil([&] { return HostGot(kEndNotify) > 0; }, 1000));
  // The engine left behind frees its buffers; the next play must bring the
  // song again.
  X().SetMidiPlayerType(32);
  Device(0).Clear();
  ASSERT_EQ(X().Play(), 1);
  RunTicks(250);
  std::vector<uint8_t> played;
  for (const auto& m : ShortMessages(0))
    if (IsNoteOn(m))
      played.push_back(m.Data1());
  EXPECT_EQ(played, (std::vector<uint8_t>{40, 41, 42, 43}));
}

TEST_F(TransportPlay, ADeviceChangeReachesTheNextPlay) {
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(4)).c_str(), 2000), 1);
  ASSERT_EQ(X().Play(), 1);
  RunTicks(20);
  // Chosen while the song plays: the playing song keeps its device...
  EXPECT_EQ(X().SetDefaultMidiOutDevice("Recorder One", 0), 0);
  EXPECT_EQ(Device(0).OpenPorts(), 1);
  Device(1).Clear();
  ASSERT_TRUE(RunUntil([&] { return HostGot(kEndNotify) > 0; }, 1000));
  EXPECT_TRUE(NotesPlayed(1).empty());
  // ...and the next play is on the new one.
  Device(0).Clear();
  ASSERT_EQ(X().Play(), 1);
  RunTicks(250);
  EXPECT_EQ(NotesPlayed(1), (std::vector<uint8_t>{40, 41, 42, 43}));
  EXPECT_TRUE(NotesPlayed(0).empty());
}

TEST_F(TransportPlay, LoadingOrClosingWhilePlayingStopsThePlayFirst) {
  const std::string steps = Song("steps.mid", StepsSong(20));
  for (bool close : {false, true}) {
    SCOPED_TRACE(close ? "close" : "load");
    ASSERT_EQ(X().LoadFile(steps.c_str(), 2000), 1);
    ASSERT_EQ(X().Play(), 1);
    RunTicks(60); // the second note sounds
    host.got.clear();
    Device(0).Clear();
    EXPECT_EQ(close ? X().CloseFile() : X().LoadFile(steps.c_str(), 2000), 1);
    EXPECT_EQ(Pavik32().GetcMidiPlayFlag(), 0);
    EXPECT_EQ(Clock().LiveEvents(), 0);
    EXPECT_EQ(Device(0).OpenPorts(), 0);
    // The sounding note was ended before the song went.
    bool allNotesOff = false;
    for (const auto& m : ShortMessages(0))
      allNotesOff |= m.Status() == 0xB1 && m.Data1() == 123;
    EXPECT_TRUE(allNotesOff);
    notifytest::Pump();
    EXPECT_EQ(HostGot(kPlayStopped), 1);
    EXPECT_EQ(X().CheckIfLoaded(), close ? 0 : 1);
  }
}

TEST_F(TransportPlay, WithoutASongTheTransportRefuses) {
  struct Row {
    const char* name;
    int32_t (*call)();
    int32_t result;
  };
  const Row rows[] = {
      {"play", [] { return X().Play(); }, 0},
      {"stop", [] { return X().Stop(); }, 0},
      {"pause", [] { return X().Pause(); }, 0},
      {"rewind", [] { return X().Rewind(); }, 0},
      {"forward", [] { return X().Forward(); }, 0},
      {"jump", [] { return X().Jump(500); }, 1},
      {"loaded", [] { return X().CheckIfLoaded(); }, 0},
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.call(), r.result) << r.name;
  EXPECT_EQ(X().LoadFile(nullptr, 2000), 0);
  EXPECT_EQ(X().LoadFile((scratch / "missing.mid").c_str(), 2000), 0);
  EXPECT_EQ(Clock().LiveEvents(), 0);
}

TEST_F(TransportPlay, SongPlayedFollowsLoadPlayAndClose) {
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(4)).c_str(), 2000), 1);
  EXPECT_EQ(X().CheckIfSongPlayed(), 0);
  ASSERT_EQ(X().Play(), 1);
  EXPECT_EQ(X().CheckIfSongPlayed(), 1);
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(4)).c_str(), 2000), 1);
  EXPECT_EQ(X().CheckIfSongPlayed(), 0);
  EXPECT_EQ(X().CloseFile(), 1);
  EXPECT_EQ(X().CheckIfSongPlayed(), 1);
}

TEST_F(TransportPlay, TheMelodyTrackIsMutedAndItsChannelSilenced) {
  // After a read the melody track is track 0, here without notes: its
  // channel counts as channel 1, whose notes are switched off first.
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(4)).c_str(), 2000), 1);
  ASSERT_EQ(X().Play(), 1);
  Device(0).Clear();
  EXPECT_EQ(X().SetMelodyTrackMute(1), 1);
  EXPECT_EQ(X().GetMelodyTrackMute(), 1);
  EXPECT_EQ(Pavik32().GetTrackMute(0), 1);
  const auto sent = ShortMessages(0);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].shortMessage, 0x7BB0u); // all notes off on channel 1
  EXPECT_EQ(X().SetMelodyTrackMute(0), 1);
  EXPECT_EQ(X().GetMelodyTrackMute(), 0);
}

TEST_F(TransportPlay, SettingsAreKeptAsGiven) {
  EXPECT_EQ(X().SetImageMode(5), 5);
  EXPECT_EQ(X().GetImageMode(), 5);
  X().SetImageMode(0);
  X().SetTitleDisplayMode(3);
  EXPECT_EQ(X().GetTitleDisplayMode(), 3);
  X().SetTitleDisplayMode(0);
  EXPECT_EQ(X().SetTitleDisplayHTM("title.htm"), 10);
  const std::string longName(400, 'a');
  EXPECT_EQ(X().SetTitleDisplayHTM(longName.c_str()), 260);
  EXPECT_EQ(X().SetTitleDisplayHTM(""), 1);
  EXPECT_EQ(X().GetModuleHandle(), static_cast<void*>(InProcess().module));

  EXPECT_EQ(X().SetWatchDog(1, 3000), 1);
  EXPECT_EQ(Pavik32().CheckIfWatchDogEnabled(), 1);
  EXPECT_EQ(X().SetWatchDog(0, 3000), 1);
  EXPECT_EQ(Pavik32().CheckIfWatchDogEnabled(), 0);
}

TEST_F(TransportPlay, StopPutsTheModifiersAndChannelsBack) {
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(20)).c_str(), 2000), 1);
  ASSERT_EQ(X().Play(), 1);
  InProcess().mplay.SetTempoModifier(20);
  InProcess().mplay.SetKeyModifier(-3);
  InProcess().mplay.SetChannelMute(4, 1);
  ASSERT_EQ(Pavik32().GetChannelMute(4), 1);
  RunTicks(5);
  ASSERT_EQ(X().Stop(), 1);
  EXPECT_EQ(Pavik32().GetTempoModifier(), 0);
  EXPECT_EQ(Pavik32().GetKeyModifier(), 0);
  EXPECT_EQ(Pavik32().GetChannelMute(4), 0);
  EXPECT_EQ(Pavik32().GetcMidiPlayFlag(), 0);
  notifytest::Pump();
  EXPECT_EQ(HostGot(kPlayStopped), 1);
}

} // namespace
