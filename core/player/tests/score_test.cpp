// Binding the singing score's entry points on the module the host hands
// over, and the optional bank manager.
#include "common/player_fixture.h"

#include "core/player/bankmanager.h"
#include "core/player/scoretable.h"
#include "core/player/tambloapp.h"
#include "platform/sys/library.h"

#include <gtest/gtest.h>

namespace {

using namespace playertest;

sys::ModuleHandle LoadFixture(const std::string& folder, const char* name) {
  std::string error;
  auto library = sys::Library::Load(kFixtures + "/" + folder, name, &error);
  EXPECT_TRUE(library) << error;
  return library ? library->Release() : nullptr;
}

TEST(ScoreBinding, BindsWhatTheModuleHasAndCallsThePauseOnlyWhenBound) {
  struct Row {
    const char* folder;
    int bound;
    bool pauses;
  };
  const Row rows[] = {{"score-full", 12, true}, {"score-lacking", 11, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.folder);
    sys::ModuleHandle module = LoadFixture(row.folder, "Nyvanta");
    ASSERT_TRUE(module);
    core::CTambloApp app(VEXO_TESTS_DIR);
    EXPECT_EQ(app.BindScoreLibrary(module), 1);
    EXPECT_EQ(app.scoreTable.BoundCount(), row.bound);
    for (int i = 0; i < core::kScoreNameCount; ++i) {
      if (i != 4) {
        EXPECT_EQ(app.scoreTable.Entry(i), sys::FindName(module, core::kScoreNames[i]))
            << core::kScoreNames[i];
      }
    }
    EXPECT_TRUE(app.scoreTable.ScoringActive());
    // An embedded wave pauses scoring, or plays on without when it cannot.
    EXPECT_EQ(app.scoreTable.PauseScoring(1), row.pauses);
    auto pauses = reinterpret_cast<int32_t (*)()>(sys::FindName(module, "FakeScore_Pauses"));
    auto last = reinterpret_cast<int32_t (*)()>(sys::FindName(module, "FakeScore_LastPause"));
    ASSERT_TRUE(pauses && last);
    EXPECT_EQ(pauses(), row.pauses ? 1 : 0);
    EXPECT_EQ(last(), row.pauses ? 1 : -1);
  }
}

TEST(ScoreBinding, NoModuleBindsNothing) {
  core::CTambloApp app(VEXO_TESTS_DIR);
  EXPECT_EQ(app.BindScoreLibrary(nullptr), 1);
  EXPECT_EQ(app.scoreTable.BoundCount(), 0);
  EXPECT_FALSE(app.scoreTable.ScoringActive());
  EXPECT_FALSE(app.scoreTable.PauseScoring(0));
}

TEST(BankManager, IsLoadedWhenPresentAndItsAbsenceIsNoError) {
  core::BankManager bank;
  EXPECT_EQ(bank.LoadBankManager(kFixtures + "/bank-manager"), 1);
  ASSERT_TRUE(bank.Present());
  uintptr_t connection = 0;
  EXPECT_EQ(bank.EntryPoint()(0, 101, reinterpret_cast<uintptr_t>(&connection), 0), 0);
  bank.FreeBankManager();
  EXPECT_FALSE(bank.Present());

  Scratch empty;
  EXPECT_EQ(bank.LoadBankManager(empty.Path()), 0);
  EXPECT_FALSE(bank.Present());
  // A library of that name without the entry point is no bank manager.
  ASSERT_TRUE(empty.Link(kFixtures + "/score-full/libNyvanta.so", "libZYRMAN32.so"));
  EXPECT_EQ(bank.LoadBankManager(empty.Path()), 0);
}

} // namespace
