// Every file of the MIDI corpus through the exports, on virtual time: loaded
// and played to its end (ten times as fast, so that the whole corpus takes
// seconds), or refused with the reader's message.
#include "common/transport_fixture.h"

#include "core/messages.h"
#include "core/songdata.h"
#include "platform/ui/modal/messagebox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

using namespace transporttest;

constexpr uint32_t kPlayStopped = 258, kEndNotify = 1283;
constexpr int kTenTimesAsFast = 900; // tempo modifier, percent

struct CorpusFile {
  const char* name;
  int refusedWith; // the message of a refused load, 0 for a file that plays
};

const CorpusFile kFiles[] = {
    {"bach-846-pianomidi.mid", 0},
    {"beatles-for-sale-album.mid", 0},
    {"clementi-sonatina.mid", 0},
    {"crawling-garbage-text.mid", 0},
    {"debussy-clair-de-lune.mid", 0},
    {"happy-birthday.kar", 0},
    {"hark-herald-angels-karaoke.mid", 0},
    {"hey-jude.kar", 0},
    {"jazz-2-tracks-type-0.mid", 0},
    {"jazz-2-tracks-type-2.mid", 0},
    {"jazz-corrupt-extra-byte.mid", 0},
    {"jazz-corrupt-missing-byte.mid", 0},
    {"jazz-empty-file.mid", 11914},
    {"jazz-illegal-message-all.mid", 0},
    {"jazz-karaoke-kar.mid", 0},
    {"jazz-non-midi-track.mid", 0},
    {"jazz-note-on-velocity.mid", 0},
    {"jazz-running-status-metaevent.mid", 0},
    {"jazz-running-status-sysex.mid", 0},
    {"jazz-smpte-offset.mid", 0},
    {"jazz-vlq-4-byte.mid", 0},
    {"joplin-entertainer.mid", 0},
    {"keysig-invalid-amazing-grace.mid", 0},
    {"kimbra-format0-tempos.mid", 0},
    {"last-christmas.kar", 0},
    {"levels-short-timesig.mid", 0},
    {"midly-sysex-empty-track.mid", 0},
    {"negra-sombra.kar", 0},
    {"no-eot-satsara.mid", 0},
    {"o-come-all-ye-faithful-trunc.kar", 0},
    {"pi-damaged-truncated.mid", 0},
    {"por-amar-te-karaoke.mid", 0},
    {"schubert-standchen-lyrics.mid", 0},
    {"smpte-30fps-openjdk.mid", 0},
    {"sorakara-sjis.mid", 0},
    {"twinkle.kar", 0},
    {"vn-yeu-em-ha-noi.mid", 0},
};

class CorpusPlay : public TransportTest, public testing::WithParamInterface<CorpusFile> {};

TEST_P(CorpusPlay, PlaysToItsEndOrIsRefused) {
  const std::string path = std::string(VEXO_CORPUS_DIR "/midi/") + GetParam().name;
  if (!std::filesystem::exists(path))
    GTEST_SKIP() << path << " is not there";
  auto boxes = std::make_shared<ui::ScriptedMessageBox>();
  ui::ScopedMessageBoxBackend scoped(boxes);

  const int32_t loaded = X().LoadFile(path.c_str(), 2000);
  if (GetParam().refusedWith) {
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(X().CheckIfLoaded(), 0);
    EXPECT_EQ(X().Play(), 0);
    ASSERT_EQ(boxes->Shown().size(), 1u);
    EXPECT_EQ(boxes->Shown()[0].text, core::MessageText(GetParam().refusedWith));
    return;
  }
  ASSERT_EQ(loaded, 1);
  EXPECT_TRUE(boxes->Shown().empty());
  InProcess().mplay.SetTempoModifier(kTenTimesAsFast);
  ASSERT_EQ(X().Play(), 1);
  core::CSongData song; // read here too, for the song's length
  ASSERT_EQ(song.LoadByExtension(path), 1);
  const int32_t songMs = song.endMs;
  const int bound = songMs / 100 + 1000;
  ASSERT_TRUE(RunUntil([&] { return HostGot(kEndNotify) > 0; }, bound))
      << "at " << Pavik32().GetCurTime() << " of " << songMs << " ms";
  EXPECT_EQ(HostGot(kPlayStopped), 1);
  EXPECT_EQ(Pavik32().GetcMidiPlayFlag(), 0);
  EXPECT_EQ(Clock().LiveEvents(), 0);
  EXPECT_EQ(Device(0).OpenPorts(), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusPlay, testing::ValuesIn(kFiles),
                         [](const testing::TestParamInfo<CorpusFile>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (!isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           return name;
                         });

} // namespace
