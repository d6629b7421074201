#include "platform/media/sequencer.h"

#include "platform/media/clock.h"
#include "platform/media/mci.h"
#include "platform/media/midiout.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <string>
#include <mutex>

namespace media {
namespace {

constexpr uint32_t kStepMs = 1;

// The whole file when it is at most limit bytes.
std::optional<std::vector<uint8_t>> ReadBounded(const std::string& path, size_t limit) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in)
    return std::nullopt;
  const std::streamoff size = in.tellg();
  if (size < 0 || size_t(size) > limit)
    return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
    return std::nullopt;
  return bytes;
}

uint32_t Be32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct RawEvent {
  uint64_t tick;
  int track;
  size_t order;
  bool tempo;
  uint32_t tempoUs;
  std::vector<uint8_t> bytes;
};

bool ReadNumber(std::span<const uint8_t> t, size_t& at, uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (at >= t.size())
      return false;
    const uint8_t b = t[at++];
    value = value << 7 | (b & 0x7F);
    if (!(b & 0x80))
      return true;
  }
  return false;
}

bool ReadTrack(std::span<const uint8_t> t, int track, std::vector<RawEvent>& out) {
  size_t at = 0;
  uint64_t tick = 0;
  uint8_t running = 0;
  while (at < t.size()) {
    uint32_t delta = 0;
    if (!ReadNumber(t, at, delta) || at >= t.size())
      return false;
    tick += delta;
    uint8_t status = t[at];
    if (status < 0x80) {
      if (!running)
        return false;
      status = running;
    } else {
      ++at;
    }
    if (out.size() >= kMaxSmfEvents)
      return false;
    RawEvent e{tick, track, out.size(), false, 0, {}};
    if (status == 0xFF) {
      if (at >= t.size())
        return false;
      const uint8_t type = t[at++];
      uint32_t length = 0;
      if (!ReadNumber(t, at, length) || length > t.size() - at)
        return false;
      if (type == 0x51 && length == 3) {
        e.tempo = true;
        e.tempoUs = uint32_t(t[at]) << 16 | uint32_t(t[at + 1]) << 8 | t[at + 2];
        out.push_back(std::move(e));
      }
      at += length;
      if (type == 0x2F)
        return true;
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      uint32_t length = 0;
      if (!ReadNumber(t, at, length) || length > t.size() - at)
        return false;
      if (status == 0xF0) {
        e.bytes.push_back(0xF0);
        e.bytes.insert(e.bytes.end(), t.begin() + at, t.begin() + at + length);
        if (e.bytes.back() != 0xF7)
          e.bytes.push_back(0xF7);
        out.push_back(std::move(e));
      }
      at += length;
      running = 0;
      continue;
    }
    if (status >= 0xF0)
      return false; // no other system message belongs in a file
    running = status;
    const size_t size = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
    if (size > t.size() - at)
      return false;
    e.bytes.push_back(status);
    for (size_t i = 0; i < size; ++i) {
      if (t[at] & 0x80)
        return false;
      e.bytes.push_back(t[at++]);
    }
    out.push_back(std::move(e));
  }
  return true; // a track without its end marker ends with its bytes
}

class SequencerDevice : public mci::Device {
public:
  SequencerDevice(mci::DeviceId id, std::vector<SmfEvent> events)
      : id_(id), events_(std::move(events)) {}
  ~SequencerDevice() override { Halt(); }

  uint32_t Execute(const mci::Request& r, mci::Reply& reply) override {
    if (r.verb == "status" && r.Is(0, "port")) {
      if (!OpenPort())
        return mci::kErrHardware;
      reply.text = "0";
      return mci::kOk;
    }
    if (r.verb == "play") {
      if (r.args.size() >= 1 && !(r.Is(0, "from") && r.args.size() == 2 && r.args[1] == "0"))
        return mci::kErrUnrecognizedKeyword;
      Halt();
      if (!OpenPort())
        return mci::kErrHardware;
      {
        std::lock_guard lock(mutex_);
        next_ = 0;
        start_ = Time().NowMs();
        notice_ = r.notice;
      }
      reply.pending = r.notify;
      // What is due at the start goes at once, the rest from the event.
      if (!SendDue())
        return mci::kOk;
      event_ = Time().SetPeriodicEvent(kStepMs, 1, [this] {
        if (!SendDue())
          Time().KillEvent(event_.load()); // from inside: returns at once
      });
      if (!event_)
        return mci::kErrHardware;
      return mci::kOk;
    }
    if (r.verb == "stop") {
      Halt();
      return mci::kOk;
    }
    return mci::kErrUnsupportedFunction;
  }

  void Close(const mci::Request&) override {
    Halt();
    if (port_)
      MidiOut().Close(port_);
    port_ = 0;
  }

private:
  bool OpenPort() {
    if (!port_)
      port_ = MidiOut().Open(kMidiMapper);
    return port_ != 0;
  }

  // Stops the playing and sounds off every channel.
  void Halt() {
    if (const uint32_t event = event_.exchange(0)) {
      Time().KillEvent(event);
      if (port_)
        for (uint32_t ch = 0; ch < 16; ++ch)
          MidiOut().ShortMessage(port_, 0xB0 | ch | 123u << 8);
    }
  }

  // Sends the events due now; at the end posts the notice and returns false.
  bool SendDue() {
    uint64_t notice = 0;
    {
      std::lock_guard lock(mutex_);
      const uint32_t now = Time().NowMs() - start_;
      while (next_ < events_.size() && events_[next_].timeMs <= now) {
        const auto& b = events_[next_++].bytes;
        if (b[0] == 0xF0) {
          MidiOut().LongMessage(port_, b);
        } else {
          uint32_t m = 0;
          for (size_t i = 0; i < b.size(); ++i)
            m |= uint32_t(b[i]) << (8 * i);
          MidiOut().ShortMessage(port_, m);
        }
      }
      if (next_ < events_.size())
        return true;
      notice = notice_;
      notice_ = 0;
    }
    if (notice)
      mci::Finish(id_, notice, mci::kNotifySuccessful);
    return false;
  }

  const mci::DeviceId id_;
  const std::vector<SmfEvent> events_;
  std::mutex mutex_;
  size_t next_ = 0;
  uint32_t start_ = 0;
  uint64_t notice_ = 0;
  std::atomic<uint32_t> event_{0};
  MidiOutHandle port_ = 0;
};

} // namespace

std::optional<std::vector<SmfEvent>> ReadStandardMidiFile(std::span<const uint8_t> file) {
  if (file.size() < 14 || file.size() > kMaxSmfBytes || !std::equal(file.begin(), file.begin() + 4,
                                                                    "MThd") ||
      Be32(file, 4) < 6)
    return std::nullopt;
  const size_t headerSize = Be32(file, 4);
  if (headerSize > file.size() - 8)
    return std::nullopt;
  const uint16_t division = uint16_t(file[12] << 8 | file[13]);
  if (division == 0 || (division & 0x8000))
    return std::nullopt; // frame-based time is not read
  std::vector<RawEvent> raw;
  size_t at = 8 + headerSize;
  int track = 0;
  while (file.size() - at >= 8) {
    const uint32_t length = Be32(file, at + 4);
    if (length > file.size() - at - 8)
      return std::nullopt;
    if (std::equal(file.begin() + at, file.begin() + at + 4, "MTrk") &&
        !ReadTrack(file.subspan(at + 8, length), track++, raw))
      return std::nullopt;
    at += 8 + length;
  }
  std::stable_sort(raw.begin(), raw.end(), [](const RawEvent& a, const RawEvent& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.track < b.track;
  });
  std::vector<SmfEvent> events;
  uint64_t tempo = 500000, lastTick = 0;
  double us = 0;
  for (RawEvent& e : raw) {
    us += double(e.tick - lastTick) * tempo / division;
    lastTick = e.tick;
    if (e.tempo) {
      tempo = e.tempoUs ? e.tempoUs : 1;
      continue;
    }
    if (us / 1000 > 0xFFFFFFF0u)
      return std::nullopt;
    events.push_back({static_cast<uint32_t>(us / 1000), std::move(e.bytes)});
  }
  return events;
}

void RegisterSequencerDevice() {
  mci::RegisterDeviceType(
      "sequencer", [](const mci::OpenRequest& r, uint32_t* error) -> std::unique_ptr<mci::Device> {
        auto bytes = ReadBounded(r.element, kMaxSmfBytes);
        if (!bytes) {
          *error = mci::kErrFileNotFound;
          return nullptr;
        }
        auto events = ReadStandardMidiFile(*bytes);
        if (!events) {
          *error = mci::kErrInvalidFile;
          return nullptr;
        }
        return std::make_unique<SequencerDevice>(r.id, std::move(*events));
      });
}

} // namespace media
