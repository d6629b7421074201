// `vexo3 party` as a user runs it, over a catalogue of the test's own: the
// queue played head after head with a stand-in display logging what it is
// told, typed reservations, Ctrl+C and a kill at any moment with the saved
// queue taken up again; and the byte images the party reads and writes.
#include "album/tests/support/song_tree.h"
#include "host/party_command.h"
#include "platform/media/tests/support/wav_file.h"
#include "platform/sys/tests/support/command_run.h"
#include "platform/sys/tests/support/spawned_child.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using host::QueuedSong;

// Little-endian bytes of a number.
std::string Le(int32_t v) {
  std::string out;
  for (int i = 0; i < 4; ++i)
    out += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xff);
  return out;
}

std::string Padded(const std::string& text, size_t size) {
  std::string out = text;
  out.resize(size, '\0');
  return out;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

// A reserved-song block as the library lays it out: count, then per entry
// number, title in 48 bytes, path length and path; a zero byte at the end.
std::string Block(const std::vector<QueuedSong>& songs) {
  std::string out = Le(static_cast<int32_t>(songs.size()));
  for (const QueuedSong& s : songs)
    out += Le(s.number) + Padded(s.title, 48) + Le(static_cast<int32_t>(s.path.size() + 1)) +
           s.path + '\0';
  return out + '\0';
}

// The display's 260-byte list of these number and title heads.
std::string DisplayList(const std::vector<std::pair<int32_t, std::string>>& heads) {
  std::string out;
  for (const auto& [number, title] : heads)
    out += Le(number) + Padded(title, 48);
  return Padded(out, 260);
}

TEST(PartyRecords, TheDisplaysListHoldsTheFirstFiveHeadsOfTheBlock) {
  const std::vector<QueuedSong> seven = {
      {1, "One", "C:\\a.vx3"}, {22, "Two", "C:\\bb.vx3"}, {-1, "Own", "/tmp/own.mid"},
      {4, "Four", ""},         {5, "Five", "C:\\e"},      {6, "Six", "C:\\f"},
      {7, "Seven", "C:\\g"}};
  const struct {
    std::vector<QueuedSong> queue;
    std::string want;
  } cases[] = {
      {{}, std::string(260, '\0')},
      {{seven[0]}, DisplayList({{1, "One"}})},
      {{seven[2], seven[1]}, DisplayList({{-1, "Own"}, {22, "Two"}})},
      {seven, DisplayList({{1, "One"}, {22, "Two"}, {-1, "Own"}, {4, "Four"}, {5, "Five"}})},
  };
  for (const auto& c : cases) {
    const std::string block = Block(c.queue);
    const std::vector<uint8_t> list =
        host::ReserveListFromBlock(c.queue.empty() ? nullptr : block.data());
    EXPECT_EQ(std::string(list.begin(), list.end()), c.want) << c.queue.size() << " queued";
    const std::vector<QueuedSong> read =
        host::SongsOfBlock(c.queue.empty() ? nullptr : block.data());
    EXPECT_EQ(read, c.queue);
  }
}

TEST(PartyRecords, TheSavedQueueIsReadBackOnlyWhenWhole) {
  const std::vector<QueuedSong> songs = {{3, "", ""}, {-2, "Own song", "C:\\my\\own.mid"}, {17, "", ""}};
  const std::string text = host::PartyQueueText(songs);
  EXPECT_EQ(text, "vexo3 party queue\nS 3\nF -2 " + Hex("Own song") + " " + Hex("C:\\my\\own.mid") +
                      "\nS 17\n");
  EXPECT_EQ(host::ParsePartyQueue(text), songs);
  EXPECT_EQ(host::ParsePartyQueue("vexo3 party queue\n"), std::vector<QueuedSong>{});
  EXPECT_EQ(host::ParsePartyQueue("vexo3 party queue\nF 0 - -\n"),
            (std::vector<QueuedSong>{{0, "", ""}}));
  const char* bad[] = {
      "",
      "vexo3 party queue",            // cut before its newline
      "vexo3 party queue\nS 3\nS 1",  // cut in its last line
      "other magic\nS 3\n",
      "vexo3 party queue\nS 0\n",     // a catalogue number below 1
      "vexo3 party queue\nS x\n",
      "vexo3 party queue\nS 3 4\n",
      "vexo3 party queue\nF 5 - -\n", // a file reservation with a catalogue number
      "vexo3 party queue\nF -1 4f7\n",
      "vexo3 party queue\nF -1 zz -\n",
      "vexo3 party queue\nS 99999999999\n",
  };
  for (const char* b : bad)
    EXPECT_FALSE(host::ParsePartyQueue(b)) << b;
  // A title or path longer than a reservation holds is refused, not cut.
  EXPECT_FALSE(host::ParsePartyQueue("vexo3 party queue\nF -1 " + Hex(std::string(48, 'a')) +
                                     " -\n"));
  EXPECT_FALSE(host::ParsePartyQueue("vexo3 party queue\nF -1 - " + Hex(std::string(256, 'a')) +
                                     "\n"));
}

TEST(PartyRecords, ArgumentsTheHostCannotUseAreRefused) {
  const struct {
    std::vector<std::string> args;
    bool ok;
  } cases[] = {
      {{"1", "2", "--no-display"}, true}, {{"--resume", "7"}, true}, {{"--device", "0"}, true},
      {{"--device"}, false},              {{"--device", "x"}, false}, {{"one"}, false},
      {{"--loud"}, false},                {{"--display-log"}, false},
  };
  for (const auto& c : cases) {
    std::vector<std::string> copy = c.args;
    std::vector<char*> argv;
    for (std::string& a : copy)
      argv.push_back(a.data());
    std::string error;
    const auto o = host::ParsePartyArguments(argv, &error);
    EXPECT_EQ(o.has_value(), c.ok) << c.args[0] << " " << error;
    if (!c.ok)
      EXPECT_FALSE(error.empty());
  }
  std::vector<std::string> args = {"5", "--resume", "-1", "--no-display"};
  std::vector<char*> argv;
  for (std::string& a : args)
    argv.push_back(a.data());
  std::string error;
  const auto o = host::ParsePartyArguments(argv, &error);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->numbers, (std::vector<int32_t>{5, -1}));
  EXPECT_TRUE(o->resume);
  EXPECT_FALSE(o->display);
}

// A catalogue of songs "Song 1".."Song N" (about a second each) and, when
// asked, the demo song as "Twinkle" to play long enough for typing.
class PartyCommand : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.Path().empty());
    ASSERT_EQ(mkdir(Path("run").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(Path("album").c_str(), 0700), 0);
  }
  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
  std::vector<std::string> Env() const {
    return {"VEXO_CONFIG_DIR=" + Path("album"), "VEXO_RUNTIME_DIR=" + Path("run"),
            "VEXO_SETTINGS_FILE=" + Path("settings.ini"), "VEXO_SYNTH_WAV=" + Path("synth.wav"),
            "QT_QPA_PLATFORM=offscreen"};
  }
  systest::CommandRun Host(const std::string& args) const {
    std::string env;
    for (const std::string& e : Env())
      env += e + " ";
    return systest::RunCommand(env + kBin + "/vexo3 " + args, systest::Stderr::WithOutput);
  }
  // Builds the catalogue; title -> number.
  std::map<std::string, int> Build(int songs, bool twinkle) {
    EXPECT_TRUE(album::testing::MakeSongFolder(Path("songs"), songs, "Song"));
    if (twinkle)
      EXPECT_EQ(Host("convert " + kBin + "/twinkle.kar " + Path("songs/twinkle.vx3") +
                     " --kind 1020")
                    .status,
                0);
    EXPECT_EQ(Host("album build " + Path("songs")).status, 0);
    std::map<std::string, int> numbers;
    std::istringstream in(Host("album list").out);
    for (std::string line; std::getline(in, line);) {
      const size_t tab = line.find('\t');
      if (tab == std::string::npos)
        continue;
      numbers[line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1)] =
          std::atoi(line.substr(0, tab).c_str());
    }
    return numbers;
  }
  std::optional<systest::SpawnedChild> Party(const std::vector<std::string>& args) const {
    return systest::SpawnedChild::Start(kBin + "/vexo3", args, Env());
  }
  // Reads lines until one begins with prefix; every line read goes to seen.
  static bool ReadUntil(systest::SpawnedChild& child, const std::string& prefix,
                        std::vector<std::string>* seen = nullptr) {
    while (auto line = child.ReadLine(30000)) {
      if (seen)
        seen->push_back(*line);
      if (line->rfind(prefix, 0) == 0)
        return true;
    }
    return false;
  }
  std::vector<std::string> LogLines(const std::string& prefix) const {
    std::ifstream in(Path("display.log"));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
      if (line.rfind(prefix, 0) == 0)
        out.push_back(line.substr(prefix.size()));
    return out;
  }

  const std::string kBin = VEXO_BIN_DIR;
  mediatest::TempDir dir_;
};

TEST_F(PartyCommand, PlaysTheQueueInTurnAndTellsTheDisplayTheListAndTheNextSong) {
  std::map<std::string, int> n = Build(3, true);
  ASSERT_EQ(n.size(), 4u);
  const int t = n["Twinkle, Twinkle, Little Star"], s1 = n["Song 1"], s2 = n["Song 2"],
            s3 = n["Song 3"];
  ASSERT_GT(t, 0);
  auto party = Party({"party", std::to_string(t), std::to_string(s1), std::to_string(s2),
                      "--display-log", Path("display.log")});
  ASSERT_TRUE(party);
  std::vector<std::string> out;
  ASSERT_TRUE(ReadUntil(*party, "playing " + std::to_string(t), &out));
  // Typed while the first song plays: a reservation, an unknown number, an
  // unreservation, a find, then a skip.
  ASSERT_TRUE(party->Write(std::to_string(s3) + "\n"));
  ASSERT_TRUE(ReadUntil(*party, "reserved " + std::to_string(s3), &out));
  ASSERT_TRUE(party->Write("99999\nx " + std::to_string(s1) + "\nx 77777\n/Song 2\n"));
  ASSERT_TRUE(ReadUntil(*party, "1 found", &out));
  ASSERT_TRUE(party->Write("s\n"));
  ASSERT_TRUE(ReadUntil(*party, "the queue is empty", &out));
  ASSERT_TRUE(party->Write("q\n"));
  ASSERT_TRUE(ReadUntil(*party, "the party is over", &out));
  EXPECT_EQ(party->Wait(), 0);

  auto has = [&](const std::string& text) {
    return std::find(out.begin(), out.end(), text) != out.end();
  };
  EXPECT_TRUE(has("no song 99999"));
  EXPECT_TRUE(has("unreserved " + std::to_string(s1)));
  EXPECT_TRUE(has("77777 is not reserved"));
  EXPECT_TRUE(has(std::to_string(s2) + "\tSong 2\tS"));
  EXPECT_TRUE(has("skipped " + std::to_string(t)));
  std::vector<std::string> played;
  for (const std::string& line : out)
    if (line.rfind("playing ", 0) == 0)
      played.push_back(line.substr(8, line.find(' ', 8) - 8));
  EXPECT_EQ(played, (std::vector<std::string>{std::to_string(t), std::to_string(s2),
                                              std::to_string(s3)}));

  // The display's list after every change, and the next song at each end.
  const std::string title = "Twinkle, Twinkle, Little Star";
  const std::vector<std::string> lists = LogLines("copy 10600 260 ");
  const std::vector<std::string> want = {
      Hex(DisplayList({{t, title}, {s1, "Song 1"}, {s2, "Song 2"}})), // reserved
      Hex(DisplayList({{s1, "Song 1"}, {s2, "Song 2"}})),              // taken
      Hex(DisplayList({{s1, "Song 1"}, {s2, "Song 2"}, {s3, "Song 3"}})),
      Hex(DisplayList({{s2, "Song 2"}, {s3, "Song 3"}})), // x
      Hex(DisplayList({{s3, "Song 3"}})),                 // taken
      Hex(DisplayList({})),
  };
  EXPECT_EQ(lists, want);
  const std::vector<std::string> next = LogLines("copy 10601 ");
  EXPECT_EQ(next, (std::vector<std::string>{"11 " + Hex(Le(s2) + "Song 2" + '\0'),
                                            "11 " + Hex(Le(s3) + "Song 3" + '\0')}));
  // An emptied queue leaves no saved queue.
  EXPECT_FALSE(std::filesystem::exists(Path("album/party.queue")));
}

TEST_F(PartyCommand, CtrlCStopsTheSongAndTheSavedQueueIsTakenUpAgain) {
  std::map<std::string, int> n = Build(2, true);
  const int t = n["Twinkle, Twinkle, Little Star"], s1 = n["Song 1"], s2 = n["Song 2"];
  auto party = Party({"party", std::to_string(t), std::to_string(s1), "--no-display"});
  ASSERT_TRUE(party);
  ASSERT_TRUE(ReadUntil(*party, "playing " + std::to_string(t)));
  ASSERT_TRUE(party->Write(std::to_string(s2) + "\n"));
  ASSERT_TRUE(ReadUntil(*party, "queue: " + std::to_string(t) + " " + std::to_string(s1) + " " +
                                    std::to_string(s2)));
  party->Kill(SIGINT);
  std::vector<std::string> out;
  ReadUntil(*party, "the party was stopped", &out);
  EXPECT_EQ(party->Wait(), 130);
  EXPECT_NE(std::find(out.begin(), out.end(), "stopped"), out.end());

  // A plain start says a queue is saved; --resume takes it up, the song
  // that was playing first.
  const systest::CommandRun plain = Host("party --no-display < /dev/null");
  EXPECT_EQ(plain.status, 0) << plain.out;
  EXPECT_NE(plain.out.find("a queue of an earlier party is saved"), std::string::npos) << plain.out;
  auto resumed = Party({"party", "--resume", "--no-display"});
  ASSERT_TRUE(resumed);
  std::vector<std::string> again;
  ASSERT_TRUE(ReadUntil(*resumed, "resumed 3 songs", &again));
  ASSERT_TRUE(ReadUntil(*resumed, "queue: ", &again));
  EXPECT_EQ(again.back(), "queue: " + std::to_string(t) + " " + std::to_string(s1) + " " +
                              std::to_string(s2));
  ASSERT_TRUE(ReadUntil(*resumed, "playing " + std::to_string(t)));
  ASSERT_TRUE(resumed->Write("q\n"));
  EXPECT_TRUE(ReadUntil(*resumed, "the party is over"));
  EXPECT_EQ(resumed->Wait(), 0);
}

// The states a scripted party's queue goes through, as its "queue:" lines.
std::vector<std::string> QueueStates(const std::vector<std::string>& lines) {
  std::vector<std::string> states;
  for (const std::string& line : lines)
    if (line.rfind("queue:", 0) == 0)
      states.push_back(line);
  return states;
}

std::string StateOfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return "queue:";
  std::ostringstream text;
  text << in.rdbuf();
  const auto songs = host::ParsePartyQueue(text.str());
  if (!songs)
    return "damaged";
  std::string state = "queue:";
  for (const QueuedSong& s : *songs)
    state += " " + std::to_string(s.number);
  return state;
}

TEST_F(PartyCommand, AKillAtAnyMomentLeavesTheQueueOfTheLastCompletedChange) {
  // Songs without notes: a whole party lasts a fraction of a second.
  ASSERT_EQ(systest::RunCommand(kBin + "/make-test-catalogue --songs 5 --folders 1 " +
                                Path("songs") + " > /dev/null")
                .status,
            0);
  ASSERT_EQ(Host("album build " + Path("songs/f0001")).status, 0);
  std::vector<std::string> numbers;
  for (int i = 1; i <= 5; ++i)
    numbers.push_back(std::to_string(i));
  auto num = [&](int i) { return numbers[static_cast<size_t>(i - 1)]; };
  // The typed lines come from a file, all there before the party starts: the
  // same changes in the same order every time.
  {
    std::ofstream script(Path("script"));
    script << num(4) << "\nx " << num(2) << "\n" << num(5) << "\n";
  }
  std::string env;
  for (const std::string& e : Env())
    env += e + " ";
  const std::string command = "exec env " + env + kBin + "/vexo3 party " + num(1) + " " + num(2) +
                              " " + num(3) + " --no-display < " + Path("script");
  auto run = [&](std::optional<std::chrono::microseconds> killAfter) {
    std::filesystem::remove(Path("album/party.queue"));
    auto party = systest::SpawnedChild::Start("/bin/sh", {"-c", command});
    EXPECT_TRUE(party);
    std::vector<std::string> out;
    if (!party)
      return out;
    if (killAfter) {
      std::this_thread::sleep_for(*killAfter);
      party->Kill(SIGKILL);
    }
    while (auto line = party->ReadLine(30000))
      out.push_back(*line);
    party->Wait();
    return out;
  };
  // The whole run's states, from the first reservations to the empty queue.
  const std::vector<std::string> states = QueueStates(run(std::nullopt));
  ASSERT_GE(states.size(), 6u);
  EXPECT_EQ(states.back(), "queue:");
  EXPECT_EQ(states.front(), "queue: " + num(1) + " " + num(2) + " " + num(3));
  const auto began = std::chrono::steady_clock::now();
  run(std::nullopt);
  const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - began);

  std::mt19937 rng(37);
  std::uniform_int_distribution<int64_t> moment(0, whole.count());
  for (int round = 0; round < 200; ++round) {
    const std::vector<std::string> printed =
        QueueStates(run(std::chrono::microseconds(moment(rng))));
    // The state saved is the last one told, or the one after it when the
    // kill came between its saving and its line.
    const size_t told = printed.size();
    ASSERT_LE(told, states.size());
    const std::string saved = StateOfFile(Path("album/party.queue"));
    const std::string last = told == 0 ? "queue:" : states[told - 1];
    const std::string after = told < states.size() ? states[told] : last;
    EXPECT_TRUE(saved == last || saved == after)
        << "round " << round << ": saved " << saved << ", told " << last;
    if (round % 40 == 0 && saved != "queue:") {
      // --resume re-reserves exactly that queue.
      std::filesystem::copy_file(Path("album/party.queue"), Path("kept.queue"),
                                 std::filesystem::copy_options::overwrite_existing);
      auto resumed = Party({"party", "--resume", "--no-display"});
      ASSERT_TRUE(resumed);
      std::vector<std::string> lines;
      ASSERT_TRUE(ReadUntil(*resumed, "queue: ", &lines));
      EXPECT_EQ(lines.back(), saved);
      resumed->Write("q\n");
      resumed->CloseInput();
      while (resumed->ReadLine(30000)) {
      }
      resumed->Wait();
    }
  }
}

} // namespace
