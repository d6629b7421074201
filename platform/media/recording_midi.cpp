#include "platform/media/recording_midi.h"

#include "platform/media/clock.h"

namespace media {

// Shared by the device and its ports, so that a port may outlive the device.
struct RecordingMidiOut::Log {
  mutable std::mutex mutex;
  MidiOutCaps caps;
  bool openFails = false;
  std::vector<RecordedMidi> messages;
  int opens = 0;
  int closes = 0;
};

class RecordingMidiOut::Port final : public MidiOutPort {
public:
  Port(std::shared_ptr<Log> log, uint32_t id) : log_(std::move(log)), id_(id) {}
  ~Port() override {
    std::lock_guard lock(log_->mutex);
    ++log_->closes;
  }

  bool ShortMessage(uint32_t message) override {
    RecordedMidi m;
    m.timeMs = media::NowMs();
    m.port = id_;
    m.shortMessage = message;
    std::lock_guard lock(log_->mutex);
    log_->messages.push_back(std::move(m));
    return true;
  }

  bool LongMessage(std::span<const uint8_t> bytes) override {
    if (bytes.empty())
      return false;
    RecordedMidi m;
    m.timeMs = media::NowMs();
    m.port = id_;
    m.longMessage.assign(bytes.begin(), bytes.end());
    std::lock_guard lock(log_->mutex);
    log_->messages.push_back(std::move(m));
    return true;
  }

private:
  std::shared_ptr<Log> log_;
  uint32_t id_;
};

RecordingMidiOut::RecordingMidiOut(std::string_view name, uint16_t productId)
    : log_(std::make_shared<Log>()) {
  MidiOutCaps& c = log_->caps;
  c.manufacturerId = 0xFF;
  c.productId = productId;
  c.driverVersion = 0x0100;
  c.SetName(name);
  c.technology = kTechMidiPort;
  c.voices = 0;
  c.notes = 0;
  c.channelMask = 0xFFFF;
  c.support = 0;
}

MidiOutCaps RecordingMidiOut::Caps() const {
  std::lock_guard lock(log_->mutex);
  return log_->caps;
}

std::unique_ptr<MidiOutPort> RecordingMidiOut::Open() {
  std::lock_guard lock(log_->mutex);
  if (log_->openFails)
    return nullptr;
  ++log_->opens;
  return std::make_unique<Port>(log_, static_cast<uint32_t>(log_->opens));
}

void RecordingMidiOut::SetCaps(const MidiOutCaps& caps) {
  std::lock_guard lock(log_->mutex);
  log_->caps = caps;
}

void RecordingMidiOut::SetOpenFails(bool fails) {
  std::lock_guard lock(log_->mutex);
  log_->openFails = fails;
}

std::vector<RecordedMidi> RecordingMidiOut::Messages() const {
  std::lock_guard lock(log_->mutex);
  return log_->messages;
}

size_t RecordingMidiOut::MessageCount() const {
  std::lock_guard lock(log_->mutex);
  return log_->messages.size();
}

void RecordingMidiOut::Clear() {
  std::lock_guard lock(log_->mutex);
  log_->messages.clear();
}

int RecordingMidiOut::Opens() const {
  std::lock_guard lock(log_->mutex);
  return log_->opens;
}

int RecordingMidiOut::Closes() const {
  std::lock_guard lock(log_->mutex);
  return log_->closes;
}

int RecordingMidiOut::OpenPorts() const {
  std::lock_guard lock(log_->mutex);
  return log_->opens - log_->closes;
}

} // namespace media
