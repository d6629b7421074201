// A MIDI output device that keeps every message sent to it, each with the
// clock time (media::NowMs) at which it was sent. Tests and measurements list
// it with MidiOut().UseDevicesForTesting and read the log back.
#pragma once

#include "platform/media/midiout.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace media {

struct RecordedMidi {
  uint32_t timeMs = 0;
  // Which opening of the device sent it: 1 for the first Open, 2 for the next.
  uint32_t port = 0;
  // status | data1 << 8 | data2 << 16 for a short message; 0 for a long one.
  uint32_t shortMessage = 0;
  std::vector<uint8_t> longMessage;

  bool IsLong() const { return !longMessage.empty(); }
  uint8_t Status() const { return shortMessage & 0xFF; }
  uint8_t Data1() const { return (shortMessage >> 8) & 0xFF; }
  uint8_t Data2() const { return (shortMessage >> 16) & 0xFF; }
};

class RecordingMidiOut final : public MidiOutDevice {
public:
  explicit RecordingMidiOut(std::string_view name = "Recording MIDI Out",
                            uint16_t productId = 0x7E01);

  MidiOutCaps Caps() const override;
  std::unique_ptr<MidiOutPort> Open() override;

  void SetCaps(const MidiOutCaps& caps);
  // While set, Open fails (returns null).
  void SetOpenFails(bool fails);

  std::vector<RecordedMidi> Messages() const;
  size_t MessageCount() const;
  void Clear();
  // Successful opens, closes (ports destroyed) and ports open now.
  int Opens() const;
  int Closes() const;
  int OpenPorts() const;

private:
  struct Log;
  class Port;
  std::shared_ptr<Log> log_;
};

} // namespace media
