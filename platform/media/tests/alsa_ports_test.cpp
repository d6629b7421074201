#include "platform/media/alsa_ports.h"
#include "platform/media/software_synth.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <set>
#include <string>
#include <vector>

namespace {

using media::AlsaPortDescription;

TEST(AlsaPorts, ProductIdsComeFromTheNamesAlone) {
  const std::pair<const char*, const char*> names[] = {
      {"Midi Through", "Midi Through Port-0"},
      {"FLUID Synth (1234)", "Synth input port (1234:0)"},
      {"TiMidity", "TiMidity port 0"},
      {"TiMidity", "TiMidity port 1"},
      {"USB MIDI Interface", "USB MIDI Interface MIDI 1"},
      {"", ""},
  };
  std::set<uint16_t> seen;
  for (auto [client, port] : names) {
    const uint16_t id = media::AlsaPortProductId(client, port);
    EXPECT_EQ(id, media::AlsaPortProductId(client, port));
    EXPECT_GE(id, media::kProductAlsaPortFirst) << client;
    EXPECT_NE(id, media::kProductSoftwareSynth);
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), std::size(names)) << "distinct ports, distinct identifiers";
  // The split between client and port name counts.
  EXPECT_NE(media::AlsaPortProductId("ab", "c"), media::AlsaPortProductId("a", "bc"));
}

TEST(AlsaPorts, CapabilityRecordsDescribeThePort) {
  struct Case {
    AlsaPortDescription port;
    const char* name;
    uint16_t technology;
    uint16_t voices;
    uint16_t channelMask;
  };
  const Case cases[] = {
      {{"USB MIDI", "USB MIDI Interface MIDI 1", false, false, false, 0, 16},
       "USB MIDI Interface MIDI 1",
       media::kTechMidiPort,
       0,
       0xFFFF},
      {{"FLUID Synth (99)", "Synth input port (99:0)", true, true, false, 0, 16},
       "Synth input port (99:0)",
       media::kTechSoftwareSynth,
       0,
       0xFFFF},
      {{"Emu10k1 WaveTable", "Emu10k1 Port 0", true, false, true, 64, 16},
       "Emu10k1 Port 0",
       media::kTechWavetable,
       64,
       0xFFFF},
      {{"OPL3 FM synth", "OPL3 FM Port", true, false, false, 18, 0},
       "OPL3 FM Port",
       media::kTechSynth,
       18,
       0xFFFF},
      // A port without a name takes its client's; long names keep 31 bytes.
      {{"Keyboard", "", false, false, false, 5, 4}, "Keyboard", media::kTechMidiPort, 0, 0x000F},
      {{"c", "A port name that is much longer than the record", false, false, false, 0, 0},
       "A port name that is much longer",
       media::kTechMidiPort,
       0,
       0xFFFF},
      // Outside ASCII: one '?' for each character.
      {{"c", "Kl\xC3\xA4vier \xE6\xA5\xBD\xE5\x99\xA8", false, false, false, 0, 0},
       "Kl?vier ??",
       media::kTechMidiPort,
       0,
       0xFFFF},
  };
  for (const Case& c : cases) {
    const media::MidiOutCaps caps = media::AlsaPortCaps(c.port, 0x8123);
    EXPECT_EQ(caps.Name(), c.name);
    EXPECT_EQ(caps.productId, 0x8123);
    EXPECT_EQ(caps.manufacturerId, media::kManufacturerVexo);
    EXPECT_EQ(caps.technology, c.technology) << c.name;
    EXPECT_EQ(caps.voices, c.voices) << c.name;
    EXPECT_EQ(caps.notes, c.voices) << c.name;
    EXPECT_EQ(caps.channelMask, c.channelMask) << c.name;
    EXPECT_EQ(caps.name.back(), '\0');
  }
}

TEST(AlsaPorts, WithoutASequencerThereAreNoPorts) {
  if (media::AlsaSequencerPresent())
    GTEST_SKIP() << "this machine has an ALSA sequencer";
  EXPECT_TRUE(media::AlsaSequencerDevices().empty());
}

// A second sequencer client with a writable port, as a synthesizer or
// MIDI interface would have, that reads back what reaches it.
class Listener {
public:
  Listener() {
    if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
      seq_ = nullptr;
      return;
    }
    snd_seq_set_client_name(seq_, "vexo3 test listener");
    port_ = snd_seq_create_simple_port(
        seq_, "vexo3 test listener in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    snd_midi_event_new(4096, &decoder_);
    snd_midi_event_no_status(decoder_, 1);
  }
  ~Listener() {
    if (decoder_)
      snd_midi_event_free(decoder_);
    if (seq_)
      snd_seq_close(seq_);
  }
  bool Ok() const { return seq_ && port_ >= 0 && decoder_; }
  int Client() const { return snd_seq_client_id(seq_); }

  // The bytes of every MIDI event received until want bytes have come or
  // the bound has passed, with the client of each sender.
  std::vector<uint8_t> Receive(size_t want, std::set<int>* senders,
                               std::chrono::milliseconds bound = std::chrono::seconds(5)) {
    std::vector<uint8_t> bytes;
    const auto end = std::chrono::steady_clock::now() + bound;
    while (bytes.size() < want && std::chrono::steady_clock::now() < end) {
      pollfd fds[4];
      const int n = snd_seq_poll_descriptors(seq_, fds, 4, POLLIN);
      poll(fds, n, 50);
      snd_seq_event_t* ev = nullptr;
      while (snd_seq_event_input(seq_, &ev) >= 0 && ev) {
        if (ev->type == SND_SEQ_EVENT_PORT_SUBSCRIBED ||
            ev->type == SND_SEQ_EVENT_PORT_UNSUBSCRIBED)
          continue;
        senders->insert(ev->source.client);
        unsigned char buf[4096];
        const long len = snd_midi_event_decode(decoder_, buf, sizeof buf, ev);
        if (len > 0)
          bytes.insert(bytes.end(), buf, buf + len);
      }
    }
    return bytes;
  }

private:
  snd_seq_t* seq_ = nullptr;
  int port_ = -1;
  snd_midi_event_t* decoder_ = nullptr;
};

TEST(AlsaPorts, ASubscribedClientReceivesExactlyTheMessagesSent) {
  if (!media::AlsaSequencerPresent())
    GTEST_SKIP() << "no ALSA sequencer on this machine (/dev/snd/seq is absent)";
  Listener listener;
  ASSERT_TRUE(listener.Ok());
  std::shared_ptr<media::MidiOutDevice> device;
  for (auto& d : media::AlsaSequencerDevices())
    if (d->Caps().Name() == "vexo3 test listener in")
      device = d;
  ASSERT_TRUE(device) << "our listener's port is in the device list";
  EXPECT_EQ(device->Caps().technology, media::kTechMidiPort);

  auto port = device->Open();
  ASSERT_TRUE(port);
  const std::vector<uint32_t> shorts = {
      0x403C90, 0x003C80, 0x7F0AB3, 0x0005C9, 0x2000E2, 0x0045D4, 0x30407A, 0x003C90, 0xF8, 0xFE,
  };
  std::vector<uint8_t> sent;
  for (uint32_t m : shorts) {
    ASSERT_TRUE(port->ShortMessage(m));
    const int length = (m & 0xF0) == 0xC0 || (m & 0xF0) == 0xD0 ? 2 : (m & 0xFF) >= 0xF8 ? 1 : 3;
    for (int i = 0; i < length; ++i)
      sent.push_back((m >> (8 * i)) & 0xFF);
  }
  EXPECT_FALSE(port->ShortMessage(0xF0)) << "system exclusive is no short message";
  EXPECT_FALSE(port->ShortMessage(0x3C)) << "no status byte";
  std::vector<uint8_t> gsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  ASSERT_TRUE(port->LongMessage(gsReset));
  sent.insert(sent.end(), gsReset.begin(), gsReset.end());
  // A long message goes out in pieces that add up to the same bytes.
  std::vector<uint8_t> bulk = {0xF0, 0x43, 0x10};
  for (int i = 0; i < 700; ++i)
    bulk.push_back(i & 0x7F);
  bulk.push_back(0xF7);
  ASSERT_TRUE(port->LongMessage(bulk));
  sent.insert(sent.end(), bulk.begin(), bulk.end());

  std::set<int> senders;
  // Asking for one byte more than sent waits out the bound, so that a
  // surplus would show.
  const std::vector<uint8_t> got =
      listener.Receive(sent.size() + 1, &senders, std::chrono::milliseconds(300));
  EXPECT_EQ(got, sent);
  EXPECT_EQ(senders.size(), 1u) << "everything came from our one client";

  // Closed, the port is gone with its subscription: nothing more arrives.
  port.reset();
  senders.clear();
  EXPECT_TRUE(listener.Receive(1, &senders, std::chrono::milliseconds(100)).empty());
}

} // namespace
