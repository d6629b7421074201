// The "waveaudio" device: its commands on a WAV microphone and the
// recording sink on virtual time, real ALSA file PCMs, and quick command
// sequences on the real clock.
#include "platform/media/mci.h"
#include "platform/media/virtual_time.h"
#include "platform/media/alsa_wave.h"
#include "platform/media/wave_sinks.h"
#include "platform/media/waveaudio.h"
#include "platform/media/wavein.h"
#include "platform/media/waveout.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"
#include "support/wav_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace media::mci;

namespace {

std::vector<uint8_t> Voice(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<uint8_t>(seed + i * 11 + (i >> 7));
  return v;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A window that keeps the notifications it is posted (flag, device).
class Notices {
public:
  Notices() {
    static const bool registered = wintest::RegisterFnClass(
        "WaveAudioNoticeTest", [](win::Hwnd hwnd, uint32_t m, win::WParam w, win::LParam l) {
          if (m == win::MM_MCINOTIFY) {
            std::lock_guard lock(Mutex());
            All()[hwnd].push_back({w, static_cast<DeviceId>(l)});
          }
          return win::LResult{0};
        });
    (void)registered;
    hwnd = wintest::MakeWindow("WaveAudioNoticeTest");
  }
  ~Notices() { win::DestroyWindow(hwnd); }
  using Got = std::pair<win::WParam, DeviceId>;
  std::vector<Got> Take() {
    win::ProcessPendingMessages();
    std::lock_guard lock(Mutex());
    auto got = All()[hwnd];
    All()[hwnd].clear();
    return got;
  }
  win::Hwnd hwnd = 0;

private:
  static std::mutex& Mutex() {
    static std::mutex m;
    return m;
  }
  static std::map<win::Hwnd, std::vector<Got>>& All() {
    static std::map<win::Hwnd, std::vector<Got>> all;
    return all;
  }
};

class WaveAudioTest : public ::testing::Test {
protected:
  void SetUp() override {
    wintest::StartTestSession();
    media::RegisterWaveAudioDevice();
    media::InstallTimeSource(&clock);
    sink = std::make_shared<media::RecordingWaveOut>();
    media::WaveOut().UseDevices({sink});
  }
  void TearDown() override {
    CloseAll();
    media::WaveIn().UseDevices({});
    media::WaveOut().UseDevices({});
    media::InstallTimeSource(nullptr);
  }
  std::vector<uint8_t> UseMicrophone(const media::WaveFormat& format, uint32_t ms) {
    media::Wave wave;
    wave.format = format;
    wave.data = Voice(size_t(format.byteRate) * ms / 1000, 7);
    auto mic = std::make_shared<media::WavMicrophone>(wave);
    mic->SetStart(clock.NowMs());
    media::WaveIn().UseDevices({mic});
    return wave.data;
  }
  void Run(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 10) {
      clock.Advance(10);
      win::ProcessPendingMessages();
    }
  }
  uint32_t Send(const std::string& command, std::string* answer = nullptr) {
    return SendString(command, answer, 128, notices.hwnd);
  }
  std::string Status(const std::string& what) {
    std::string answer;
    EXPECT_EQ(SendString("status rec " + what, &answer), kOk) << what;
    return answer;
  }

  media::VirtualTime clock{5000};
  std::shared_ptr<media::RecordingWaveOut> sink;
  Notices notices;
  mediatest::TempDir dir;
};

TEST_F(WaveAudioTest, SetTakesOnlyAFormatTheDevicesCanUse) {
  ASSERT_EQ(Send("open new type waveaudio alias rec"), kOk);
  struct Row {
    const char* set;
    uint32_t result;
  } rows[] = {
      {"time format ms", kOk},
      {"time format milliseconds", kOk},
      {"time format frames", kErrBadTimeFormat},
      {"bitspersample 16 samplespersec 44100 channels 2", kOk},
      {"format tag pcm bitspersample 8 samplespersec 22050 channels 1 alignment 1 bytespersec 22050",
       kOk},
      {"bitspersample 16 channels 2 alignment 2", kErrOutOfRange},   // 4 it must be
      {"samplespersec 11025 bytespersec 22050", kErrOutOfRange},     // 11025 x 1
      {"bitspersample 24", kErrOutOfRange},
      {"channels 3", kErrOutOfRange},
      {"samplespersec 0", kErrOutOfRange},
      {"samplespersec 400000", kErrOutOfRange},
      {"format tag 3", kErrOutOfRange},
      {"bitspersample", kErrMissingParameter},
      {"bitspersample x8", kErrBadInteger},
      {"loudness 3", kErrUnrecognizedKeyword},
  };
  for (const Row& r : rows)
    EXPECT_EQ(Send(std::string("set rec ") + r.set), r.result) << r.set;
  // The last good one holds.
  EXPECT_EQ(Status("bitspersample"), "8");
  EXPECT_EQ(Status("samplespersec"), "22050");
  EXPECT_EQ(Status("channels"), "1");
  EXPECT_EQ(Status("mode"), "stopped");
  EXPECT_EQ(Status("length"), "0");
}

TEST_F(WaveAudioTest, ARecordingEndsAtItsLengthAndPlaysBackWithItsNotices) {
  const media::WaveFormat format = media::WaveFormat::Pcm(8000, 16, 1);
  const std::vector<uint8_t> voice = UseMicrophone(format, 2000);
  ASSERT_EQ(Send("open new type waveaudio alias rec"), kOk);
  ASSERT_EQ(Send("set rec bitspersample 16 samplespersec 8000 channels 1"), kOk);
  // Nothing recorded yet: nothing to save.
  EXPECT_EQ(Send("save rec " + dir.Path() + "/none.wav"), kErrDeviceNotReady);
  ASSERT_EQ(Send("record rec to 500 notify"), kOk);
  const DeviceId id = GetDeviceId("rec");
  EXPECT_EQ(Status("mode"), "recording");
  Run(250);
  EXPECT_EQ(Status("length"), "250");
  EXPECT_TRUE(notices.Take().empty());
  Run(300);
  EXPECT_EQ(notices.Take(), (std::vector<Notices::Got>{{kNotifySuccessful, id}}));
  EXPECT_EQ(Status("mode"), "stopped");
  EXPECT_EQ(Status("length"), "500");
  ASSERT_EQ(Send("stop rec"), kOk);
  EXPECT_TRUE(notices.Take().empty());

  const std::string path = dir.Path() + "/take.wav";
  ASSERT_EQ(Send("save rec \"" + path + "\""), kOk);
  const std::vector<uint8_t> data(voice.begin(), voice.begin() + 8000);
  EXPECT_EQ(FileBytes(path), media::WaveBytes(format, data));

  // Part of it, from 100 to 300 ms.
  ASSERT_EQ(Send("play rec from 100 to 300 notify"), kOk);
  Run(250);
  EXPECT_EQ(notices.Take(), (std::vector<Notices::Got>{{kNotifySuccessful, id}}));
  EXPECT_EQ(sink->Streams().back().Bytes(),
            std::vector<uint8_t>(data.begin() + 1600, data.begin() + 4800));
  EXPECT_EQ(Send("play rec from 400 to 600"), kErrOutOfRange);
  EXPECT_EQ(Send("play rec from 300 to 100"), kErrOutOfRange);
  // A stop aborts the play; a play over a play supersedes it.
  ASSERT_EQ(Send("play rec notify"), kOk);
  Run(100);
  ASSERT_EQ(Send("stop rec wait"), kOk);
  EXPECT_EQ(notices.Take(), (std::vector<Notices::Got>{{kNotifyAborted, id}}));
  ASSERT_EQ(Send("play rec notify"), kOk);
  Run(100);
  ASSERT_EQ(Send("play rec from 0 notify"), kOk);
  EXPECT_EQ(notices.Take(), (std::vector<Notices::Got>{{kNotifySuperseded, id}}));
  Run(100);
  ASSERT_EQ(Send("close rec"), kOk);
  EXPECT_EQ(notices.Take(), (std::vector<Notices::Got>{{kNotifyAborted, id}}));
  EXPECT_EQ(sink->OpenStreams(), 0);
}

TEST_F(WaveAudioTest, FilesOpenAsTheirFormatOrAreRefused) {
  const media::WaveFormat format = media::WaveFormat::Pcm(11025, 8, 2);
  const std::vector<uint8_t> sound = Voice(2 * 1103, 3);
  const std::string good = dir.Path() + "/good.wav";
  WriteFile(good, media::WaveBytes(format, sound));
  const std::string bad = dir.Path() + "/bad.wav";
  WriteFile(bad, {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
  EXPECT_EQ(Send("open \"" + dir.Path() + "/missing.wav\" type waveaudio alias a"), kErrFileNotFound);
  EXPECT_EQ(Send("open \"" + bad + "\" type waveaudio alias a"), kErrInvalidFile);
  // By its extension, without a type.
  ASSERT_EQ(Send("open \"" + good + "\" alias a"), kOk);
  EXPECT_EQ(SendString("status rec mode"), kErrInvalidDeviceName);
  std::string answer;
  ASSERT_EQ(SendString("status a channels", &answer), kOk);
  EXPECT_EQ(answer, "2");
  ASSERT_EQ(SendString("status a length", &answer), kOk);
  EXPECT_EQ(answer, "100");
  ASSERT_EQ(Send("play a notify"), kOk);
  Run(150);
  EXPECT_EQ(sink->Streams().back().Bytes(), sound);
  // Saved as it was opened.
  ASSERT_EQ(Send("save a \"" + dir.Path() + "/again.wav\""), kOk);
  EXPECT_EQ(FileBytes(dir.Path() + "/again.wav"), FileBytes(good));
}

TEST_F(WaveAudioTest, AFailedSaveLeavesTheOldFileWhole) {
  UseMicrophone(media::WaveFormat::Pcm(11025, 8, 1), 1000);
  ASSERT_EQ(Send("open new type waveaudio alias rec"), kOk);
  ASSERT_EQ(Send("set rec samplespersec 11025 bitspersample 8 channels 1"), kOk);
  ASSERT_EQ(Send("record rec"), kOk);
  Run(200);
  ASSERT_EQ(Send("stop rec"), kOk);
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  EXPECT_EQ(Send("save rec \"" + dir.Path() + "/no/such/take.wav\""), kErrFileNotSaved);
  if (::geteuid() != 0) {
    const std::string locked = dir.Path() + "/locked";
    std::filesystem::create_directory(locked);
    WriteFile(locked + "/take.wav", old);
    ::chmod(locked.c_str(), 0555);
    EXPECT_EQ(Send("save rec \"" + locked + "/take.wav\""), kErrFileNotSaved);
    EXPECT_EQ(FileBytes(locked + "/take.wav"), old);
    ::chmod(locked.c_str(), 0755);
  }
  // A file over the target's place is replaced whole.
  const std::string target = dir.Path() + "/take.wav";
  WriteFile(target, old);
  ASSERT_EQ(Send("save rec \"" + target + "\""), kOk);
  EXPECT_EQ(FileBytes(target).size(), 44u + 2205 + 1); // odd data: a pad byte
}

TEST_F(WaveAudioTest, ARecordingTooLongForTheFileIsRefusedBeforeItStarts) {
  UseMicrophone(media::WaveFormat::Pcm(44100, 16, 2), 100);
  ASSERT_EQ(Send("open new type waveaudio alias rec"), kOk);
  ASSERT_EQ(Send("set rec samplespersec 192000 bitspersample 16 channels 2"), kOk);
  EXPECT_EQ(Send("record rec to 600001"), kErrOutOfRange);
  EXPECT_EQ(Send("record rec to 0"), kErrOutOfRange);
  EXPECT_EQ(Send("record rec from 20 to 100"), kErrUnsupportedFunction);
  EXPECT_EQ(Status("mode"), "stopped");
}

// ALSA's file PCMs stand for the sound card: what the capture device reads
// from its input file is recorded, saved and played back byte for byte.
TEST(WaveAudioAlsa, ARecordingOfTheInputFileSavesAndPlaysByteExact) {
  wintest::StartTestSession();
  media::RegisterWaveAudioDevice();
  mediatest::TempDir dir;
  const std::string in = dir.Path() + "/in.raw", out = dir.Path() + "/out.raw";
  const std::vector<uint8_t> sound = Voice(4 * 2205, 9); // 100 ms of 22050 Hz 16-bit stereo
  WriteFile(in, sound);
  media::WaveIn().UseDevices({media::AlsaWaveInDevice(
      "vexorec", "test",
      "pcm.vexorec { type file slave { pcm { type null } } file \"/dev/null\" infile \"" + in +
          "\" format \"raw\" }")});
  media::WaveOut().UseDevices({media::AlsaWaveDevice(
      "vexoplay", "test",
      "pcm.vexoplay { type file slave { pcm { type null } } file \"" + out + "\" format \"raw\" }")});
  Notices notices;
  auto waitFor = [&](size_t n) {
    std::vector<Notices::Got> got;
    for (int i = 0; i < 2000 && got.size() < n; ++i) {
      auto more = notices.Take();
      got.insert(got.end(), more.begin(), more.end());
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return got;
  };
  ASSERT_EQ(SendString("open new type waveaudio alias alsarec"), kOk);
  const DeviceId id = GetDeviceId("alsarec");
  ASSERT_EQ(SendString("set alsarec samplespersec 22050 bitspersample 16 channels 2"), kOk);
  ASSERT_EQ(SendString("record alsarec to 100 notify", nullptr, 128, notices.hwnd), kOk);
  EXPECT_EQ(waitFor(1), (std::vector<Notices::Got>{{kNotifySuccessful, id}}));
  ASSERT_EQ(SendString("stop alsarec"), kOk);
  const std::string saved = dir.Path() + "/take.wav";
  ASSERT_EQ(SendString("save alsarec \"" + saved + "\""), kOk);
  EXPECT_EQ(FileBytes(saved), media::WaveBytes(media::WaveFormat::Pcm(22050, 16, 2), sound));
  ASSERT_EQ(SendString("play alsarec notify", nullptr, 128, notices.hwnd), kOk);
  EXPECT_EQ(waitFor(1), (std::vector<Notices::Got>{{kNotifySuccessful, id}}));
  ASSERT_EQ(SendString("close alsarec"), kOk);
  EXPECT_EQ(FileBytes(out), sound);
  media::WaveIn().UseDevices({});
  media::WaveOut().UseDevices({});
}

// Record, stop, play, close and record again in quick succession on the
// real clock, while the devices' threads call back.
TEST(WaveAudioRealClock, QuickCommandSequencesStayConsistent) {
  wintest::StartTestSession();
  media::RegisterWaveAudioDevice();
  media::Wave wave;
  wave.format = media::WaveFormat::Pcm(22050, 8, 1);
  wave.data = Voice(22050, 1);
  media::WaveIn().UseDevices({std::make_shared<media::WavMicrophone>(wave)});
  auto sink = std::make_shared<media::RecordingWaveOut>();
  media::WaveOut().UseDevices({sink});
  Notices notices;
  ASSERT_EQ(SendString("open new type waveaudio alias quick"), kOk);
  ASSERT_EQ(SendString("set quick samplespersec 22050 bitspersample 8 channels 1"), kOk);
  size_t notify = 0, answered = 0;
  for (int round = 0; round < 200; ++round) {
    ASSERT_EQ(SendString("record quick to 50 notify", nullptr, 128, notices.hwnd), kOk) << round;
    std::this_thread::sleep_for(std::chrono::microseconds(200 * (round % 7)));
    ASSERT_EQ(SendString("stop quick"), kOk);
    ASSERT_EQ(SendString("play quick notify", nullptr, 128, notices.hwnd), kOk);
    std::this_thread::sleep_for(std::chrono::microseconds(150 * (round % 5)));
    if (round % 10 == 9) {
      ASSERT_EQ(SendString("close quick"), kOk);
      ASSERT_EQ(SendString("open new type waveaudio alias quick"), kOk);
      ASSERT_EQ(SendString("set quick samplespersec 22050 bitspersample 8 channels 1"), kOk);
    }
    notify += 2;
    answered += notices.Take().size();
  }
  ASSERT_EQ(SendString("close quick"), kOk);
  for (int i = 0; i < 200 && answered < notify; ++i) {
    answered += notices.Take().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // Every notify command is answered exactly once.
  EXPECT_EQ(answered, notify);
  EXPECT_EQ(sink->OpenStreams(), 0);
  EXPECT_EQ(media::WaveIn().OpenCount(), 0);
  media::WaveIn().UseDevices({});
  media::WaveOut().UseDevices({});
}

} // namespace
