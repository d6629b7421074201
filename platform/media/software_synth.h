// The built-in software synthesizer, the default MIDI output device: FluidSynth
// with the General MIDI SoundFont, heard through the sound system (PulseAudio
// or PipeWire, else ALSA). When $VEXO_SYNTH_WAV names a file, or when no sound
// output can be opened, it writes its audio to a WAV file instead, at the pace
// of the clock, so that the file lasts as long as the music played into it.
//
// All its ports share one synthesizer. A session runs from the first port
// opened to the last one closed; a WAV file is written anew for each session,
// starting with the session's first message.
#pragma once

#include "platform/media/midiout.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

constexpr uint16_t kManufacturerVexo = 0xFF;
constexpr uint16_t kProductSoftwareSynth = 0x7E10;
constexpr uint32_t kSynthSampleRate = 44100;

// The process-wide synthesizer device.
std::shared_ptr<MidiOutDevice> SoftwareSynthDevice();

struct SoftwareSynthStatus {
  bool sessionOpen = false;
  bool toFile = false;
  std::string wavPath; // the file of the current or last session
  // Audio frames written to the file in the current or last session.
  uint64_t framesWritten = 0;
};
SoftwareSynthStatus SoftwareSynthState();

// True when the synthesizer can be heard here: a sound output (PulseAudio or
// PipeWire, else ALSA) opens. Call it while no port is open; false then.
bool SoftwareSynthCanPlayAloud();

// Rendering driven by the caller, for files made faster than real time.
// From BeginSoftwareSynthRender on, every session writes its audio to path
// (anew for each session) and no rendering thread runs: a message takes
// effect at once, at the frame reached so far, and audio is made only by
// RenderSoftwareSynth. The same messages and calls give the same bytes every
// time. Call it while no port is open; false then.
bool BeginSoftwareSynthRender(const std::string& path);
// Renders the next ms milliseconds of the open session (the frame count is
// kept exact over many calls); false when no session renders for the caller.
bool RenderSoftwareSynth(uint32_t ms);
// Back to sound output or $VEXO_SYNTH_WAV for sessions opened from now on.
void EndSoftwareSynthRender();

// SoundFonts beside the General MIDI one, for the sound card's bank manager.
// The base SoundFont answers every bank that no user bank holds; a user bank
// n holds a SoundFont whose bank 0 is heard as MIDI bank n (bank select n),
// and is heard before the base. They stay in place from session to session.
// Each call loads the synthesizer when it is not loaded yet.
//
// The file of Debian's General MIDI SoundFont; empty when it is missing.
std::string GeneralMidiSoundFont();
// Makes path the base SoundFont (empty: General MIDI); false, with the old
// one kept, when it is not a SoundFont or cannot be loaded.
bool SetSoftwareSynthBase(const std::string& path);
// The base SoundFont's file.
std::string SoftwareSynthBase();
// Loads path as user bank `bank` (1-127), in place of what that bank held;
// false, with the bank as it was, when it is not a SoundFont or cannot be
// loaded. The synthesizer reads the file again whenever it is renewed, so
// the file must stay until the bank is unloaded.
bool LoadSoftwareSynthBank(int bank, const std::string& path);
// True when the bank is empty afterwards.
bool UnloadSoftwareSynthBank(int bank);
// The user banks loaded, in bank order, with their files.
struct SynthBank {
  int bank = 0;
  std::string path;
};
std::vector<SynthBank> SoftwareSynthBanks();

} // namespace media
