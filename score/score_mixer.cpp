#include "score/score_mixer.h"

#include <algorithm>

namespace score {

using namespace media;

std::string MixerErrorText(uint32_t code, MixerCall call) {
  switch (code) {
  case kMixerOk:
    return "No Error.";
  case kMixerBadDevice:
    if (call == MixerCall::kOpen)
      return "The uMxId parameter specifies an invalid device identifier.";
    if (call == MixerCall::kCaps)
      return "The specified device identifier is out of range.";
    return "The hmxobj parameter specifies an invalid device identifier.";
  case kMixerAllocated:
    if (call == MixerCall::kOpen)
      return "The specified resource is already allocated by the maximum number of clients "
             "possible.";
    break;
  case kMixerBadHandle:
    if (call == MixerCall::kOpen)
      return "The uMxId parameter specifies an invalid handle.";
    if (call == MixerCall::kCaps)
      return "The mixer device handle is invalid.";
    if (call == MixerCall::kClose)
      return "Specified device handle is invalid.";
    return "The hmxobj parameter specifies an invalid handle.";
  case kMixerNoDriver:
    if (call == MixerCall::kOpen)
      return "No mixer device is available for the object specified by uMxId. Note that the "
             "location referenced by uMxId will also contain the value  - 1.";
    return "No mixer device is available for the object specified by hmxobj.";
  case kMixerNoMemory:
    if (call == MixerCall::kOpen)
      return "Unable to allocate resources.";
    break;
  case kMixerBadFlag:
    return "One or more flags are invalid.";
  case kMixerBadParam:
    return "One or more parameters are invalid.";
  case kMixerBadLine:
    if (call == MixerCall::kLine)
      return "The audio line reference is invalid.";
    break;
  case kMixerBadControl:
    if (call == MixerCall::kControl)
      return "The control reference is invalid.";
    break;
  default:
    break;
  }
  return "Unidentified Error.";
}

CScoreMixer::~CScoreMixer() {
  Close();
}

uint32_t CScoreMixer::Keep(uint32_t code, MixerCall call) {
  error_ = MixerErrorText(code, call);
  return code;
}

bool CScoreMixer::Open(win::Hwnd window) {
  return OpenWith(true, window, nullptr);
}

bool CScoreMixer::Open(MixerCallback callback) {
  return OpenWith(false, 0, std::move(callback));
}

bool CScoreMixer::OpenWith(bool window, win::Hwnd hwnd, MixerCallback callback) {
  Close();
  MixerHandle h = 0;
  const uint32_t r =
      window ? Mixers().Open(0, hwnd, &h) : Mixers().Open(0, std::move(callback), &h);
  if (Keep(r, MixerCall::kOpen) != kMixerOk)
    return false;
  handle_ = h;
  Keep(Mixers().Caps(handle_, &caps_), MixerCall::kCaps);
  if (caps_.manufacturerId == kReversedListManufacturer) {
    const int reversed[4] = {3, 2, 1, 0};
    std::copy(std::begin(reversed), std::end(reversed), order_);
  } else {
    const int straight[4] = {0, 1, 2, 3};
    std::copy(std::begin(straight), std::end(straight), order_);
  }
  ReadLines();
  ReadValues();
  return true;
}

void CScoreMixer::Close() {
  if (!handle_)
    return;
  Keep(Mixers().Close(handle_), MixerCall::kClose);
  handle_ = 0;
  saved_ = false;
  grace_ = 0;
}

uint32_t CScoreMixer::Control(uint32_t lineId, uint32_t type) {
  MixerControl c;
  if (Keep(Mixers().ControlByType(handle_, lineId, type, &c), MixerCall::kControl) != kMixerOk)
    return 0;
  return c.controlId;
}

void CScoreMixer::ReadLines() {
  auto byComponent = [this](uint32_t type, MixerLine* line) {
    return Keep(Mixers().LineByComponent(handle_, type, line), MixerCall::kLine) == kMixerOk;
  };
  if (byComponent(kDstSpeakers, &speakers_))
    speakersVolume_ = Control(speakers_.lineId, kControlVolume);
  if (byComponent(kSrcWaveOut, &waveOut_))
    waveOutVolume_ = Control(waveOut_.lineId, kControlVolume);
  if (byComponent(kSrcSynthesizer, &synth_))
    synthVolume_ = Control(synth_.lineId, kControlVolume);
  // The first source of the recording destination and its siblings.
  if (Keep(Mixers().LineById(handle_, 0x20000, &recordFirst_), MixerCall::kLine) == kMixerOk) {
    for (uint32_t s = 0;; ++s) {
      MixerLine line;
      if (Mixers().LineById(handle_, (recordFirst_.destination + 1) << 16 | s, &line) !=
          kMixerOk)
        break;
      uint32_t volume = Control(line.lineId, kControlVolume);
      switch (line.componentType) {
      case kSrcCompactDisc:
        cdVolume_ = volume;
        break;
      case kSrcLine:
        lineVolume_ = volume;
        break;
      case kSrcMicrophone:
        micVolume_ = volume;
        micMuteControl_ = Control(line.lineId, kControlMute);
        micOnOff_ = Control(line.lineId, kControlOnOff);
        break;
      case kSrcPcSpeaker:
        pcSpeakerVolume_ = volume;
        break;
      default:
        break;
      }
    }
  }
  if (byComponent(kDstWaveIn, &waveIn_)) {
    volumeControl_ = Control(waveIn_.lineId, kControlVolume);
    inputMuteControl_ = Control(waveIn_.lineId, kControlMute);
    listControl_ = Control(waveIn_.lineId, kControlMux);
  }
}

bool CScoreMixer::Read(uint32_t control, std::vector<uint32_t>* values) {
  if (!handle_ || !control)
    return false;
  return Keep(Mixers().Get(handle_, control, values), MixerCall::kControl) == kMixerOk;
}

void CScoreMixer::Write(uint32_t control, const std::vector<uint32_t>& values) {
  if (!handle_ || !control)
    return;
  Keep(Mixers().Set(handle_, control, values), MixerCall::kControl);
}

void CScoreMixer::WriteEntry(int entry, uint32_t value) {
  std::vector<uint32_t> list;
  if (!Read(listControl_, &list) || entry >= static_cast<int>(list.size()))
    return;
  list[static_cast<size_t>(entry)] = value;
  Write(listControl_, list);
}

void CScoreMixer::ReadValues() {
  std::vector<uint32_t> v;
  if (Read(volumeControl_, &v) && !v.empty())
    recordVolume_ = *std::max_element(v.begin(), v.end());
  if (Read(listControl_, &v))
    selection_ = v;
  if (Read(inputMuteControl_, &v))
    inputMuted_ = std::any_of(v.begin(), v.end(), [](uint32_t x) { return x != 0; });
  if (Read(micMuteControl_, &v))
    micMuted_ = std::any_of(v.begin(), v.end(), [](uint32_t x) { return x != 0; });
}

void CScoreMixer::SetUp() {
  if (!handle_)
    return;
  if (!saved_) {
    // What cannot be read is neither saved nor put back.
    savedVolume_.clear();
    savedInputMute_.clear();
    savedMicMute_.clear();
    Read(volumeControl_, &savedVolume_);
    std::vector<uint32_t> list;
    if (Read(listControl_, &list) && list.size() >= 4) {
      savedFirst_ = list[static_cast<size_t>(FirstEntry())];
      savedFourth_ = list[static_cast<size_t>(FourthEntry())];
    }
    Read(inputMuteControl_, &savedInputMute_);
    Read(micMuteControl_, &savedMicMute_);
    saved_ = true;
  }
  user_ = {};
  if (!savedVolume_.empty())
    Write(volumeControl_, std::vector<uint32_t>(savedVolume_.size(), kSetUpRecordVolume));
  WriteEntry(FirstEntry(), 0);
  WriteEntry(FourthEntry(), 1);
  if (!savedInputMute_.empty())
    Write(inputMuteControl_, std::vector<uint32_t>(savedInputMute_.size(), 0));
  if (!savedMicMute_.empty())
    Write(micMuteControl_, std::vector<uint32_t>(savedMicMute_.size(), 0));
  grace_ = kSetUpGrace;
  ReadValues();
}

void CScoreMixer::ControlChanged(uint32_t controlId) {
  if (!handle_ || !saved_)
    return;
  if (grace_ > 0) {
    --grace_;
    user_ = {};
  }
  std::vector<uint32_t> v;
  if (controlId == volumeControl_ && Read(controlId, &v) && !v.empty()) {
    recordVolume_ = *std::max_element(v.begin(), v.end());
    if (recordVolume_ != kSetUpRecordVolume)
      user_.volume = true;
  } else if (controlId == listControl_ && Read(controlId, &v) && v.size() >= 4) {
    selection_ = v;
    if (v[static_cast<size_t>(FirstEntry())] != 0)
      user_.first = true;
    if (v[static_cast<size_t>(FourthEntry())] != 1)
      user_.fourth = true;
  } else if (controlId == inputMuteControl_ && Read(controlId, &v)) {
    inputMuted_ = std::any_of(v.begin(), v.end(), [](uint32_t x) { return x != 0; });
    if (inputMuted_)
      user_.inputMute = true;
  } else if (controlId == micMuteControl_ && Read(controlId, &v)) {
    micMuted_ = std::any_of(v.begin(), v.end(), [](uint32_t x) { return x != 0; });
    if (micMuted_)
      user_.micMute = true;
  }
}

void CScoreMixer::Restore() {
  if (!handle_ || !saved_)
    return;
  if (!user_.volume && !savedVolume_.empty())
    Write(volumeControl_, savedVolume_);
  if (!user_.first)
    WriteEntry(FirstEntry(), savedFirst_);
  if (!user_.fourth)
    WriteEntry(FourthEntry(), savedFourth_);
  if (!user_.inputMute && !savedInputMute_.empty())
    Write(inputMuteControl_, savedInputMute_);
  if (!user_.micMute && !savedMicMute_.empty())
    Write(micMuteControl_, savedMicMute_);
  saved_ = false;
  grace_ = 0;
  ReadValues();
}

} // namespace score
