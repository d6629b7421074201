// Labels and value texts of events for the editor's event list, and note
// names. Every table is indexed only within its size, whatever the event holds.
#include <array>
#include <cctype>
#include <cstdio>
#include <string>

#include "core/songdata.h"
#include "platform/sys/ascii.h"

namespace core {
namespace {

constexpr std::array<std::string_view, 16> kTypeLabels = {
    "...",        "Note",           "Key Aftertouch", "Control", "Instrument", "Channel Aftertouch",
    "Wheel",      "Time Signature", "Tempo",          "Major",   "Wave Event", "Lyric",
    "Line Break", "Next Line",      "Image",          "Singer"};

constexpr std::array<std::string_view, 12> kNoteNames = {"C",  "Db", "D",  "Eb", "E",  "F",
                                                         "F#", "G",  "G#", "A",  "Bb", "B"};
constexpr std::array<std::string_view, 12> kNoteNamesSharp = {"C",  "C#", "D",  "D#", "E",  "F",
                                                              "Gb", "G",  "Ab", "A",  "A#", "B"};

constexpr std::array<std::string_view, 7> kTextKindNames = {
    "Text", "Copyright", "Track Name", "Inst. Name", "Midi Lyric", "Marker", "Cue Point"};

constexpr std::array<std::string_view, 128> kControllerNames = {"Bank Select",
                                                                "Modulation",
                                                                "Breath",
                                                                "Control 3",
                                                                "Foot",
                                                                "Portamento Time",
                                                                "Data Entry",
                                                                "Volume",
                                                                "Balance",
                                                                "Control 9",
                                                                "Pan",
                                                                "Expression",
                                                                "Effect 1",
                                                                "Effect 2",
                                                                "Control 14",
                                                                "Control 15",
                                                                "General 1",
                                                                "General 2",
                                                                "General 3",
                                                                "General 4",
                                                                "Control 20",
                                                                "Control 21",
                                                                "Control 22",
                                                                "Control 23",
                                                                "Control 24",
                                                                "Control 25",
                                                                "Control 26",
                                                                "Control 27",
                                                                "Control 28",
                                                                "Control 29",
                                                                "Control 30",
                                                                "Control 31",
                                                                "Bank Select LSB",
                                                                "Modulation LSB",
                                                                "Breath LSB",
                                                                "Control 35",
                                                                "Foot LSB",
                                                                "Portamento LSB",
                                                                "Data Entry LSB",
                                                                "Volume LSB",
                                                                "Balance LSB",
                                                                "Control 41",
                                                                "Pan LSB",
                                                                "Expression LSB",
                                                                "Effect 1 LSB",
                                                                "Effect 2 LSB",
                                                                "Control 46",
                                                                "Control 47",
                                                                "General 1 LSB",
                                                                "General 2 LSB",
                                                                "General 3 LSB",
                                                                "General 4 LSB",
                                                                "Control 52",
                                                                "Control 53",
                                                                "Control 54",
                                                                "Control 55",
                                                                "Control 56",
                                                                "Control 57",
                                                                "Control 58",
                                                                "Control 59",
                                                                "Control 60",
                                                                "Control 61",
                                                                "Control 62",
                                                                "Control 63",
                                                                "Sustain",
                                                                "Portamento",
                                                                "Sostenuto",
                                                                "Soft Pedal",
                                                                "Legato",
                                                                "Hold 2",
                                                                "Sound Variation",
                                                                "Resonance",
                                                                "Release Time",
                                                                "Attack Time",
                                                                "Brightness",
                                                                "Decay Time",
                                                                "Vibrato Rate",
                                                                "Vibrato Depth",
                                                                "Vibrato Delay",
                                                                "Sound 10",
                                                                "General 5",
                                                                "General 6",
                                                                "General 7",
                                                                "General 8",
                                                                "Portamento Control",
                                                                "Control 85",
                                                                "Control 86",
                                                                "Control 87",
                                                                "Transpose",
                                                                "Control 89",
                                                                "Control 90",
                                                                "Reverb",
                                                                "Tremolo",
                                                                "Chorus",
                                                                "Celeste",
                                                                "Phaser",
                                                                "Data Increment",
                                                                "Data Decrement",
                                                                "NRPN LSB",
                                                                "NRPN MSB",
                                                                "RPN LSB",
                                                                "RPN MSB",
                                                                "Control 102",
                                                                "Control 103",
                                                                "Control 104",
                                                                "Control 105",
                                                                "Control 106",
                                                                "Control 107",
                                                                "Control 108",
                                                                "Control 109",
                                                                "Control 110",
                                                                "Control 111",
                                                                "Control 112",
                                                                "Control 113",
                                                                "Control 114",
                                                                "Control 115",
                                                                "Control 116",
                                                                "Control 117",
                                                                "Control 118",
                                                                "Control 119",
                                                                "All Sound Off",
                                                                "Reset Controllers",
                                                                "Local Control",
                                                                "All Notes Off",
                                                                "Omni Off",
                                                                "Omni On",
                                                                "Mono On",
                                                                "Poly On"};

constexpr std::array<std::string_view, 128> kInstrumentNames = {"Acoustic Grand",
                                                                "Bright Acoustic",
                                                                "Electric Grand",
                                                                "Honky-Tonk",
                                                                "Electric Piano 1",
                                                                "Electric Piano 2",
                                                                "Harpsichord",
                                                                "Clavinet",
                                                                "Celesta",
                                                                "Glockenspiel",
                                                                "Music Box",
                                                                "Vibraphone",
                                                                "Marimba",
                                                                "Xylophone",
                                                                "Tubular Bells",
                                                                "Dulcimer",
                                                                "Drawbar Organ",
                                                                "Percussive Organ",
                                                                "Rock Organ",
                                                                "Church Organ",
                                                                "Reed Organ",
                                                                "Accordion",
                                                                "Harmonica",
                                                                "Tango Accordion",
                                                                "Nylon Guitar",
                                                                "Steel Guitar",
                                                                "Jazz Guitar",
                                                                "Clean Guitar",
                                                                "Muted Guitar",
                                                                "Overdriven Guitar",
                                                                "Distortion Guitar",
                                                                "Guitar Harmonics",
                                                                "Acoustic Bass",
                                                                "Finger Bass",
                                                                "Pick Bass",
                                                                "Fretless Bass",
                                                                "Slap Bass 1",
                                                                "Slap Bass 2",
                                                                "Synth Bass 1",
                                                                "Synth Bass 2",
                                                                "Violin",
                                                                "Viola",
                                                                "Cello",
                                                                "Contrabass",
                                                                "Tremolo Strings",
                                                                "Pizzicato Strings",
                                                                "Orchestral Harp",
                                                                "Timpani",
                                                                "String Ensemble 1",
                                                                "String Ensemble 2",
                                                                "Synth Strings 1",
                                                                "Synth Strings 2",
                                                                "Choir Aahs",
                                                                "Voice Oohs",
                                                                "Synth Voice",
                                                                "Orchestra Hit",
                                                                "Trumpet",
                                                                "Trombone",
                                                                "Tuba",
                                                                "Muted Trumpet",
                                                                "French Horn",
                                                                "Brass Section",
                                                                "Synth Brass 1",
                                                                "Synth Brass 2",
                                                                "Soprano Sax",
                                                                "Alto Sax",
                                                                "Tenor Sax",
                                                                "Baritone Sax",
                                                                "Oboe",
                                                                "English Horn",
                                                                "Bassoon",
                                                                "Clarinet",
                                                                "Piccolo",
                                                                "Flute",
                                                                "Recorder",
                                                                "Pan Flute",
                                                                "Blown Bottle",
                                                                "Shakuhachi",
                                                                "Whistle",
                                                                "Ocarina",
                                                                "Square Lead",
                                                                "Sawtooth Lead",
                                                                "Calliope Lead",
                                                                "Chiff Lead",
                                                                "Charang Lead",
                                                                "Voice Lead",
                                                                "Fifths Lead",
                                                                "Bass Lead",
                                                                "New Age Pad",
                                                                "Warm Pad",
                                                                "Polysynth Pad",
                                                                "Choir Pad",
                                                                "Bowed Pad",
                                                                "Metallic Pad",
                                                                "Halo Pad",
                                                                "Sweep Pad",
                                                                "Rain",
                                                                "Soundtrack",
                                                                "Crystal",
                                                                "Atmosphere",
                                                                "Brightness",
                                                                "Goblins",
                                                                "Echoes",
                                                                "Sci-Fi",
                                                                "Sitar",
                                                                "Banjo",
                                                                "Shamisen",
                                                                "Koto",
                                                                "Kalimba",
                                                                "Bagpipe",
                                                                "Fiddle",
                                                                "Shanai",
                                                                "Tinkle Bell",
                                                                "Agogo",
                                                                "Steel Drums",
                                                                "Woodblock",
                                                                "Taiko Drum",
                                                                "Melodic Tom",
                                                                "Synth Drum",
                                                                "Reverse Cymbal",
                                                                "Guitar Fret Noise",
                                                                "Breath Noise",
                                                                "Seashore",
                                                                "Bird Tweet",
                                                                "Telephone Ring",
                                                                "Helicopter",
                                                                "Applause",
                                                                "Gunshot"};

// Rows 0-14 major from 7 flats to 7 sharps, rows 15-29 the minor keys.
constexpr std::array<std::string_view, 30> kKeyNames = {"7 Flats (C-Flat)",
                                                        "6 Flats (G-Flat)",
                                                        "5 Flats (D-Flat)",
                                                        "4 Flats (A-Flat)",
                                                        "3 Flats (E-Flat)",
                                                        "2 Flats (B-Flat)",
                                                        "1 Flat (F)",
                                                        "C",
                                                        "1 Sharp (G)",
                                                        "2 Sharps (D)",
                                                        "3 Sharps (A)",
                                                        "4 Sharps (E)",
                                                        "5 Sharps (B)",
                                                        "6 Sharps (F-Sharp)",
                                                        "7 Sharps (C-Sharp)",
                                                        "7 Flats (A-Flat)",
                                                        "6 Flats (E-Flat)",
                                                        "5 Flats (B-Flat)",
                                                        "4 Flats (F)",
                                                        "3 Flats (C)",
                                                        "2 Flats (G)",
                                                        "1 Flat (D)",
                                                        "A",
                                                        "1 Sharp (E)",
                                                        "2 Sharps (B)",
                                                        "3 Sharps (F-Sharp)",
                                                        "4 Sharps (C-Sharp)",
                                                        "5 Sharps (G-Sharp)",
                                                        "6 Sharps (D-Sharp)",
                                                        "7 Sharps (A-Sharp)"};

constexpr uint16_t kLeft = 1, kRight = 2;
constexpr uint16_t Align(uint16_t a, uint16_t b, uint16_t c) {
  return a | b << 4 | c << 8;
}

std::string Number(long long v) {
  return std::to_string(v);
}

std::string HexPreview(std::string_view bytes) {
  std::string s;
  for (size_t i = 0; i < bytes.size() && i < 8; ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X", static_cast<uint8_t>(bytes[i]));
    if (i)
      s += ' ';
    s += b;
  }
  if (bytes.size() > 8)
    s += " ...";
  return s;
}

} // namespace

int EventTypeIndex(const SongEvent& e) {
  switch (e.kind) {
  case kKindChannel: {
    uint8_t status = e.Status();
    return status >= 0x80 && status < 0xF0 ? (status >> 4) - 8 : 0;
  }
  case kKindTimeSignature:
    return 7;
  case kKindTempo:
    return 8;
  case kKindKeySignature:
    return 9;
  case kKindWave:
    return 10;
  default:
    return e.kind >= kKindSyllable && e.kind <= kKindSinger ? e.kind - kKindSyllable + 11 : 0;
  }
}

std::string_view EventTypeLabel(int typeIndex) {
  if (typeIndex < 0 || typeIndex >= static_cast<int>(kTypeLabels.size()))
    return kTypeLabels[0];
  return kTypeLabels[typeIndex];
}

std::string_view InstrumentName(int program) {
  return program >= 0 && program < static_cast<int>(kInstrumentNames.size())
             ? kInstrumentNames[static_cast<size_t>(program)]
             : std::string_view();
}

std::string NoteName(uint8_t note) {
  return std::string(kNoteNames[note % 12]) + std::to_string(note / 12);
}

uint8_t ParseNoteName(std::string_view text) {
  if (text.empty())
    return 255;
  std::string name(1, sys::AsciiUpper(text[0]));
  size_t i = 1;
  if (i < text.size() && (text[i] == '#' || text[i] == 'b'))
    name += text[i++];
  if (i == text.size() || i + 3 < text.size())
    return 255;
  int octave = 0;
  for (; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i])))
      return 255;
    octave = octave * 10 + (text[i] - '0');
  }
  for (int n = 0; n < 12; ++n) {
    if (kNoteNames[n] == name || kNoteNamesSharp[n] == name) {
      int note = octave * 12 + n;
      return note <= 127 ? static_cast<uint8_t>(note) : 255;
    }
  }
  return 255;
}

std::optional<EventDescription> CSongData::FormatEventText(int16_t track, int32_t index) const {
  const SongEvent* ev = Event(track, index);
  if (!ev)
    return std::nullopt;
  const SongEvent& e = *ev;
  EventDescription d;
  d.typeIndex = EventTypeIndex(e);
  d.kind = std::string(EventTypeLabel(d.typeIndex));
  d.alignment = Align(kRight, kRight, kRight);
  uint8_t d1 = e.Data1() & 0x7F, d2 = e.Data2() & 0x7F;
  switch (e.kind) {
  case kKindChannel:
    d.channel = Number((e.Status() & 0x0F) + 1);
    switch (d.typeIndex) {
    case 1: // note
      d.value1 = NoteName(d1);
      d.value2 = Number(d2);
      d.value3 = Number(e.duration);
      break;
    case 2: // key aftertouch
      d.value1 = NoteName(d1);
      d.value2 = Number(d2);
      break;
    case 3:
      d.value1 = std::string(kControllerNames[d1]);
      d.value2 = Number(d2);
      d.alignment = Align(kLeft, kRight, kRight);
      break;
    case 4:
      d.value1 = std::string(kInstrumentNames[d1]);
      d.value2 = Number(d1);
      d.alignment = Align(kLeft, kRight, kRight);
      break;
    case 5:
      d.value1 = Number(d1);
      break;
    case 6:
      d.value1 = Number((d1 | d2 << 7) - 8192);
      break;
    default: // note off and anything that is no channel message
      d.value1 = Number(d1);
      d.value2 = Number(d2);
      break;
    }
    break;
  case kKindTimeSignature: {
    unsigned power = e.Data1();
    d.value1 = Number(e.Status()) + "/" + (power < 31 ? Number(1ll << power) : "?");
    d.value2 = Number(e.Data2());
    d.value3 = Number(e.data >> 24);
    break;
  }
  case kKindTempo: {
    uint32_t us = e.data & 0xFFFFFF;
    d.value1 = Number(us);
    if (us) {
      char bpm[32];
      std::snprintf(bpm, sizeof bpm, "%.2f", 60000000.0 / us);
      d.value2 = bpm;
    }
    break;
  }
  case kKindKeySignature: {
    int sharps = static_cast<int8_t>(e.Status());
    int minor = e.Data1();
    if (sharps >= -7 && sharps <= 7 && minor <= 1) {
      d.kind = minor ? "Minor" : "Major";
      d.value1 = std::string(kKeyNames[sharps + 7 + 15 * minor]) + (minor ? " minor" : " major");
    } else {
      d.value1 = Number(sharps);
      d.value2 = Number(minor);
    }
    d.alignment = Align(kLeft, kRight, kRight);
    break;
  }
  case kKindWave:
    d.value1 = Number(static_cast<int16_t>(e.data & 0xFFFF));
    d.value2 = Number(e.length);
    break;
  case kKindSysEx:
  case kKindSeqSpecific:
  case kKindOtherMeta: {
    static constexpr std::string_view kNames[] = {"System Exclusive", "Sequencer Specific",
                                                  "Meta Event"};
    d.kind = std::string(kNames[e.kind - kKindSysEx]);
    std::string_view bytes = PoolBytes(e);
    d.value1 = Number(static_cast<long long>(bytes.size()));
    d.value2 = HexPreview(bytes);
    d.alignment = Align(kRight, kLeft, kRight);
    break;
  }
  case kKindSyllable:
    d.value1 = std::string(SyllableText(track, e));
    d.value2 = Number(e.duration);
    d.alignment = Align(kLeft, kRight, kRight);
    break;
  case kKindLineBreak:
  case kKindNextLine:
    d.value1 = Number(e.length);
    break;
  case kKindImage:
    d.value1 = std::string(PoolText(e));
    d.alignment = Align(kLeft, kRight, kRight);
    break;
  case kKindSinger:
    d.value1 = Number(static_cast<int8_t>(e.data & 0xFF));
    break;
  default:
    if (IsTextKind(e.kind)) {
      d.kind = std::string(kTextKindNames[e.kind - kKindText]);
      d.value1 = std::string(PoolText(e));
      d.alignment = Align(kLeft, kRight, kRight);
    }
    break;
  }
  return d;
}

} // namespace core
