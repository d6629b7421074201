// The games as real processes against a scripted host: what each start
// shows and how it ends, one game at a time under races, the song records
// taken, a silent host, and the order of the goodbye messages.
#include "games/game_traits.h"

#include "platform/res/bundle.h"
#include "platform/sys/instance.h"
#include "platform/win/tests/support/child_process.h"
#include "games/tests/support/game_session.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace games {
namespace {

namespace fs = std::filesystem;
using wintest::ChildProcess;

const std::string kBin = VEXO_BIN_DIR;

std::string ProgramOf(const GameTraits& g) { return kBin + "/" + std::string(g.name); }

std::string StringOf(const GameTraits& g, uint32_t id) {
  auto bundle = res::Bundle::Load(g.bundle, kBin);
  return bundle ? bundle->String(id).value_or("") : "";
}

int ExitCode(std::optional<int> status) {
  return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

class GameProcess : public ::testing::Test {
protected:
  void SetUp() override {
    gamestest::StartGameSession();
    dir_ = fs::temp_directory_path() /
           ("games-proc-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    boxes_ = (dir_ / "boxes.log").string();
    setenv("VEXO_MESSAGEBOX_LOG", boxes_.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  void TearDown() override {
    host_.reset();
    unsetenv("VEXO_MESSAGEBOX_LOG");
    fs::remove_all(dir_);
  }

  void StartHost(std::vector<std::string> args = {}) {
    host_ = ChildProcess::Start(wintest::HelperPath("game_host"), args, true);
    ASSERT_TRUE(host_);
    ASSERT_TRUE(host_->ReadLineStartingWith("ready", 10000));
  }
  std::unique_ptr<ChildProcess> StartGame(const GameTraits& g,
                                          const std::string& program = {}) {
    return ChildProcess::Start(program.empty() ? ProgramOf(g) : program, {});
  }
  // The host's lines until one starts with prefix (included).
  std::vector<std::string> HostLinesUntil(const std::string& prefix, int timeoutMs = 10000) {
    std::vector<std::string> lines;
    while (auto line = host_->ReadLine(timeoutMs)) {
      lines.push_back(*line);
      if (line->rfind(prefix, 0) == 0)
        break;
    }
    return lines;
  }
  std::string Boxes() const {
    std::ifstream in(boxes_);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static std::string Box(const GameTraits& g, uint32_t id, uint32_t flags) {
    return StringOf(g, g.captionString) + "\t" + std::to_string(flags) + "\t" + StringOf(g, id) +
           "\n";
  }

  fs::path dir_;
  std::string boxes_;
  std::unique_ptr<ChildProcess> host_;
};

const GameTraits* const kGames[] = {&kDurm12, &kBolrixa};

TEST_F(GameProcess, StartsThatFailShowTheirMessageAndEnd) {
  constexpr uint32_t kError = 0x10, kInformation = 0x40;
  for (const GameTraits* g : kGames) {
    SCOPED_TRACE(std::string(g->name));
    // No host.
    fs::remove(boxes_);
    EXPECT_EQ(ExitCode(StartGame(*g)->Wait(20000)), 1);
    EXPECT_EQ(Boxes(), Box(*g, g->hostMissingString, kError));

    // Refused: the claim is already taken when the host is asked.
    fs::remove(boxes_);
    StartHost({"--allow", "0"});
    EXPECT_EQ(ExitCode(StartGame(*g)->Wait(20000)), 1);
    EXPECT_EQ(Boxes(), Box(*g, g->refusedString, kError));
    EXPECT_EQ(host_->ReadLine(5000).value_or(""), "recv 1036 0 claim=held");

    // Another game's presence window.
    fs::remove(boxes_);
    StartHost({"--presence"});
    EXPECT_EQ(ExitCode(StartGame(*g)->Wait(20000)), 1);
    EXPECT_EQ(Boxes(), Box(*g, g->otherGameString, kInformation));

    // Another game's claim: the host is never asked.
    fs::remove(boxes_);
    StartHost();
    {
      auto claim = sys::InstanceGuard::TryAcquire("VelmorithGame");
      ASSERT_TRUE(claim);
      EXPECT_EQ(ExitCode(StartGame(*g)->Wait(20000)), 1);
    }
    EXPECT_EQ(Boxes(), Box(*g, g->otherGameString, kInformation));
    host_->WriteLine("quit");
    EXPECT_FALSE(host_->ReadLineStartingWith("recv", 2000));

    // No bundle beside the program.
    fs::remove(boxes_);
    const fs::path lone = dir_ / std::string(g->name);
    fs::copy_file(ProgramOf(*g), lone, fs::copy_options::overwrite_existing);
    EXPECT_EQ(ExitCode(StartGame(*g, lone.string())->Wait(20000)), 1);
    EXPECT_EQ(Boxes(), std::string(g->missingCaption) + "\t64\t" + std::string(g->missingBundle) +
                           "\n");
  }
}

TEST_F(GameProcess, NormalStartRunsUntilTheHostClosesIt) {
  for (const GameTraits* g : kGames)
    for (const char* closer : {"close presence", "close frame"}) {
      SCOPED_TRACE(std::string(g->name) + " " + closer);
      fs::remove(boxes_);
      StartHost();
      auto game = StartGame(*g);
      std::vector<std::string> lines = HostLinesUntil("recv 1025");
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.front(), "recv 1036 0 claim=held");
      EXPECT_EQ(lines.back(), "recv 1025 0");
      // Durm12 asks for the song count with its new document (a send, so
      // the host may answer it before the GameStart posted first).
      if (g == &kDurm12) {
        bool asked = false;
        for (const std::string& line : lines)
          asked = asked || line.rfind("recv 1031 ", 0) == 0;
        if (!asked)
          asked = host_->ReadLineStartingWith("recv 1031 ", 10000).has_value();
        ASSERT_TRUE(asked);
      }
      // Bolrixa names its frame only on a click: closed through the presence
      // window alone.
      if (g == &kBolrixa && std::string(closer) == "close frame")
        continue;
      host_->WriteLine(closer);
      lines = HostLinesUntil("recv 1035");
      ASSERT_GE(lines.size(), 2u);
      EXPECT_EQ(lines[lines.size() - 2].rfind("recv 2306 ", 0), 0u) << lines[lines.size() - 2];
      EXPECT_EQ(lines.back(), "recv 1035 0");
      EXPECT_EQ(ExitCode(game->Wait(10000)), 0);
      EXPECT_EQ(Boxes(), "");
      host_->WriteLine("quit");
    }
}

TEST_F(GameProcess, OnlyTheHostsRightRecordIsTakenAndEachCopyReturnsZero) {
  StartHost();
  auto game = StartGame(kDurm12);
  ASSERT_TRUE(host_->ReadLineStartingWith("recv 1031 ", 10000));
  host_->WriteLine("variants");
  std::vector<std::string> lines = HostLinesUntil("recv 1029");
  int copies = 0;
  for (const std::string& line : lines)
    if (line.rfind("copy ", 0) == 0) {
      ++copies;
      EXPECT_NE(line.find(" result 0"), std::string::npos) << line;
    }
  // 800, then 801 bytes: the first of the 801-byte ones is right.
  EXPECT_EQ(lines.back(), "recv 1029 5");
  EXPECT_GE(copies, 5);
  host_->WriteLine("close presence");
  EXPECT_TRUE(host_->ReadLineStartingWith("recv 1035", 10000));
  EXPECT_EQ(ExitCode(game->Wait(10000)), 0);
}

TEST_F(GameProcess, ARecordSentWhileTheGameWaitsInASendArrives) {
  StartHost({"--record-during-count", "--score", "91"});
  auto game = StartGame(kDurm12);
  std::vector<std::string> lines = HostLinesUntil("recv 1029");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "recv 1029 501");
  // PlayStopped is answered with GameRegister.
  EXPECT_TRUE(host_->ReadLineStartingWith("recv 1028 ", 10000));
  host_->WriteLine("close presence");
  EXPECT_TRUE(host_->ReadLineStartingWith("recv 1035", 10000));
  EXPECT_EQ(ExitCode(game->Wait(10000)), 0);
}

TEST_F(GameProcess, ASilentHostEndsTheGameWithinTheTimeout) {
  StartHost({"--hang-ms", "9000"});
  const auto started = std::chrono::steady_clock::now();
  auto game = StartGame(kDurm12);
  // Five seconds of waiting, then the host counts as lost.
  EXPECT_EQ(ExitCode(game->Wait(20000)), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(9));
  EXPECT_EQ(Boxes(), Box(kDurm12, kDurm12.hostLostString, 0x10));
}

TEST_F(GameProcess, TwoGamesStartedTogetherOnlyOneRuns) {
  StartHost();
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    fs::remove(boxes_);
    const GameTraits& first = round % 2 ? kBolrixa : kDurm12;
    const GameTraits& second = round % 2 ? kDurm12 : kBolrixa;
    auto a = StartGame(first);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto b = StartGame(second);
    // One of them ends with the other-game message; the other runs on.
    int ended = 0;
    std::optional<int> codeA, codeB;
    for (int i = 0; i < 2000 && !codeA && !codeB; ++i) {
      codeA = a->Wait(5);
      codeB = b->Wait(5);
    }
    ASSERT_TRUE(codeA || codeB);
    ChildProcess& running = codeA ? *b : *a;
    const GameTraits& loser = codeA ? first : second;
    ended = ExitCode(codeA ? codeA : codeB);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(Boxes(), Box(loser, loser.otherGameString, 0x40));
    EXPECT_FALSE(running.Wait(300)) << "the first game runs on";
    host_->WriteLine("close presence");
    EXPECT_EQ(ExitCode(running.Wait(10000)), 0);
  }
}

} // namespace
} // namespace games
