// The wave recorder's exports on the in-process player core: recordings
// from a WAV microphone on virtual time, played back into the recording
// sink, saved through a scripted save dialog and opened again.
#include "common/transport_fixture.h"

#include "platform/media/riff.h"
#include "platform/media/wave_sinks.h"
#include "platform/media/wavein.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/messagebox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace transporttest;

#define VEXO_BIND(name)                                                                            \
  decltype(&tamblo_##name) name = Export<decltype(&tamblo_##name)>("tamblo_" #name)
struct RecorderApi {
  VEXO_BIND(RecordWave);
  VEXO_BIND(PlayWave);
  VEXO_BIND(StopWave);
  VEXO_BIND(SaveWave);
  VEXO_BIND(OpenWave);
  VEXO_BIND(CloseWave);
  VEXO_BIND(GetRecStatus);
  VEXO_BIND(GetPlayStatus);
  VEXO_BIND(SetRecSetting);
  VEXO_BIND(GetRecSetting);
};
#undef VEXO_BIND

const RecorderApi& R() {
  static const RecorderApi api;
  return api;
}

constexpr uint32_t kWaveDoneNotify = 4097;

std::vector<uint8_t> Voice(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<uint8_t>(seed + i * 13 + (i >> 9));
  return v;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class WaveRecorderTest : public TransportTest {
protected:
  void SetUp() override {
    TransportTest::SetUp();
    sink = std::make_shared<media::RecordingWaveOut>();
    media::WaveOut().UseDevices({sink});
    files = std::make_shared<ui::ScriptedFileDialog>();
    boxes = std::make_shared<ui::ScriptedMessageBox>();
    scopedFiles = std::make_unique<ui::ScopedFileDialogBackend>(files);
    scopedBoxes = std::make_unique<ui::ScopedMessageBoxBackend>(boxes);
  }
  void TearDown() override {
    R().CloseWave();
    notifytest::Pump();
    scopedBoxes.reset();
    scopedFiles.reset();
    TransportTest::TearDown();
    media::WaveOut().UseDevices({});
    media::WaveIn().UseDevices({});
  }

  // A microphone singing `seconds` of a voice in format, from now on.
  std::vector<uint8_t> UseMicrophone(const media::WaveFormat& format, uint32_t seconds,
                                     uint8_t seed) {
    media::Wave wave;
    wave.format = format;
    wave.data = Voice(size_t(format.byteRate) * seconds, seed);
    auto mic = std::make_shared<media::WavMicrophone>(wave);
    mic->SetStart(Clock().NowMs());
    media::WaveIn().UseDevices({mic});
    return wave.data;
  }
  void RunMs(uint32_t ms) { RunTicks(static_cast<int>(ms / 10)); }
  std::string Flags() const {
    return std::to_string(R().GetRecStatus()) + std::to_string(R().GetPlayStatus());
  }

  std::shared_ptr<media::RecordingWaveOut> sink;
  std::shared_ptr<ui::ScriptedFileDialog> files;
  std::shared_ptr<ui::ScriptedMessageBox> boxes;
  std::unique_ptr<ui::ScopedFileDialogBackend> scopedFiles;
  std::unique_ptr<ui::ScopedMessageBoxBackend> scopedBoxes;
};

TEST_F(WaveRecorderTest, TwoSecondsRecordSaveAndPlayBackExactlyAsSung) {
  struct Row {
    uint32_t rate;
    uint16_t bits, channels;
  } rows[] = {{22050, 8, 1}, {44100, 16, 2}, {11025, 8, 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.rate) + "/" + std::to_string(r.bits) + "/" +
                 std::to_string(r.channels));
    const media::WaveFormat format = media::WaveFormat::Pcm(r.rate, r.bits, r.channels);
    const std::vector<uint8_t> voice = UseMicrophone(format, 3, uint8_t(r.rate));
    ASSERT_EQ(R().SetRecSetting(r.rate, r.bits, r.channels), 1);
    host.got.clear();
    // The flags after every step: recording, playing.
    ASSERT_EQ(R().RecordWave(), 1);
    EXPECT_EQ(Flags(), "10");
    RunMs(2000);
    EXPECT_EQ(R().StopWave(), 1);
    EXPECT_EQ(Flags(), "00");

    const std::string name = scratch / ("take" + std::to_string(r.rate));
    files->Answer(name); // no extension: ".wav" is added
    ASSERT_EQ(R().SaveWave(), 1);
    std::string error;
    auto saved = media::ReadWaveFile(name + ".wav", &error);
    ASSERT_TRUE(saved) << error;
    EXPECT_EQ(saved->format.rate, r.rate);
    EXPECT_EQ(saved->format.bits, r.bits);
    EXPECT_EQ(saved->format.channels, r.channels);
    const size_t twoSeconds = size_t(format.byteRate) * 2;
    ASSERT_EQ(saved->data.size(), twoSeconds);
    EXPECT_TRUE(std::equal(saved->data.begin(), saved->data.end(), voice.begin()));
    // The file is the header and the data, nothing else.
    EXPECT_EQ(FileBytes(name + ".wav"), media::WaveBytes(format, saved->data));

    const size_t before = sink->Streams().size();
    ASSERT_EQ(R().PlayWave(), 1);
    EXPECT_EQ(Flags(), "01");
    RunMs(1000);
    EXPECT_EQ(HostGot(kWaveDoneNotify), 0);
    ASSERT_TRUE(RunUntil([&] { return HostGot(kWaveDoneNotify) > 0; }, 200));
    EXPECT_EQ(Flags(), "00");
    RunMs(200);
    EXPECT_EQ(HostGot(kWaveDoneNotify), 1);
    const auto streams = sink->Streams();
    ASSERT_EQ(streams.size(), before + 1);
    EXPECT_EQ(streams.back().Bytes(), saved->data);
    EXPECT_EQ(sink->OpenStreams(), 0);
    EXPECT_EQ(R().CloseWave(), 1);
  }
}

TEST_F(WaveRecorderTest, ARecordingEndsByItselfAtTheLimitAndTellsTheHostOnce) {
  const media::WaveFormat format = media::WaveFormat::Pcm(8000, 8, 1);
  UseMicrophone(format, 1, 9);
  ASSERT_EQ(R().SetRecSetting(8000, 8, 1), 1);
  host.got.clear();
  ASSERT_EQ(R().RecordWave(), 1);
  RunMs(599000);
  EXPECT_EQ(Flags(), "10");
  EXPECT_EQ(HostGot(kWaveDoneNotify), 0);
  ASSERT_TRUE(RunUntil([&] { return HostGot(kWaveDoneNotify) > 0; }, 200));
  EXPECT_EQ(Flags(), "00");
  RunMs(500);
  EXPECT_EQ(HostGot(kWaveDoneNotify), 1);
  files->Answer(scratch / "long.wav");
  ASSERT_EQ(R().SaveWave(), 1);
  struct stat st {};
  ASSERT_EQ(::stat((scratch / "long.wav").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 44 + 8000 * 600);
}

TEST_F(WaveRecorderTest, AStopOrACloseTellsTheHostNothing) {
  const media::WaveFormat format = media::WaveFormat::Pcm(11025, 8, 1);
  UseMicrophone(format, 2, 3);
  ASSERT_EQ(R().SetRecSetting(11025, 8, 1), 1);
  host.got.clear();
  // Each step, then time moving on (a recording of 1 s plays for 1 s).
  struct Step {
    const char* what;
    std::function<int32_t()> run;
    int32_t result;
    const char* flags;
    uint32_t then;
  };
  const Step steps[] = {
      {"record", [] { return R().RecordWave(); }, 1, "10", 1000},
      {"stop while recording", [] { return R().StopWave(); }, 1, "00", 300},
      {"play", [] { return R().PlayWave(); }, 1, "01", 300},
      {"stop while playing", [] { return R().StopWave(); }, 1, "00", 300},
      {"play again", [] { return R().PlayWave(); }, 1, "01", 300},
      {"close while playing", [] { return R().CloseWave(); }, 1, "00", 300},
      {"play with nothing open", [] { return R().PlayWave(); }, 0, "00", 300},
      {"stop with nothing open", [] { return R().StopWave(); }, 0, "00", 300},
      {"close with nothing open", [] { return R().CloseWave(); }, 0, "00", 300},
      {"record anew", [] { return R().RecordWave(); }, 1, "10", 1000},
      {"play ends the recording", [] { return R().PlayWave(); }, 1, "01", 300},
      {"record over the playback", [] { return R().RecordWave(); }, 1, "10", 300},
      {"close", [] { return R().CloseWave(); }, 1, "00", 300},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(s.run(), s.result) << s.what;
    EXPECT_EQ(Flags(), s.flags) << s.what;
    RunMs(s.then);
    EXPECT_EQ(Flags(), s.flags) << s.what << ", " << s.then << " ms later";
  }
  RunMs(3000);
  EXPECT_EQ(HostGot(kWaveDoneNotify), 0);
}

TEST_F(WaveRecorderTest, TheRecordSettingIsCheckedBeforeAnythingRecords) {
  UseMicrophone(media::WaveFormat::Pcm(22050, 8, 1), 1, 1);
  struct Row {
    uint32_t rate;
    uint16_t bits, channels;
    int32_t result;
  } rows[] = {
      {22050, 8, 1, 1}, {22050, 12, 1, 0}, {22050, 24, 2, 0}, {22050, 8, 0, 0},
      {22050, 8, 3, 0}, {0, 8, 1, 0},      {400000, 16, 2, 0},
  };
  for (const Row& r : rows) {
    ASSERT_EQ(R().SetRecSetting(r.rate, r.bits, r.channels), 1);
    uint32_t rate = 0;
    uint16_t bits = 0, channels = 0;
    R().GetRecSetting(&rate, &bits, &channels);
    EXPECT_EQ(rate, r.rate);
    EXPECT_EQ(R().RecordWave(), r.result) << r.rate << "/" << r.bits << "/" << r.channels;
    EXPECT_EQ(R().GetRecStatus(), r.result);
    R().CloseWave();
  }
}

TEST_F(WaveRecorderTest, TheSaveDialogAsItIsAnswered) {
  UseMicrophone(media::WaveFormat::Pcm(11025, 8, 1), 1, 5);
  ASSERT_EQ(R().SetRecSetting(11025, 8, 1), 1);
  // Nothing recorded: nothing to save, no dialog.
  EXPECT_EQ(R().SaveWave(), 0);
  EXPECT_TRUE(files->Shown().empty());
  ASSERT_EQ(R().RecordWave(), 1);
  RunMs(500);
  R().StopWave();

  const std::string existing = scratch / "old.wav";
  const std::vector<uint8_t> old = {'k', 'e', 'e', 'p'};
  ASSERT_TRUE(WriteBytes(existing, old));
  // An existing file answered No: nothing is written.
  files->Answer(scratch / "old");
  boxes->Answer(ui::IDNO);
  EXPECT_EQ(R().SaveWave(), 0);
  EXPECT_EQ(FileBytes(existing), old);
  ASSERT_EQ(boxes->Shown().size(), 1u);
  EXPECT_EQ(boxes->Shown()[0].text, "The file already exists. Replace it?");
  const auto request = files->Shown().back();
  EXPECT_TRUE(request.save);
  EXPECT_FALSE(request.askOverwrite);
  EXPECT_EQ(request.filter, "Wave Files (*.wav)|*.wav|All Files (*.*)|*.*||");
  // Cancel: nothing.
  files->Answer("");
  EXPECT_EQ(R().SaveWave(), 0);
  // A name with its own extension keeps it; answered Yes, the file is replaced.
  files->Answer(existing);
  boxes->Answer(ui::IDYES);
  EXPECT_EQ(R().SaveWave(), 1);
  EXPECT_EQ(FileBytes(existing).size(), 44u + 11025 / 2);
  files->Answer(scratch / "take.raw");
  EXPECT_EQ(R().SaveWave(), 1);
  EXPECT_TRUE(std::filesystem::exists(scratch / "take.raw"));
  EXPECT_FALSE(std::filesystem::exists(scratch / "take.raw.wav"));

  // A folder that cannot be written: 0, and the old file stays as it was.
  if (::geteuid() != 0) {
    const std::string locked = scratch / "locked";
    std::filesystem::create_directory(locked);
    ASSERT_TRUE(WriteBytes(locked + "/kept.wav", old));
    ::chmod(locked.c_str(), 0555);
    files->Answer(locked + "/kept.wav");
    boxes->Answer(ui::IDYES);
    EXPECT_EQ(R().SaveWave(), 0);
    EXPECT_EQ(FileBytes(locked + "/kept.wav"), old);
    ::chmod(locked.c_str(), 0755);
  }
  // A folder that does not exist: 0 as well.
  files->Answer(scratch / "no/such/folder/take.wav");
  EXPECT_EQ(R().SaveWave(), 0);
}

// The RIFF forms the wave reader meets: good ones play, damaged ones open
// nothing.
TEST_F(WaveRecorderTest, OpenPlaysGoodWaveFilesAndRefusesDamagedOnes) {
  auto u16 = [](std::vector<uint8_t>& b, uint16_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto u32 = [&](std::vector<uint8_t>& b, uint32_t v) {
    u16(b, uint16_t(v));
    u16(b, uint16_t(v >> 16));
  };
  auto chunk = [&](const char* id, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b(id, id + 4);
    u32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() % 2)
      b.push_back(0);
    return b;
  };
  auto fmt = [&](uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    std::vector<uint8_t> b;
    u16(b, tag);
    u16(b, channels);
    u32(b, rate);
    u32(b, rate * channels * bits / 8);
    u16(b, uint16_t(channels * bits / 8));
    u16(b, bits);
    return chunk("fmt ", b);
  };
  auto form = [&](const char* kind, std::vector<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> body(kind, kind + 4);
    for (auto& p : parts)
      body.insert(body.end(), p.begin(), p.end());
    return chunk("RIFF", body);
  };
  const std::vector<uint8_t> sound = Voice(800, 4);
  struct Row {
    const char* what;
    std::vector<uint8_t> file;
    int32_t opens;
  } rows[] = {
      {"8-bit mono", form("WAVE", {fmt(1, 1, 8000, 8), chunk("data", sound)}), 1},
      {"16-bit stereo, a LIST first",
       form("WAVE", {chunk("LIST", {'I', 'N', 'F', 'O'}), fmt(1, 2, 8000, 16), chunk("data", sound)}),
       1},
      {"not PCM", form("WAVE", {fmt(3, 1, 8000, 32), chunk("data", sound)}), 0},
      {"24-bit", form("WAVE", {fmt(1, 1, 8000, 24), chunk("data", sound)}), 0},
      {"no data", form("WAVE", {fmt(1, 1, 8000, 8)}), 0},
      {"an AVI form", form("AVI ", {fmt(1, 1, 8000, 8), chunk("data", sound)}), 0},
      {"eight bytes", {'R', 'I', 'F', 'F', 4, 0, 0, 0}, 0},
      {"empty", {}, 0},
  };
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string path = scratch / ("in" + std::to_string(n++) + ".wav");
    ASSERT_TRUE(WriteBytes(path, r.file));
    files->Answer(path);
    host.got.clear();
    const size_t before = sink->Streams().size();
    ASSERT_EQ(R().OpenWave(), r.opens);
    if (!r.opens) {
      EXPECT_EQ(R().PlayWave(), 0);
      continue;
    }
    ASSERT_EQ(R().PlayWave(), 1);
    ASSERT_TRUE(RunUntil([&] { return HostGot(kWaveDoneNotify) > 0; }, 200));
    ASSERT_EQ(sink->Streams().size(), before + 1);
    EXPECT_EQ(sink->Streams().back().Bytes(), sound);
  }
  // A file that is not there, and a cancelled dialog.
  files->Answer(scratch / "missing.wav");
  EXPECT_EQ(R().OpenWave(), 0);
  files->Answer("");
  EXPECT_EQ(R().OpenWave(), 0);
}

} // namespace
