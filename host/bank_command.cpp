#include "host/bank_command.h"

#include "core/songdata.h"
#include "host/song_files.h"
#include "host/tamblo_client.h"
#include "platform/media/riff.h"
#include "platform/media/software_synth.h"
#include "platform/sys/codepage.h"
#include "platform/sys/library.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace host {
namespace {

constexpr const char* kUsage =
    "usage: vexo3 bank SONG [--load SLOT FILE.sf2 [--embed]] [--remove SLOT]\n"
    "                       [--extract SLOT OUT.sf2] [--base N] [-o OUT]\n"
    "       vexo3 bank --default FILE.sf2 | --no-default\n"
    "  SLOT: 1 to 127; N: -1 none, 0 General MIDI, 1 GS, 2 MT-32, 3 the user's bank\n";

constexpr const char* kBaseNames[] = {"General MIDI", "GS", "MT-32", "user"};

int Usage(const std::string& why) {
  return UsageError(why, kUsage);
}

struct Step {
  std::string option;
  long value = 0; // the slot, or the base bank
  std::string file;
  bool embed = false;
};

// The song's base bank as the file stores it: 0 none, 255 bank 0.
int BaseBank(const core::CSongData& song) {
  return song.bankNumber == 0 ? -1 : song.bankNumber == 255 ? 0 : song.bankNumber;
}

void List(const core::CSongData& song) {
  const int base = BaseBank(song);
  if (base < 0)
    std::printf("base bank: none\n");
  else
    std::printf("base bank: %d (%s)\n", base, base < 4 ? kBaseNames[base] : "the card's own");
  int used = 0;
  for (int slot = 1; slot < core::kBankSlots; ++slot) {
    const core::BankSlot& s = song.bankSlots[slot];
    if (!(s.flags & core::kBankSlotUsed))
      continue;
    ++used;
    if (s.flags & core::kBankSlotNameOnly) {
      const std::string file = core::BankSlotFile(s, song.path);
      std::printf("slot %3d: by name \"%s\"%s\n", slot, s.path.c_str(),
                  file.empty() ? ", not found beside the song" : "");
    } else if (s.flags & core::kBankSlotOwnFile) {
      std::printf("slot %3d: %s, embedded when saved\n", slot, s.path.c_str());
    } else {
      std::printf("slot %3d: embedded, %zu bytes\n", slot, s.data.size());
    }
  }
  std::printf("%d of %d bank slots used\n", used, core::kBankSlots - 1);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

int Apply(core::CSongData& song, const Step& s) {
  if (s.option == "--base") {
    song.bankNumber = s.value < 0 ? 0 : s.value == 0 ? 255 : static_cast<uint8_t>(s.value);
    return 0;
  }
  const int slot = static_cast<int>(s.value); // 1-127, checked when parsed
  core::BankSlot& b = song.bankSlots[slot];
  if (s.option == "--load") {
    if (!media::IsSoundFontFile(s.file))
      return Failure(s.file + " is not a SoundFont (or cannot be read)");
    // Paths are kept in the song's code page, as the song file stores them.
    std::error_code error;
    const auto path = sys::FromUtf8(std::filesystem::absolute(s.file, error).string());
    if (!path || path->size() > core::kMaxPathBytes)
      return Failure(s.file + ": the path is too long or not in the song's code page");
    b.path = *path;
    b.flags = core::kBankSlotUsed | core::kBankSlotOwnFile;
    if (!s.embed)
      b.flags |= core::kBankSlotNameOnly;
    b.data.clear();
  } else if (s.option == "--remove") {
    b = core::BankSlot{};
  } else if (s.option == "--extract") {
    const auto data = core::BankSlotBytes(song.bankSlots[slot], song.path);
    if (!data)
      return Failure("bank slot " + std::to_string(slot) + " has no data to write");
    if (!WriteBytes(s.file, *data))
      return Failure("cannot write " + s.file);
    std::printf("wrote bank slot %d into %s\n", slot, s.file.c_str());
  }
  int used = 0;
  for (int i = 1; i < core::kBankSlots; ++i)
    used += (song.bankSlots[i].flags & core::kBankSlotUsed) != 0;
  song.bankSlotCount = static_cast<uint8_t>(used);
  return 0;
}

// The default user bank, set or cleared through the player core.
int DefaultBank(const char* file) {
  if (file && !media::IsSoundFontFile(file))
    return Failure(std::string(file) + " is not a SoundFont (or cannot be read)");
  std::string error;
  auto client = TambloClient::Start(sys::ProgramFolder(), &error);
  if (!client)
    return Failure(error);
  const TambloExports& t = client->Exports();
  if (!t.SetDefaultUserSynth(file ? 1 : 0, file))
    return Failure(file ? std::string("the sound card refused ") + file + " as its user bank"
                     : "the default user bank cannot be cleared");
  uint32_t flag = 0;
  std::array<char, 260> path{};
  t.GetDefaultUserSynth(&flag, path.data());
  if (flag)
    std::printf("default user bank: %s, selected as base bank 3 (synthesizer base %s);\n"
                "the card's own user bank comes back when vexo3 ends\n",
                path.data(), media::SoftwareSynthBase().c_str());
  else
    std::printf("no default user bank\n");
  return 0;
}

} // namespace

int BankCommand(std::span<char*> args) {
  if (args.size() == 2 && std::string_view(args[0]) == "--default")
    return DefaultBank(args[1]);
  if (args.size() == 1 && std::string_view(args[0]) == "--no-default")
    return DefaultBank(nullptr);
  std::string songPath, out;
  std::vector<Step> steps;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view a = args[i];
    auto need = [&](size_t n) { return i + n < args.size(); };
    Step s;
    s.option = a;
    if (a == "-o") {
      if (!need(1))
        return Usage("-o needs a file name");
      out = args[++i];
    } else if (a == "--load" || a == "--extract") {
      if (!need(2) || !ParseBounded(args[i + 1], 1, core::kBankSlots - 1, &s.value))
        return Usage(std::string(a) + " needs a slot of 1 to 127 and a file");
      s.file = args[i + 2];
      i += 2;
      if (a == "--load" && need(1) && std::string_view(args[i + 1]) == "--embed") {
        s.embed = true;
        ++i;
      }
      steps.push_back(s);
    } else if (a == "--remove") {
      if (!need(1) || !ParseBounded(args[i + 1], 1, core::kBankSlots - 1, &s.value))
        return Usage("--remove needs a slot of 1 to 127");
      ++i;
      steps.push_back(s);
    } else if (a == "--base") {
      if (!need(1) || !ParseBounded(args[i + 1], -1, 3, &s.value))
        return Usage("--base needs a bank of -1 to 3");
      ++i;
      steps.push_back(s);
    } else if (a == "--default" || a == "--no-default") {
      return Usage(std::string(a) + " stands alone");
    } else if (!a.empty() && a[0] != '-' && songPath.empty()) {
      songPath = a;
    } else {
      return Usage("unknown argument '" + std::string(a) + "'");
    }
  }
  if (songPath.empty())
    return Usage("which song file?");
  bool changes = false;
  for (const Step& s : steps)
    changes = changes || s.option != "--extract";
  if (changes && out.empty())
    return Usage("the changes need -o OUT.vx3 to be saved");

  return EditSongFile(
      songPath, out,
      [&](core::CSongData& song) {
        for (const Step& s : steps)
          if (int r = Apply(song, s))
            return r;
        return 0;
      },
      List);
}

} // namespace host
