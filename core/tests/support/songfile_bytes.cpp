#include "core/tests/support/songfile_bytes.h"

#include "core/lzss/lzss.h"

namespace core::testing {

Bytes U16(uint16_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
}

Bytes U32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

Bytes Field(const std::string& text, size_t size) {
  Bytes out(text.begin(), text.begin() + static_cast<long>(std::min(text.size(), size)));
  out.resize(size, 0);
  return out;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}

const std::array<uint8_t, 24> kTestEventKey = {0x5A, 0x3C, 0x96, 0xE1, 0x27, 0x4B, 0xD8, 0x72,
                                               0x0F, 0xB3, 0x6E, 0x91, 0xC5, 0x18, 0xA4, 0x7D,
                                               0x33, 0xEA, 0x59, 0x86, 0x2B, 0xF0, 0x64, 0xCF};
const std::array<uint8_t, 20> kTestV300Key = {0x9B, 0x41, 0xE6, 0x2D, 0x73, 0xB8, 0x15,
                                              0xCA, 0x5F, 0x04, 0xAD, 0x68, 0x37, 0xF2,
                                              0x8C, 0x1E, 0xD1, 0x4A, 0x97, 0x62};

Bytes PackForFile(const Bytes& plain, const uint8_t* key, size_t keySize) {
  LzssCodec codec;
  Bytes out = codec.Pack(plain);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] ^= key[i % keySize];
  return out;
}

Bytes FixtureEventData() {
  const Bytes track0 = {
      0x00, 0x00, 0x02, 0x20, 0xA1, 0x07,       // tempo 500000
      0x00, 0x00, 0x01, 0x03, 0x02, 0x18, 0x08, // 3/4, 24 clocks, 8 32nds
      0x00, 0x00, 0x03, 0xFE, 0x01,             // 2 flats, minor
      0x81, 0x70, 0x00, 0x02, 0x90, 0xD0, 0x03, // at 240: tempo 250000
  };
  const Bytes track1 = {
      0x00, 0x00, 0x43, 0x05, 0x00, 'P',  'i',  'a',  'n',  'o', // track name
      0x00, 0x00, 0x00, 0xB0, 0x00, 0x02,                        // bank select 2
      0x00, 0x00, 0x00, 0xC0, 0x15,                              // program 21
      0x00, 0x60, 0x00, 0x90, 0x3C, 0x64,                        // note 60, 96 ticks
      0x60, 0x00, 0x0D, 0x03, 0x00, 0xF0, 0x7E, 0xF7,            // at 96: system exclusive
      0x00, 0x00, 0x0C, 0x03, 0x00, 0x00, 0x00, 0x07, 0x00,      // wave slot 3, value 7
      0x00, 0x00, 0x14, 0xFE,                                    // singer -2
  };
  const Bytes track2 = {
      0x00, 0x00, 0x11, 0x00, 0x00, 0x05, 0x00,            // break: line 0 | 5 << 16
      0x00, 0x00, 0x12, 0x05, 0x00, 0x05, 0x00,            // next line: 5 | 5 << 16
      0x00, 0x3C, 0x10, 0x00, 0x00, 0x03, 0x00,            // "Hel": 0 | 3 << 16
      0x3C, 0x3C, 0x10, 0x03, 0x00, 0x02, 0x00,            // at 60 "lo": 3 | 2 << 16
      0x3C, 0x00, 0x11, 0x05, 0x00, 0x05, 0x00,            // at 120 break: 5 | 5 << 16
      0x00, 0x00, 0x12, 0x0A, 0x00, 0x00, 0x00,            // next line: the text size
      0x00, 0x81, 0x00, 0x10, 0x05, 0x00, 0x05, 0x00,      // "world", 128 ticks
      0x81, 0x00, 0x00, 0x13, 0x03, 0x00, 'I',  'M',  'G', // at 248: image
  };
  Bytes out;
  Append(out, U32(4));
  Append(out, U32(7));
  Append(out, U32(8));
  for (const Bytes* t : {&track0, &track1, &track2}) {
    Append(out, U32(static_cast<uint32_t>(t->size())));
    Append(out, *t);
  }
  return out;
}

namespace {

Bytes Section(const char* name, const Bytes& body) {
  Bytes out = U32(static_cast<uint32_t>(6 + body.size()));
  out.insert(out.end(), name, name + 6);
  Append(out, body);
  return out;
}

Bytes InfoTexts(const std::string& title) {
  Bytes out = Field(title, 48);
  for (const char* s : {"Lyr", "Comp", "Sing", "Arr", "Sync", "Desc"})
    Append(out, Field(s, 32));
  return out;
}

} // namespace

Bytes V350File(const V350Options& o) {
  Bytes out = Text("VEXO DATA V3.50");
  out.push_back(o.byte15);

  Bytes info = InfoTexts(o.title);
  Append(info, U32(0));
  Append(info, U16(0));
  Append(info, U16(0));
  Append(info, U16(0x1234)); // infoWord
  Append(info, U32(0));
  for (uint8_t i = 1; i <= 16; ++i)
    info.push_back(i);     // picture numbers
  Append(info, U16(4321)); // infoValue
  info.push_back(o.packed);
  info.resize(o.infoSize, 0);
  Append(out, U32(o.infoSize));
  Append(out, info);
  Append(out, U32(static_cast<uint32_t>(o.keyword.size())));
  Append(out, Text(o.keyword));

  Bytes stored =
      o.packed ? PackForFile(o.events, kTestEventKey.data(), kTestEventKey.size()) : o.events;
  Bytes events = U32(0);
  Append(events, U16(o.fieldsSize.value_or(static_cast<uint16_t>(16 + 2 * o.ports.size()))));
  Append(events, U16(o.ticksPerQuarter));
  Append(events, U16(o.trackCount));
  Append(events, U16(o.melody));
  Append(events, U16(o.lyric));
  Append(events, U32(o.unpackedSize.value_or(static_cast<uint32_t>(o.events.size()))));
  Append(events, U32(o.storedSize.value_or(static_cast<uint32_t>(stored.size()))));
  for (uint16_t p : o.ports)
    Append(events, U16(p));
  Append(events, stored);
  Append(out, Section("CEVENT", events));

  if (o.lyrics) {
    Bytes lyrics = U32(0);
    Append(lyrics, U32(0));
    for (const char* text : {"", "", "Helloworld"}) {
      Append(lyrics, U32(static_cast<uint32_t>(std::string(text).size())));
      Append(lyrics, Text(text));
    }
    Append(out, Section("LYRICS", lyrics));
  }
  if (o.bank) {
    Bytes bank = {0, 1, 255};
    Append(bank, U32(0));
    Append(bank, U32(8));
    bank.push_back(1); // the payload is a name
    Append(bank, U32(0));
    bank.push_back(o.bankSlot);
    Append(bank, Text("bank.sf2"));
    Append(out, Section("SFBANK", bank));
  }
  if (o.waves) {
    Bytes waves = U16(o.waveCount);
    Append(waves, U32(0));
    waves.push_back(0);
    Append(waves, U16(o.waveSlot));
    Append(waves, Field("Clap", 32));
    waves.push_back(1);  // channels
    waves.push_back(16); // bits per sample
    Append(waves, U32(22050));
    Append(waves, U32(0));
    Append(waves, U32(0));
    Append(waves, U32(4));
    Append(waves, {1, 2, 3, 4});
    Append(out, Section("VXWAVE", waves));
  }
  return out;
}

Bytes LyricRecord(uint32_t tick, uint32_t data, uint16_t duration, uint8_t kind) {
  Bytes out = U32(tick);
  Append(out, U32(data));
  Append(out, U16(duration));
  out.push_back(kind);
  return out;
}

Bytes V300File(const V300Options& o) {
  Bytes out = Text("VEXO DATA V3.00");
  out.push_back(0x1A);
  Bytes info = InfoTexts(o.title);
  Append(info, U16(static_cast<uint16_t>(o.records.size() / 11)));
  Append(info, U16(static_cast<uint16_t>(o.text.size())));
  Append(info, U16(11));
  Append(info, U16(o.melody));
  Append(info, U16(o.infoWord));
  Append(info, U32(0));
  for (int i = 0; i < 16; ++i)
    info.push_back(7);
  Append(out, U32(static_cast<uint32_t>(info.size())));
  Append(out, info);
  Append(out, U32(1));
  out.push_back(0); // no keyword

  Bytes records = PackForFile(o.records, kTestV300Key.data(), kTestV300Key.size());
  Append(out, U32(static_cast<uint32_t>(records.size() + 4)));
  Append(out, U32(o.recordSize.value_or(static_cast<uint32_t>(o.records.size()))));
  Append(out, records);
  Append(out, U32(static_cast<uint32_t>(o.text.size())));
  Append(out, Text(o.text));
  Bytes midi = PackForFile(o.midi, kTestV300Key.data(), kTestV300Key.size());
  Append(out, U32(static_cast<uint32_t>(midi.size() + 5)));
  out.push_back(0);
  Append(out, U32(o.midiSize.value_or(static_cast<uint32_t>(o.midi.size()))));
  Append(out, midi);
  if (o.bank) {
    Bytes bank = {0, 1, 0};
    Append(bank, U32(0));
    Append(bank, U32(2));
    bank.push_back(0); // the payload is the bank file
    Append(bank, U32(0));
    bank.push_back(9);
    Append(bank, {'S', 'F'});
    Append(out, Section("SFBANK", bank));
  }
  return out;
}

} // namespace core::testing
