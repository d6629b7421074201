// The audio mixer: mixers with a capability record, destination and source
// lines by component type or id, controls by type, their values read and
// written per channel or per list entry, and change notices to a window
// (MM_MIXM_CONTROL_CHANGE) or a callback. Line ids: destination d is d, source
// s of destination d is (d + 1) << 16 | s. Backends: ALSA's simple mixer of
// the "default" control device (none where it has no capture element, or
// where $VEXO_MIC_WAV stands in for the microphone), and a scripted mixer
// for the tests (below).
#pragma once

#include "platform/win/messages.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace media {

inline constexpr uint32_t MM_MIXM_LINE_CHANGE = 0x03D0;
inline constexpr uint32_t MM_MIXM_CONTROL_CHANGE = 0x03D1;

enum MixerResult : uint32_t {
  kMixerOk = 0,
  kMixerBadDevice = 2,
  kMixerAllocated = 4,
  kMixerBadHandle = 5,
  kMixerNoDriver = 6,
  kMixerNoMemory = 7,
  kMixerBadFlag = 10,
  kMixerBadParam = 11,
  kMixerBadLine = 1024,
  kMixerBadControl = 1025,
};

// Component types of lines.
inline constexpr uint32_t kDstSpeakers = 4;
inline constexpr uint32_t kDstWaveIn = 7;
inline constexpr uint32_t kSrcLine = 0x1002;
inline constexpr uint32_t kSrcMicrophone = 0x1003;
inline constexpr uint32_t kSrcSynthesizer = 0x1004;
inline constexpr uint32_t kSrcCompactDisc = 0x1005;
inline constexpr uint32_t kSrcPcSpeaker = 0x1007;
inline constexpr uint32_t kSrcWaveOut = 0x1008;

// Control types.
inline constexpr uint32_t kControlOnOff = 0x20010001;
inline constexpr uint32_t kControlMute = 0x20010002;
inline constexpr uint32_t kControlVolume = 0x50030001;
inline constexpr uint32_t kControlMux = 0x70010001;

struct MixerCaps {
  uint16_t manufacturerId = 0;
  uint16_t productId = 0;
  uint32_t driverVersion = 0;
  std::string name;
  uint32_t support = 0;
  uint32_t destinations = 0;
};

struct MixerLine {
  uint32_t lineId = 0;
  uint32_t destination = 0;
  uint32_t source = 0;
  uint32_t componentType = 0;
  uint32_t channels = 1;
  std::string name;
};

struct MixerControl {
  uint32_t controlId = 0;
  uint32_t lineId = 0;
  uint32_t type = 0;
  uint32_t items = 0; // list entries; 0 for other controls
  std::string name;
};

class MixerDevice {
public:
  virtual ~MixerDevice() = default;
  virtual MixerCaps Caps() const = 0;
  // Nonzero when the device cannot be opened now.
  virtual uint32_t Opened() { return kMixerOk; }
  virtual std::vector<MixerLine> Lines() = 0;
  virtual std::vector<MixerControl> Controls() = 0;
  // A volume holds one value (0-65535) per channel, a switch one 0/1 per
  // channel, a list one 0/1 per entry.
  virtual uint32_t Get(uint32_t controlId, std::vector<uint32_t>* values) = 0;
  virtual uint32_t Set(uint32_t controlId, const std::vector<uint32_t>& values) = 0;
  // Sets the one function called with a control's id whenever its value
  // changed, whoever changed it.
  virtual void Watch(std::function<void(uint32_t controlId)> changed) = 0;
};

using MixerHandle = uint32_t;
// Called with each control change, on the thread the device reports on.
using MixerCallback = std::function<void(MixerHandle, uint32_t controlId)>;

class MixerSystem {
public:
  int Count();
  uint32_t Caps(int mixer, MixerCaps* caps);
  uint32_t Open(int mixer, MixerCallback callback, MixerHandle* handle);
  // The same with the notices posted to a window (wParam the handle, lParam
  // the control's id).
  uint32_t Open(int mixer, win::Hwnd window, MixerHandle* handle);
  uint32_t Close(MixerHandle handle);
  uint32_t Caps(MixerHandle handle, MixerCaps* caps);
  // The first line of that component type.
  uint32_t LineByComponent(MixerHandle handle, uint32_t componentType, MixerLine* line);
  uint32_t LineById(MixerHandle handle, uint32_t lineId, MixerLine* line);
  // The first control of that type on the line.
  uint32_t ControlByType(MixerHandle handle, uint32_t lineId, uint32_t type,
                         MixerControl* control);
  uint32_t Get(MixerHandle handle, uint32_t controlId, std::vector<uint32_t>* values);
  uint32_t Set(MixerHandle handle, uint32_t controlId, const std::vector<uint32_t>& values);

  void UseDevices(std::vector<std::shared_ptr<MixerDevice>> devices);

private:
  struct Open_ {
    std::shared_ptr<MixerDevice> device;
    MixerCallback callback;
  };
  std::shared_ptr<MixerDevice> DeviceOf(MixerHandle handle);
  void Changed(MixerDevice* device, uint32_t controlId);
  std::recursive_mutex mutex_;
  std::vector<std::shared_ptr<MixerDevice>> devices_;
  std::map<MixerHandle, Open_> opens_;
  MixerHandle next_ = 1;
};

// The process-wide mixers.
MixerSystem& Mixers();

// A mixer whose lines, controls and values a test sets, which logs what is
// written to it and reports every change, its own writes included.
class ScriptedMixer final : public MixerDevice {
public:
  explicit ScriptedMixer(MixerCaps caps);
  // Adds a line and returns its id.
  uint32_t AddLine(uint32_t destination, int source, uint32_t componentType, uint32_t channels,
                   std::string name);
  // Adds a control with its first values and returns its id.
  uint32_t AddControl(uint32_t lineId, uint32_t type, std::vector<uint32_t> values,
                      std::string name = {});
  // A change made by the user: the value changes and is reported.
  void UserSet(uint32_t controlId, std::vector<uint32_t> values);
  std::vector<uint32_t> Value(uint32_t controlId) const;
  // The controls written through Set, in order.
  std::vector<uint32_t> Writes() const;
  void SetOpenResult(uint32_t result);
  void FailGet(uint32_t controlId);

  MixerCaps Caps() const override;
  uint32_t Opened() override;
  std::vector<MixerLine> Lines() override;
  std::vector<MixerControl> Controls() override;
  uint32_t Get(uint32_t controlId, std::vector<uint32_t>* values) override;
  uint32_t Set(uint32_t controlId, const std::vector<uint32_t>& values) override;
  void Watch(std::function<void(uint32_t)> changed) override;

private:
  void Report(uint32_t controlId);
  mutable std::mutex mutex_;
  MixerCaps caps_;
  std::vector<MixerLine> lines_;
  std::vector<MixerControl> controls_;
  std::map<uint32_t, std::vector<uint32_t>> values_;
  std::vector<uint32_t> writes_;
  std::function<void(uint32_t)> watcher_;
  uint32_t openResult_ = kMixerOk;
  uint32_t failGet_ = 0;
};

// The recording mixer on ALSA's simple mixer of control device ctlName, from
// the system's configuration or from configText when it is not empty
// (tests); nullptr when it does not open or has no "Capture" element.
std::shared_ptr<MixerDevice> AlsaMixerDevice(std::string ctlName, std::string description,
                                             std::string configText = {});
// The "default" control device's mixer, when it has one.
std::vector<std::shared_ptr<MixerDevice>> AlsaMixerDevices();

} // namespace media
