#include "platform/media/mixer.h"

#include "platform/win/dispatch.h"

#include <algorithm>
#include <cstdlib>

namespace media {

void MixerSystem::UseDevices(std::vector<std::shared_ptr<MixerDevice>> devices) {
  std::vector<std::shared_ptr<MixerDevice>> old;
  {
    std::lock_guard lock(mutex_);
    old.swap(devices_);
    devices_ = std::move(devices);
    opens_.clear();
  }
  for (auto& d : old)
    d->Watch(nullptr);
  for (auto& d : devices_) {
    MixerDevice* raw = d.get();
    d->Watch([this, raw](uint32_t controlId) { Changed(raw, controlId); });
  }
}

void MixerSystem::Changed(MixerDevice* device, uint32_t controlId) {
  std::vector<std::pair<MixerHandle, MixerCallback>> calls;
  {
    std::lock_guard lock(mutex_);
    for (auto& [h, o] : opens_)
      if (o.device.get() == device && o.callback)
        calls.emplace_back(h, o.callback);
  }
  for (auto& [h, callback] : calls)
    callback(h, controlId);
}

int MixerSystem::Count() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(devices_.size());
}

uint32_t MixerSystem::Caps(int mixer, MixerCaps* caps) {
  std::lock_guard lock(mutex_);
  if (mixer < 0 || mixer >= static_cast<int>(devices_.size()))
    return kMixerBadDevice;
  if (!caps)
    return kMixerBadParam;
  *caps = devices_[static_cast<size_t>(mixer)]->Caps();
  return kMixerOk;
}

uint32_t MixerSystem::Open(int mixer, win::Hwnd window, MixerHandle* handle) {
  return Open(
      mixer,
      [window](MixerHandle h, uint32_t controlId) {
        win::PostMessage(window, MM_MIXM_CONTROL_CHANGE, h, static_cast<win::LParam>(controlId));
      },
      handle);
}

uint32_t MixerSystem::Open(int mixer, MixerCallback callback, MixerHandle* handle) {
  if (!handle)
    return kMixerBadParam;
  *handle = 0;
  std::lock_guard lock(mutex_);
  if (devices_.empty())
    return kMixerNoDriver;
  if (mixer < 0 || mixer >= static_cast<int>(devices_.size()))
    return kMixerBadDevice;
  auto device = devices_[static_cast<size_t>(mixer)];
  if (uint32_t r = device->Opened(); r != kMixerOk)
    return r;
  const MixerHandle h = next_++;
  opens_[h] = {device, std::move(callback)};
  *handle = h;
  return kMixerOk;
}

uint32_t MixerSystem::Close(MixerHandle handle) {
  std::lock_guard lock(mutex_);
  return opens_.erase(handle) ? kMixerOk : kMixerBadHandle;
}

std::shared_ptr<MixerDevice> MixerSystem::DeviceOf(MixerHandle handle) {
  std::lock_guard lock(mutex_);
  auto it = opens_.find(handle);
  return it == opens_.end() ? nullptr : it->second.device;
}

uint32_t MixerSystem::Caps(MixerHandle handle, MixerCaps* caps) {
  auto d = DeviceOf(handle);
  if (!d)
    return kMixerBadHandle;
  if (!caps)
    return kMixerBadParam;
  *caps = d->Caps();
  return kMixerOk;
}

uint32_t MixerSystem::LineByComponent(MixerHandle handle, uint32_t componentType,
                                      MixerLine* line) {
  auto d = DeviceOf(handle);
  if (!d)
    return kMixerBadHandle;
  for (const MixerLine& l : d->Lines())
    if (l.componentType == componentType) {
      *line = l;
      return kMixerOk;
    }
  return kMixerBadLine;
}

uint32_t MixerSystem::LineById(MixerHandle handle, uint32_t lineId, MixerLine* line) {
  auto d = DeviceOf(handle);
  if (!d)
    return kMixerBadHandle;
  for (const MixerLine& l : d->Lines())
    if (l.lineId == lineId) {
      *line = l;
      return kMixerOk;
    }
  return kMixerBadLine;
}

uint32_t MixerSystem::ControlByType(MixerHandle handle, uint32_t lineId, uint32_t type,
                                    MixerControl* control) {
  auto d = DeviceOf(handle);
  if (!d)
    return kMixerBadHandle;
  bool lineFound = false;
  for (const MixerLine& l : d->Lines())
    lineFound = lineFound || l.lineId == lineId;
  if (!lineFound)
    return kMixerBadLine;
  for (const MixerControl& c : d->Controls())
    if (c.lineId == lineId && c.type == type) {
      *control = c;
      return kMixerOk;
    }
  return kMixerBadControl;
}

uint32_t MixerSystem::Get(MixerHandle handle, uint32_t controlId, std::vector<uint32_t>* values) {
  auto d = DeviceOf(handle);
  if (!d)
    return kMixerBadHandle;
  if (!values)
    return kMixerBadParam;
  return d->Get(controlId, values);
}

uint32_t MixerSystem::Set(MixerHandle handle, uint32_t controlId,
                          const std::vector<uint32_t>& values) {
  auto d = DeviceOf(handle);
  if (!d)
    return kMixerBadHandle;
  return d->Set(controlId, values);
}

MixerSystem& Mixers() {
  static MixerSystem* system = [] {
    auto* s = new MixerSystem;
    const char* wav = std::getenv("VEXO_MIC_WAV");
    if (!(wav && *wav))
      s->UseDevices(AlsaMixerDevices());
    return s;
  }();
  return *system;
}

// --- Scripted mixer ------------------------------------------------------

ScriptedMixer::ScriptedMixer(MixerCaps caps) : caps_(std::move(caps)) {}

uint32_t ScriptedMixer::AddLine(uint32_t destination, int source, uint32_t componentType,
                                uint32_t channels, std::string name) {
  std::lock_guard lock(mutex_);
  MixerLine l;
  l.destination = destination;
  l.source = source < 0 ? 0 : static_cast<uint32_t>(source);
  l.lineId = source < 0 ? destination : (destination + 1) << 16 | static_cast<uint32_t>(source);
  l.componentType = componentType;
  l.channels = channels;
  l.name = std::move(name);
  lines_.push_back(l);
  if (source < 0)
    caps_.destinations = std::max(caps_.destinations, destination + 1);
  return l.lineId;
}

uint32_t ScriptedMixer::AddControl(uint32_t lineId, uint32_t type, std::vector<uint32_t> values,
                                   std::string name) {
  std::lock_guard lock(mutex_);
  MixerControl c;
  c.controlId = static_cast<uint32_t>(controls_.size() + 1);
  c.lineId = lineId;
  c.type = type;
  c.items = type == kControlMux ? static_cast<uint32_t>(values.size()) : 0;
  c.name = std::move(name);
  controls_.push_back(c);
  values_[c.controlId] = std::move(values);
  return c.controlId;
}

void ScriptedMixer::UserSet(uint32_t controlId, std::vector<uint32_t> values) {
  {
    std::lock_guard lock(mutex_);
    values_[controlId] = std::move(values);
  }
  Report(controlId);
}

std::vector<uint32_t> ScriptedMixer::Value(uint32_t controlId) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(controlId);
  return it == values_.end() ? std::vector<uint32_t>{} : it->second;
}

std::vector<uint32_t> ScriptedMixer::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

void ScriptedMixer::SetOpenResult(uint32_t result) {
  std::lock_guard lock(mutex_);
  openResult_ = result;
}

void ScriptedMixer::FailGet(uint32_t controlId) {
  std::lock_guard lock(mutex_);
  failGet_ = controlId;
}

MixerCaps ScriptedMixer::Caps() const {
  std::lock_guard lock(mutex_);
  return caps_;
}

uint32_t ScriptedMixer::Opened() {
  std::lock_guard lock(mutex_);
  return openResult_;
}

std::vector<MixerLine> ScriptedMixer::Lines() {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::vector<MixerControl> ScriptedMixer::Controls() {
  std::lock_guard lock(mutex_);
  return controls_;
}

uint32_t ScriptedMixer::Get(uint32_t controlId, std::vector<uint32_t>* values) {
  std::lock_guard lock(mutex_);
  auto it = values_.find(controlId);
  if (it == values_.end() || controlId == failGet_)
    return kMixerBadControl;
  *values = it->second;
  return kMixerOk;
}

uint32_t ScriptedMixer::Set(uint32_t controlId, const std::vector<uint32_t>& values) {
  {
    std::lock_guard lock(mutex_);
    auto it = values_.find(controlId);
    if (it == values_.end())
      return kMixerBadControl;
    if (values.size() != it->second.size())
      return kMixerBadParam;
    it->second = values;
    writes_.push_back(controlId);
  }
  Report(controlId);
  return kMixerOk;
}

void ScriptedMixer::Watch(std::function<void(uint32_t)> changed) {
  std::lock_guard lock(mutex_);
  watcher_ = std::move(changed);
}

void ScriptedMixer::Report(uint32_t controlId) {
  std::function<void(uint32_t)> watcher;
  {
    std::lock_guard lock(mutex_);
    watcher = watcher_;
  }
  if (watcher)
    watcher(controlId);
}

} // namespace media
