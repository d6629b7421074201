#include "platform/media/alsa_ports.h"

#include "platform/media/software_synth.h"
#include "platform/sys/midi_message.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <unistd.h>

namespace media {
namespace {

constexpr const char* kSequencerDevice = "/dev/snd/seq";
// Long messages go out in pieces of this size: hardware ports join them into
// one byte stream, and receivers that want a whole message in one event get
// the usual short ones whole.
constexpr size_t kSysexPiece = 256;

// Our one sequencer client, shared by enumeration and every open port; the
// handle is not safe for use by several threads at once.
struct SeqClient {
  std::mutex mutex;
  snd_seq_t* seq = nullptr;
  int id = -1;
};

std::shared_ptr<SeqClient> SharedClient() {
  static std::mutex mutex;
  static std::shared_ptr<SeqClient> client; // kept for the whole run once open
  std::lock_guard lock(mutex);
  if (client || !AlsaSequencerPresent())
    return client;
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
    return nullptr;
  snd_seq_set_client_name(seq, "Vexo3");
  auto c = std::make_shared<SeqClient>();
  c->seq = seq;
  c->id = snd_seq_client_id(seq);
  client = c;
  return client;
}

// Bytes of a short message with this status; 0 for statuses that do not make
// one (system exclusive and the undefined system statuses).
int ShortLength(uint8_t status) {
  namespace midi = sys::midi;
  if (!midi::IsStatusByte(status))
    return 0;
  if (midi::IsChannelStatus(status))
    return 1 + midi::ChannelDataBytes(status);
  switch (status) {
  case midi::kTimeCodeQuarter:
  case midi::kSongSelect:
    return 2;
  case midi::kSongPosition:
    return 3;
  case midi::kTuneRequest:
  case midi::kClock:
  case midi::kStart:
  case midi::kContinue:
  case midi::kStop:
  case midi::kActiveSensing:
  case midi::kSystemReset:
    return 1;
  default:
    return 0;
  }
}

// Capability-record names are plain bytes shown in the system's code page;
// anything but printable ASCII becomes '?', one for each character.
std::string RecordName(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F)
      out += static_cast<char>(c);
    else if (c >= 0xC0)
      out += '?';
    // UTF-8 continuation bytes and control characters are dropped.
  }
  return out;
}

class AlsaPort final : public MidiOutPort {
public:
  AlsaPort(std::shared_ptr<SeqClient> client, int port, snd_midi_event_t* encoder)
      : client_(std::move(client)), port_(port), encoder_(encoder) {}

  ~AlsaPort() override {
    std::lock_guard lock(client_->mutex);
    snd_seq_delete_simple_port(client_->seq, port_); // its subscription goes with it
    snd_midi_event_free(encoder_);
  }

  bool ShortMessage(uint32_t message) override {
    const uint8_t bytes[3] = {sys::midi::StatusOf(message),
                              static_cast<uint8_t>(sys::midi::Data1Of(message) & 0x7F),
                              static_cast<uint8_t>(sys::midi::Data2Of(message) & 0x7F)};
    const int length = ShortLength(bytes[0]);
    if (length == 0)
      return false;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    std::lock_guard lock(client_->mutex);
    snd_midi_event_reset_encode(encoder_);
    const long used = snd_midi_event_encode(encoder_, bytes, length, &ev);
    if (used != length || ev.type == SND_SEQ_EVENT_NONE)
      return false;
    return SendLocked(&ev);
  }

  bool LongMessage(std::span<const uint8_t> bytes) override {
    if (bytes.empty())
      return false;
    std::lock_guard lock(client_->mutex);
    for (size_t at = 0; at < bytes.size(); at += kSysexPiece) {
      const size_t n = std::min(kSysexPiece, bytes.size() - at);
      snd_seq_event_t ev;
      snd_seq_ev_clear(&ev);
      snd_seq_ev_set_sysex(&ev, static_cast<unsigned int>(n),
                           const_cast<uint8_t*>(bytes.data() + at));
      if (!SendLocked(&ev))
        return false;
    }
    return true;
  }

private:
  bool SendLocked(snd_seq_event_t* ev) {
    snd_seq_ev_set_source(ev, port_);
    snd_seq_ev_set_subs(ev);
    snd_seq_ev_set_direct(ev);
    return snd_seq_event_output_direct(client_->seq, ev) >= 0;
  }

  std::shared_ptr<SeqClient> client_;
  int port_;
  snd_midi_event_t* encoder_;
};

class AlsaPortDevice final : public MidiOutDevice {
public:
  AlsaPortDevice(std::shared_ptr<SeqClient> client, int destClient, int destPort, MidiOutCaps caps,
                 std::string portName)
      : client_(std::move(client)), destClient_(destClient), destPort_(destPort), caps_(caps),
        portName_(std::move(portName)) {}

  MidiOutCaps Caps() const override { return caps_; }

  std::unique_ptr<MidiOutPort> Open() override {
    snd_midi_event_t* encoder = nullptr;
    if (snd_midi_event_new(16, &encoder) < 0)
      return nullptr;
    snd_midi_event_no_status(encoder, 1);
    std::lock_guard lock(client_->mutex);
    const std::string name = ("Vexo3 to " + portName_).substr(0, 63);
    const int port = snd_seq_create_simple_port(
        client_->seq, name.c_str(), SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) {
      snd_midi_event_free(encoder);
      return nullptr;
    }
    // Fails when the port has gone away since the list was made.
    if (snd_seq_connect_to(client_->seq, port, destClient_, destPort_) < 0) {
      snd_seq_delete_simple_port(client_->seq, port);
      snd_midi_event_free(encoder);
      return nullptr;
    }
    return std::make_unique<AlsaPort>(client_, port, encoder);
  }

private:
  std::shared_ptr<SeqClient> client_;
  int destClient_;
  int destPort_;
  MidiOutCaps caps_;
  std::string portName_;
};

} // namespace

uint16_t AlsaPortProductId(std::string_view clientName, std::string_view portName) {
  uint32_t h = 2166136261u; // FNV-1a
  auto mix = [&h](std::string_view s) {
    for (unsigned char c : s) {
      h ^= c;
      h *= 16777619u;
    }
  };
  mix(clientName);
  mix(std::string_view("\0", 1));
  mix(portName);
  return static_cast<uint16_t>(kProductAlsaPortFirst | ((h ^ (h >> 15)) & 0x7FFF));
}

MidiOutCaps AlsaPortCaps(const AlsaPortDescription& port, uint16_t productId) {
  MidiOutCaps c;
  c.manufacturerId = kManufacturerVexo;
  c.productId = productId;
  c.driverVersion = (SND_LIB_MAJOR << 8) | SND_LIB_MINOR;
  c.SetName(RecordName(port.portName.empty() ? port.clientName : port.portName));
  if (!port.synthesizer)
    c.technology = kTechMidiPort;
  else if (port.samples)
    c.technology = kTechWavetable;
  else if (port.software)
    c.technology = kTechSoftwareSynth;
  else
    c.technology = kTechSynth;
  const uint16_t voices =
      port.synthesizer ? static_cast<uint16_t>(std::clamp(port.synthVoices, 0, 0xFFFF)) : 0;
  c.voices = voices;
  c.notes = voices;
  c.channelMask = (port.midiChannels > 0 && port.midiChannels < 16)
                      ? static_cast<uint16_t>((1u << port.midiChannels) - 1)
                      : 0xFFFF;
  c.support = 0;
  return c;
}

bool AlsaSequencerPresent() {
  return access(kSequencerDevice, F_OK) == 0;
}

std::vector<std::shared_ptr<MidiOutDevice>> AlsaSequencerDevices() {
  std::vector<std::shared_ptr<MidiOutDevice>> devices;
  std::shared_ptr<SeqClient> client = SharedClient();
  if (!client)
    return devices;
  std::lock_guard lock(client->mutex);
  snd_seq_client_info_t* clientInfo = nullptr;
  snd_seq_port_info_t* portInfo = nullptr;
  snd_seq_client_info_alloca(&clientInfo);
  snd_seq_port_info_alloca(&portInfo);
  std::set<uint16_t> used;
  snd_seq_client_info_set_client(clientInfo, -1);
  while (snd_seq_query_next_client(client->seq, clientInfo) >= 0) {
    const int clientId = snd_seq_client_info_get_client(clientInfo);
    if (clientId == SND_SEQ_CLIENT_SYSTEM || clientId == client->id)
      continue;
    const std::string clientName = snd_seq_client_info_get_name(clientInfo);
    snd_seq_port_info_set_client(portInfo, clientId);
    snd_seq_port_info_set_port(portInfo, -1);
    while (snd_seq_query_next_port(client->seq, portInfo) >= 0) {
      const unsigned caps = snd_seq_port_info_get_capability(portInfo);
      constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
      if ((caps & kWritable) != kWritable || (caps & SND_SEQ_PORT_CAP_NO_EXPORT))
        continue;
      const unsigned type = snd_seq_port_info_get_type(portInfo);
      AlsaPortDescription d;
      d.clientName = clientName;
      d.portName = snd_seq_port_info_get_name(portInfo);
      d.synthesizer = (type & (SND_SEQ_PORT_TYPE_SYNTHESIZER | SND_SEQ_PORT_TYPE_SYNTH)) != 0;
      d.software = (type & SND_SEQ_PORT_TYPE_SOFTWARE) != 0;
      d.samples = (type & (SND_SEQ_PORT_TYPE_SAMPLE | SND_SEQ_PORT_TYPE_DIRECT_SAMPLE)) != 0;
      d.synthVoices = snd_seq_port_info_get_synth_voices(portInfo);
      d.midiChannels = snd_seq_port_info_get_midi_channels(portInfo);
      // Two ports whose names hash alike: the later one takes the next free
      // identifier.
      uint16_t id = AlsaPortProductId(d.clientName, d.portName);
      while (used.count(id))
        id = static_cast<uint16_t>(kProductAlsaPortFirst | ((id + 1) & 0x7FFF));
      used.insert(id);
      devices.push_back(std::make_shared<AlsaPortDevice>(
          client, clientId, snd_seq_port_info_get_port(portInfo), AlsaPortCaps(d, id),
          d.portName.empty() ? clientName : d.portName));
    }
  }
  return devices;
}

} // namespace media
