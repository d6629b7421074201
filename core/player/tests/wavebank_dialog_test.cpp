// The wave bank dialog, scripted: slots loaded from WAV files by the button
// and by a double click, played, stopped, renamed and emptied, with the rows
// and texts after each step; and the dialog drawn offscreen.
#include "common/dialog_picture.h"
#include "common/notify_fixture.h"
#include "common/player_fixture.h"

#include "core/player/wavebankdlg.h"
#include "core/player/waveplayer.h"
#include "core/wavebank.h"
#include "platform/media/virtual_time.h"
#include "platform/media/wave_sinks.h"
#include "platform/ui/modal/filedialog.h"


#include <gtest/gtest.h>

namespace {

using playertest::Scratch;
using ui::DialogStep;

class WaveBankDialog : public testing::Test {
protected:
  void SetUp() override {
    std::string error;
    bundle = res::Bundle::Load("rTamblo", playertest::kBin, &error);
    ASSERT_TRUE(bundle) << error;
    auto t = core::CWaveBankDlg::LoadTemplate(*bundle, &error);
    ASSERT_TRUE(t) << error;
    dialogTemplate = *t;
    song.Reset();
    song.loaded = 1;
    media::InstallTimeSource(&time);
    media::WaveOut().UseDevices({sink});
  }
  void TearDown() override {
    core::TheWavePlayer().Stop();
    media::WaveOut().UseDevices({});
    media::InstallTimeSource(&playertest::Clock());
  }

  std::string Wav(const std::string& name, uint32_t rate, uint16_t bits, uint16_t channels,
                  size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (size_t i = 0; i < bytes; ++i)
      data[i] = static_cast<uint8_t>(i * 3 + 1);
    const std::string path = dir / name;
    EXPECT_TRUE(media::WriteWaveFile(path, media::WaveFormat::Pcm(rate, bits, channels), data,
                                     nullptr));
    return path;
  }

  std::optional<res::Bundle> bundle;
  ui::DialogTemplate dialogTemplate;
  core::CSongData song;
  Scratch dir;
  media::VirtualTime time{0};
  std::shared_ptr<media::RecordingWaveOut> sink = std::make_shared<media::RecordingWaveOut>();
};

TEST_F(WaveBankDialog, LoadsPlaysRenamesAndDeletesSlots) {
  const std::string stereo = Wav("stereo.wav", 22050, 16, 2, 4 * 2205); // 100 ms
  const std::string mono = Wav("mono.wav", 8000, 8, 1, 400);            // 50 ms
  auto files = std::make_shared<ui::ScriptedFileDialog>();
  ui::ScopedFileDialogBackend scopedFiles(files);
  files->Answer(stereo);
  files->Answer(mono);
  files->Answer(""); // cancelled: nothing changes
  auto script = std::make_shared<ui::ScriptedDialogs>();
  ui::ScopedDialogBackend scoped(script);
  script->Expect({
      DialogStep::ClickOn(core::kWaveLoadButton),          // 0: no row chosen: nothing
      DialogStep::ChooseIn(core::kWaveSlotList, 3),        // 1
      DialogStep::ClickOn(core::kWaveLoadButton),          // 2: stereo.wav into 3
      DialogStep::DoubleClickIn(core::kWaveSlotList, 5),   // 3: mono.wav into 5
      DialogStep::ClickOn(core::kWavePlayButton),          // 4: 5 sounds
      DialogStep::TypeInto(core::kWaveNameEdit, std::string(40, 'b')), // 5: cut to 32
      DialogStep::TypeInto(core::kWaveNameEdit, "Bell"),   // 6
      DialogStep::DoubleClickIn(core::kWaveSlotList, 5),   // 7: cancelled
      DialogStep::ClickOn(core::kWaveDeleteButton),        // 8: stops it first
      DialogStep::ChooseIn(core::kWaveSlotList, 3),        // 9
      DialogStep::ClickOn(core::kWavePlayButton),          // 10
      DialogStep::ClickOn(core::kWaveStopButton),          // 11
      DialogStep::ChooseIn(core::kWaveSlotList, 9),        // 12: an empty slot
      DialogStep::ClickOn(core::kWaveDeleteButton),        // 13: only its row
      DialogStep::ClickOn(ui::IDOK),
  });
  core::WaveBankFolder().clear();
  core::CWaveBankDlg dialog(dialogTemplate, song, bundle->StringBytes(core::kWaveFileFilterString));
  EXPECT_EQ(dialog.DoModal(), ui::IDOK);

  const auto runs = script->Runs();
  ASSERT_EQ(runs.size(), 1u);
  const auto& states = runs[0].states;
  ASSERT_EQ(states.size(), 16u);
  auto row = [&](size_t step, int slot) {
    return states[step + 1].Find(core::kWaveSlotList)->items.at(static_cast<size_t>(slot));
  };
  auto text = [&](size_t step, int32_t id) { return states[step + 1].Text(id); };
  ASSERT_EQ(states[0].Find(core::kWaveSlotList)->items.size(), 256u);
  EXPECT_EQ(states[0].Find(core::kWaveSlotList)->items[255], "[ ] 255 : ");
  EXPECT_EQ(row(2, 3), "[X] 003 : ");
  EXPECT_EQ(text(2, core::kWaveFormatText), "22050Hz, 16bit, Stereo");
  EXPECT_EQ(row(3, 5), "[X] 005 : ");
  EXPECT_EQ(states[4].Find(core::kWaveSlotList)->selection, 5);
  EXPECT_EQ(text(3, core::kWaveFormatText), "8000Hz, 8bit, Mono");
  EXPECT_EQ(row(5, 5), "[X] 005 : " + std::string(32, 'b'));
  EXPECT_EQ(row(6, 5), "[X] 005 : Bell");
  EXPECT_EQ(row(7, 5), "[X] 005 : Bell");
  EXPECT_EQ(row(8, 5), "[ ] 005 : ");
  EXPECT_EQ(text(8, core::kWaveFormatText), "");
  EXPECT_EQ(text(8, core::kWaveNameEdit), "");
  EXPECT_EQ(text(9, core::kWaveFormatText), "22050Hz, 16bit, Stereo");
  EXPECT_EQ(row(13, 9), "[ ] 009 : ");
  EXPECT_EQ(text(13, core::kWaveFormatText), "");

  EXPECT_EQ(song.waves[3].format, 0x22005622u);
  EXPECT_EQ(song.waves[3].pcm.size(), 4u * 2205);
  EXPECT_TRUE(song.waves[5].pcm.empty());
  EXPECT_EQ(song.waves[5].format, core::kDefaultWaveFormat);
  // Slot 5 sounded until its deletion stopped it, then slot 3 until stop.
  const auto streams = sink->Streams();
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].format.rate, 8000u);
  EXPECT_EQ(streams[1].format.rate, 22050u);
  EXPECT_EQ(sink->OpenStreams(), 0);
  EXPECT_EQ(core::TheWavePlayer().isOpen, 0);
  // The open dialog had the filter of string 4 and started in the last folder.
  const auto shown = files->Shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].filter, "Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||");
  EXPECT_EQ(shown[1].fileName, dir.Path() + "/");
  EXPECT_EQ(core::WaveBankFolder(), dir.Path());
}

TEST_F(WaveBankDialog, IsDrawnOffscreen) {
  auto app = playertest::OffscreenApplication();
  song.waves[1].pcm = {1, 2, 3, 4};
  song.waves[1].name = "Applause";
  auto script = std::make_shared<ui::ScriptedDialogs>(true);
  ui::ScopedDialogBackend scoped(script);
  script->Expect({DialogStep::ChooseIn(core::kWaveSlotList, 1)});
  core::CWaveBankDlg dialog(dialogTemplate, song, "");
  playertest::SaveDialogPicture(dialog, "wavebank-dialog.png", 301, 201);
}

} // namespace
