#include "score/score_mixer.h"
#include "score/tests/support/card.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>

namespace {

using media::ScriptedMixer;
using score::CScoreMixer;
using scoretest::Card;

// The mixer object with its notices queued, as a window's would be.
struct Scored {
  bool Open() {
    return mixer.Open([this](media::MixerHandle, uint32_t id) { notices.push_back(id); });
  }
  void Deliver() {
    while (!notices.empty()) {
      const uint32_t id = notices.front();
      notices.pop_front();
      mixer.ControlChanged(id);
    }
  }
  CScoreMixer mixer;
  std::deque<uint32_t> notices;
};

TEST(ScoreMixer, SetUpWritesTheRecordingValuesAndAbsorbsItsFiveNotices) {
  Card card;
  Scored s;
  ASSERT_TRUE(s.Open());
  EXPECT_EQ(s.mixer.RecordVolume(), 3000u);
  s.mixer.SetUp();
  EXPECT_EQ(card.mixer->Value(card.volume), (std::vector<uint32_t>{52428, 52428}));
  EXPECT_EQ(card.mixer->Value(card.list), (std::vector<uint32_t>{0, 0, 0, 1}));
  EXPECT_EQ(card.mixer->Value(card.inputMute), (std::vector<uint32_t>{0, 0}));
  EXPECT_EQ(card.mixer->Value(card.micMute), (std::vector<uint32_t>{0}));
  EXPECT_EQ(s.notices.size(), 5u);
  EXPECT_EQ(s.mixer.Grace(), 5);
  s.Deliver();
  EXPECT_EQ(s.mixer.Grace(), 0);
  const CScoreMixer::UserChanges& c = s.mixer.Changed();
  EXPECT_FALSE(c.volume || c.first || c.fourth || c.inputMute || c.micMute);
  s.mixer.Restore();
  // Each channel of the record volume comes back as it was.
  EXPECT_EQ(card.mixer->Value(card.volume), (std::vector<uint32_t>{1000, 3000}));
  EXPECT_EQ(card.mixer->Value(card.list), (std::vector<uint32_t>{1, 0, 0, 0}));
  EXPECT_EQ(card.mixer->Value(card.inputMute), (std::vector<uint32_t>{1, 1}));
  EXPECT_EQ(card.mixer->Value(card.micMute), (std::vector<uint32_t>{1}));
}

TEST(ScoreMixer, AUserChangeSurvivesTheRestore) {
  Card card;
  Scored s;
  ASSERT_TRUE(s.Open());
  s.mixer.SetUp();
  s.Deliver();
  card.mixer->UserSet(card.volume, {20000, 20000});
  card.mixer->UserSet(card.micMute, {1});
  s.Deliver();
  EXPECT_TRUE(s.mixer.Changed().volume);
  EXPECT_TRUE(s.mixer.Changed().micMute);
  EXPECT_FALSE(s.mixer.Changed().first);
  s.mixer.Restore();
  EXPECT_EQ(card.mixer->Value(card.volume), (std::vector<uint32_t>{20000, 20000}));
  EXPECT_EQ(card.mixer->Value(card.micMute), (std::vector<uint32_t>{1}));
  EXPECT_EQ(card.mixer->Value(card.list), (std::vector<uint32_t>{1, 0, 0, 0}));
  EXPECT_EQ(card.mixer->Value(card.inputMute), (std::vector<uint32_t>{1, 1}));
}

TEST(ScoreMixer, TheGraceIsSpentOnTheSetUpsOwnNotices) {
  Card card;
  Scored s;
  ASSERT_TRUE(s.Open());
  s.mixer.SetUp();
  card.mixer->UserSet(card.volume, {20000, 20000}); // a sixth notice, queued behind the five
  s.Deliver();
  // The set-up's own notices came first and the grace is spent on them; the
  // user's notice is counted.
  EXPECT_TRUE(s.mixer.Changed().volume);
  s.mixer.Restore();
  EXPECT_EQ(card.mixer->Value(card.volume), (std::vector<uint32_t>{20000, 20000}));
}

TEST(ScoreMixer, ADoubleSetUpKeepsTheFirstSaveAndARestoreWithoutSetUpWritesNothing) {
  Card card;
  Scored s;
  ASSERT_TRUE(s.Open());
  s.mixer.Restore();
  EXPECT_TRUE(card.mixer->Writes().empty());
  s.mixer.SetUp();
  s.mixer.SetUp();
  s.Deliver();
  s.mixer.Restore();
  EXPECT_EQ(card.mixer->Value(card.volume), (std::vector<uint32_t>{1000, 3000}));
  EXPECT_EQ(card.mixer->Value(card.list), (std::vector<uint32_t>{1, 0, 0, 0}));
  EXPECT_EQ(card.mixer->Value(card.inputMute), (std::vector<uint32_t>{1, 1}));
  const size_t writes = card.mixer->Writes().size();
  s.mixer.Restore(); // a second stop
  EXPECT_EQ(card.mixer->Writes().size(), writes);
}

TEST(ScoreMixer, Manufacturer46UsesTheListBackwards) {
  Card card(46);
  card.mixer->UserSet(card.list, {0, 0, 1, 0});
  Scored s;
  ASSERT_TRUE(s.Open());
  EXPECT_EQ(s.mixer.FirstEntry(), 3);
  EXPECT_EQ(s.mixer.FourthEntry(), 0);
  s.mixer.SetUp();
  EXPECT_EQ(card.mixer->Value(card.list), (std::vector<uint32_t>{1, 0, 1, 0}));
  s.Deliver();
  s.mixer.Restore();
  EXPECT_EQ(card.mixer->Value(card.list), (std::vector<uint32_t>{0, 0, 1, 0}));
}

TEST(ScoreMixer, NoMixerOrAFailedOpenLeavesEverythingAsItWas) {
  {
    Scored s;
    EXPECT_FALSE(s.Open());
    EXPECT_FALSE(s.mixer.Available());
    EXPECT_EQ(s.mixer.LastError(),
              "No mixer device is available for the object specified by uMxId. Note that the "
              "location referenced by uMxId will also contain the value  - 1.");
    s.mixer.SetUp();
    s.mixer.Restore();
  }
  Card card;
  card.mixer->SetOpenResult(media::kMixerAllocated);
  Scored s;
  EXPECT_FALSE(s.Open());
  s.mixer.SetUp();
  EXPECT_TRUE(card.mixer->Writes().empty());
  EXPECT_EQ(s.mixer.LastError(),
            "The specified resource is already allocated by the maximum number of clients "
            "possible.");
}

TEST(ScoreMixer, ErrorTexts) {
  using score::MixerCall;
  struct Case {
    uint32_t code;
    MixerCall call;
    const char* text;
  };
  const Case cases[] = {
      {0, MixerCall::kOther, "No Error."},
      {2, MixerCall::kOther, "The hmxobj parameter specifies an invalid device identifier."},
      {2, MixerCall::kOpen, "The uMxId parameter specifies an invalid device identifier."},
      {2, MixerCall::kCaps, "The specified device identifier is out of range."},
      {4, MixerCall::kOther, "Unidentified Error."},
      {5, MixerCall::kOther, "The hmxobj parameter specifies an invalid handle."},
      {5, MixerCall::kOpen, "The uMxId parameter specifies an invalid handle."},
      {5, MixerCall::kCaps, "The mixer device handle is invalid."},
      {5, MixerCall::kClose, "Specified device handle is invalid."},
      {6, MixerCall::kOther, "No mixer device is available for the object specified by hmxobj."},
      {7, MixerCall::kOpen, "Unable to allocate resources."},
      {10, MixerCall::kOther, "One or more flags are invalid."},
      {11, MixerCall::kControl, "One or more parameters are invalid."},
      {1024, MixerCall::kLine, "The audio line reference is invalid."},
      {1025, MixerCall::kControl, "The control reference is invalid."},
      {3, MixerCall::kOther, "Unidentified Error."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(score::MixerErrorText(c.code, c.call), c.text) << c.code;
}

} // namespace
