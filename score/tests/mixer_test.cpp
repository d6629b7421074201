#include "score/score_mixer.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>

namespace {

using media::ScriptedMixer;
using score::CScoreMixer;

// A sound card's mixer: speakers with wave and synthesizer, a recording
// destination whose first source is line 0x20000, a microphone among its
// sources, and the wave-input destination with volume, mute and a 4-entry list.
struct Card {
  explicit Card(uint16_t manufacturer = 1) {
    media::MixerCaps caps;
    caps.manufacturerId = manufacturer;
    caps.name = "Scripted Mixer";
    mixer = std::make_shared<ScriptedMixer>(caps);
    const uint32_t speakers = mixer->AddLine(0, -1, media::kDstSpeakers, 2, "Speakers");
    mixer->AddControl(speakers, media::kControlVolume, {40000, 40000});
    mixer->AddControl(mixer->AddLine(0, 0, media::kSrcWaveOut, 2, "Wave"),
                      media::kControlVolume, {30000, 30000});
    mixer->AddControl(mixer->AddLine(0, 1, media::kSrcSynthesizer, 2, "Synth"),
                      media::kControlVolume, {30000, 30000});
    mixer->AddLine(1, -1, media::kDstWaveIn, 2, "Recording");
    mixer->AddLine(1, 0, media::kSrcCompactDisc, 2, "CD");
    const uint32_t mic = mixer->AddLine(1, 1, media::kSrcMicrophone, 1, "Mic");
    micMute = mixer->AddControl(mic, media::kControlMute, {1});
    volume = mixer->AddControl(1, media::kControlVolume, {1000, 3000});
    inputMute = mixer->AddControl(1, media::kControlMute, {1, 1});
    list = mixer->AddControl(1, media::kControlMux, {1, 0, 0, 0});
    media::Mixers().UseDevices({mixer});
  }
  ~Card() { media::Mixers().UseDevices({}); }

  std::shared_ptr<ScriptedMixer> mixer;
  uint32_t volume = 0, inputMute = 0, list = 0, micMute = 0;
};

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
