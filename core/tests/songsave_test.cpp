// Saving by save kind: the questions and refusals of each kind answered
// through the scripted message box, what a refused or failed save leaves,
// and the command line's convert.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "core/messages.h"
#include "core/songdata.h"
#include "core/songprompts.h"
#include "core/tests/support/midi_bytes.h"
#include "core/tests/support/songfile_bytes.h"
#include "platform/sys/tempdir.h"
#include "platform/sys/tests/support/command_run.h"
#include "platform/ui/modal/messagebox.h"

namespace core {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

std::string Extension(int kind) {
  if (kind == kSaveMidi)
    return ".mid";
  if (kind == kSaveKaraoke)
    return ".kar";
  return kind == kSaveV300First || kind == kSaveV300Last ? ".sb3" : ".vx3";
}

class SongSaveKinds : public ::testing::Test {
protected:
  void SetUp() override {
    ShowSongMessagesInBoxes();
    script_ = std::make_shared<ui::ScriptedMessageBox>();
    guard_ = std::make_unique<ui::ScopedMessageBoxBackend>(script_);
    ASSERT_TRUE(testing::WriteFileBytes(dir_.Path("song.vx3"), testing::V350File()));
  }
  void TearDown() override {
    guard_.reset();
    SetMessageHandlers(nullptr, nullptr);
  }
  // The fixture song, loaded from its file and then edited.
  void Load(CSongData& song) {
    ASSERT_EQ(song.LoadByKind(dir_.Path("song.vx3"), kFileVx3), 1);
    song.unchanged = 0;
  }

  testing::TempFolder dir_;
  std::shared_ptr<ui::ScriptedMessageBox> script_;
  std::unique_ptr<ui::ScopedMessageBoxBackend> guard_;
};

TEST_F(SongSaveKinds, EachKindAsksAndRefusesAsItShould) {
  using ui::IDNO;
  using ui::IDYES;
  struct Row {
    const char* name;
    int kind;
    bool packed, lyrics, exists;
    std::vector<int> answers;
    std::vector<int> asked; // message numbers of the boxes, in order
    bool written;
  };
  const Row rows[] = {
      {"MIDI with lyrics, yes", 1005, false, true, false, {IDYES}, {11936}, true},
      {"MIDI with lyrics, no", 1005, false, true, false, {IDNO}, {11936}, false},
      {"MIDI without lyrics", 1005, false, false, false, {}, {}, true},
      {"karaoke with lyrics, yes", 1006, false, true, false, {IDYES}, {11937}, true},
      {"karaoke with lyrics, no", 1006, false, true, false, {IDNO}, {11937}, false},
      {"older version 1010 always asks, yes", 1010, false, false, false, {IDYES}, {11938}, true},
      {"older version 1010, no", 1010, false, false, false, {IDNO}, {11938}, false},
      {"older version 1011 asks nothing", 1011, false, true, false, {}, {}, true},
      {"older version of a packed song", 1011, true, true, false, {}, {}, true},
      {"plain 3.50", 1021, false, true, false, {}, {}, true},
      {"plain 3.50 of a packed song: 17", 1020, true, true, false, {}, {17}, false},
      {"packed 3.50", 1032, false, true, false, {}, {}, true},
      {"replace, yes", 1020, false, true, true, {IDYES}, {11923}, true},
      {"replace, no", 1022, false, true, true, {IDNO}, {11923}, false},
      {"replace yes, then lyrics no",
       1005,
       false,
       true,
       true,
       {IDYES, IDNO},
       {11923, 11936},
       false},
      {"packed song as MIDI: 17", 1005, true, false, false, {}, {17}, false},
      {"replace yes, then 17", 1020, true, true, true, {IDYES}, {11923, 17}, false},
      {"not a save kind", 1040, false, true, false, {}, {}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CSongData song;
    Load(song);
    song.lyricsPresent = row.lyrics;
    song.packed = row.packed;
    const std::string before = song.path;
    const int16_t kindBefore = song.saveKind;
    const std::string target =
        dir_.Path(std::string("out-") + std::to_string(&row - rows) + Extension(row.kind));
    if (row.exists) {
      ASSERT_TRUE(testing::WriteFileBytes(target, {'o', 'l', 'd'}));
    }
    script_ = std::make_shared<ui::ScriptedMessageBox>();
    ui::ScopedMessageBoxBackend scripted(script_);
    for (int a : row.answers)
      script_->Answer(a);

    int result = song.SaveByKind(target, row.kind);

    auto shown = script_->Shown();
    ASSERT_EQ(shown.size(), row.asked.size());
    for (size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(shown[i].text, MessageText(row.asked[i]));
      uint32_t buttons = row.asked[i] == kMsgPackedSong ? ui::MB_OK : ui::MB_YESNO;
      EXPECT_EQ(shown[i].flags & ui::MB_TYPEMASK, buttons);
    }
    EXPECT_EQ(script_->Pending(), 0u);
    EXPECT_EQ(result > 0, row.written);
    if (row.written) {
      EXPECT_EQ(static_cast<uintmax_t>(result), fs::file_size(target));
      EXPECT_EQ(song.path, target);
      EXPECT_EQ(song.saveKind, row.kind);
      EXPECT_EQ(song.unchanged, 1);
      CSongData reread;
      EXPECT_EQ(reread.LoadByExtension(target), 1);
    } else {
      EXPECT_EQ(result, 0);
      // The song stays as it was: the editor still asks to save it.
      EXPECT_EQ(song.path, before);
      EXPECT_EQ(song.saveKind, kindBefore);
      EXPECT_EQ(song.unchanged, 0);
      EXPECT_EQ(song.packed, row.packed);
      if (row.exists) {
        EXPECT_EQ(testing::ReadFileBytes(target), (Bytes{'o', 'l', 'd'}));
      } else {
        EXPECT_FALSE(fs::exists(target));
      }
    }
    if (row.kind >= kSaveV350PackedFirst && row.kind <= kSaveV350PackedLast) {
      EXPECT_EQ(song.packed, 1);
    }
  }
}

TEST_F(SongSaveKinds, OwnFileIsReplacedWithoutAsking) {
  CSongData song;
  Load(song);
  script_->Answer(ui::IDNO); // would refuse, if it were asked
  EXPECT_GT(song.SaveByKind(song.path, 1020), 0);
  EXPECT_TRUE(script_->Shown().empty());
  EXPECT_EQ(song.unchanged, 1);
}

TEST_F(SongSaveKinds, FailedWriteLeavesTheSongAsItWas) {
  CSongData song;
  Load(song);
  const int16_t kindBefore = song.saveKind;
  for (int kind : {1005, 1006, 1011, 1020, 1030}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(song.SaveByKind(dir_.Path("missing-folder/out.vx3"), kind), 0);
    EXPECT_EQ(song.unchanged, 0);
    EXPECT_EQ(song.saveKind, kindBefore);
    EXPECT_EQ(song.packed, 0);
    EXPECT_EQ(song.path, dir_.Path("song.vx3"));
  }
}

TEST_F(SongSaveKinds, NoTemporaryFileIsLeft) {
  CSongData song;
  Load(song);
  song.bankSlots[6].flags = kBankSlotUsed;
  song.bankSlots[6].data = {'B'};
  for (int kind : {1011, 1020, 1030})
    ASSERT_GT(song.SaveByKind(dir_.Path("t" + std::to_string(kind) + ".vx3"), kind), 0);
  std::error_code ec;
  size_t left = 0;
  for (const auto& e : fs::directory_iterator(sys::TempDir(), ec)) {
    ADD_FAILURE() << "left behind: " << e.path();
    ++left;
  }
  EXPECT_EQ(left, 0u);
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(dir_.path()))
    files += e.is_regular_file();
  EXPECT_EQ(files, 4u); // the song and the three saves
}

using HostRun = systest::CommandRun;

HostRun Host(const std::string& args) {
  return systest::RunCommand(std::string(VEXO_BIN_DIR) + "/vexo3 " + args, systest::Stderr::Apart);
}

TEST(SongConvert, CommandLine) {
  using testing::Cat;
  using testing::TextEvent;
  testing::TempFolder dir;
  ASSERT_TRUE(testing::WriteFileBytes(
      dir.Path("a.kar"),
      testing::Smf(1, 96,
                   {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00},
                    {0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00},
                    Cat({TextEvent(1, "@TSong"), TextEvent(1, "\\Hel"), TextEvent(1, "lo", 96),
                         TextEvent(1, "/you", 96), Bytes{0x00, 0xFF, 0x2F, 0x00}})})));
  const std::string a = dir.Path("a.kar"), packed = dir.Path("p.vx3"), plain = dir.Path("q.sw3"),
                    back = dir.Path("b.kar"), old = dir.Path("o.sb3");
  ASSERT_TRUE(testing::WriteFileBytes(dir.Path("empty.txt"), {}));
  HostRun info = Host("info " + a);
  ASSERT_EQ(info.status, 0) << info.err;

  struct Step {
    std::string args;
    int status;
    std::string infoOf; // a file whose info must equal the karaoke file's
    const char* says;
  };
  const Step steps[] = {
      {"convert " + a + " " + packed + " --kind 1030", 0, packed, nullptr},
      {"convert " + packed + " " + back + " --kind 1006", 1, "", "protected"},
      {"convert " + a + " " + plain + " --kind 1020", 0, plain, nullptr},
      {"convert " + plain + " " + back + " --kind 1006", 0, back, "karaoke text events"},
      {"convert " + plain + " " + old + " --kind 1010", 0, old, "older song file version"},
      {"convert --kind 1011 " + old + " " + old, 0, old, nullptr},
      {"convert " + a + " " + plain + " --kind 1040", 2, "", "usage"},
      {"convert " + a + " " + plain, 2, "", "usage"},
      {"convert " + dir.Path("none.kar") + " " + plain + " --kind 1020", 1, "", "No such file"},
      {"convert " + dir.Path("empty.txt") + " " + plain + " --kind 1020", 1, "", "not a song file"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.args);
    const bool refusal = step.args.find(back) != std::string::npos && step.status != 0;
    if (refusal)
      fs::remove(back);
    HostRun r = Host(step.args);
    if (refusal) {
      EXPECT_FALSE(fs::exists(back));
    }
    EXPECT_EQ(r.status, step.status) << r.err;
    EXPECT_TRUE(r.out.empty());
    if (step.says) {
      EXPECT_NE(r.err.find(step.says), std::string::npos) << r.err;
    }
    if (!step.infoOf.empty()) {
      HostRun i = Host("info " + step.infoOf);
      EXPECT_EQ(i.status, 0) << i.err;
      EXPECT_EQ(i.out, info.out);
    }
  }
}

} // namespace
} // namespace core
