// The sound card's bank manager, standing in over the built-in synthesizer:
// base bank k is the SoundFont the driver's settings name for it (General
// MIDI, GS, MT-32, the user's), and user bank slot n holds a SoundFont heard
// as MIDI bank n. On its first call it enters itself among the MIDI drivers,
// with Debian's General MIDI SoundFont as its GM bank, as a driver's
// installation would.
//
// A bank file is checked as a SoundFont's RIFF form and copied into the
// process's private temporary folder, as a card copies it into its memory:
// the caller may remove its file once the load returned.
#include "platform/bankmanager/protocol.h"

#include "platform/media/riff.h"
#include "platform/media/software_synth.h"
#include "platform/sys/settings_store.h"
#include "platform/sys/tempdir.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <set>
#include <unistd.h>

namespace {

using namespace bankman;

constexpr int kSlots = 128; // 1-127 are used

struct Slot {
  std::string copy; // the private copy the synthesizer loaded
  uint64_t bytes = 0;
};

struct Card {
  std::mutex mutex;
  bool installed = false;
  std::set<uintptr_t> connections;
  uintptr_t nextConnection = 1;
  int32_t base = 0;
  std::array<Slot, kSlots> slots;
  uint64_t used = 0;
};

Card& TheCard() {
  // Lives as long as the library: a card left on the heap would be lost
  // each time the player core unloads it.
  static Card card;
  return card;
}

// The driver's entry and its GM bank, when they are not there yet.
void Install() {
  sys::SettingsStore store;
  std::optional<std::string> software = FindDriverSoftwareKey(store);
  if (!software) {
    const std::string key = std::string(kMidiDriversKey) + "\\plzyr32";
    software = "Software\\Vexo3\\ZYR32";
    if (!store.SetString(key, "Driver", kDriverFile) ||
        !store.SetString(key, "SOFTWAREKEY", *software))
      return;
  }
  const std::string banks = UserBankKey(*software);
  if (store.GetString(banks, "GM").value_or("").empty()) {
    const std::string gm = media::GeneralMidiSoundFont();
    if (!gm.empty())
      store.SetString(banks, "GM", gm);
  }
}

std::string BaseBankFile(int32_t bank) {
  sys::SettingsStore store;
  const auto software = FindDriverSoftwareKey(store);
  if (!software)
    return {};
  return store.GetString(UserBankKey(*software), kBaseBankValues[bank]).value_or("");
}

bool WriteCopy(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

int32_t FreeSlot(Card& card, uintptr_t slot) {
  if (slot < 1 || slot >= kSlots)
    return kBadArgument;
  Slot& s = card.slots[slot];
  if (s.copy.empty())
    return 0;
  media::UnloadSoftwareSynthBank(static_cast<int>(slot));
  unlink(s.copy.c_str());
  card.used -= s.bytes;
  s = Slot{};
  return 0;
}

int32_t LoadBank(Card& card, const char* file, uintptr_t slot) {
  if (!file || slot < 1 || slot >= kSlots)
    return kBadArgument;
  const auto bytes = media::ReadRiffFile(file, nullptr);
  if (!bytes || !media::LooksLikeSoundFont(*bytes))
    return kNotASoundFont;
  Slot& s = card.slots[slot];
  if (card.used - s.bytes + bytes->size() > kMemoryBudget)
    return kNoMemory;
  const std::string copy = sys::CreateTempFile("bank-" + std::to_string(slot) + "-", ".sf2");
  if (copy.empty() || !WriteCopy(copy, *bytes) ||
      !media::LoadSoftwareSynthBank(static_cast<int>(slot), copy)) {
    if (!copy.empty())
      unlink(copy.c_str());
    return kRefused;
  }
  if (!s.copy.empty())
    unlink(s.copy.c_str());
  card.used = card.used - s.bytes + bytes->size();
  s = Slot{copy, bytes->size()};
  return 0;
}

int32_t SelectBase(Card& card, uintptr_t bank) {
  if (bank >= kBaseBanks)
    return kBadArgument;
  const std::string file = BaseBankFile(static_cast<int32_t>(bank));
  if (file.empty())
    return kUnsetBank;
  if (file != media::GeneralMidiSoundFont() && !media::IsSoundFontFile(file))
    return kNotASoundFont;
  if (!media::SetSoftwareSynthBase(file))
    return kRefused;
  card.base = static_cast<int32_t>(bank);
  return 0;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int32_t
ZYRManager(uintptr_t connection, uint32_t command, uintptr_t argument1, uintptr_t argument2) {
  Card& card = TheCard();
  std::lock_guard lock(card.mutex);
  if (!card.installed) {
    card.installed = true;
    Install();
  }
  if (command == kOpen) {
    auto* out = reinterpret_cast<uintptr_t*>(argument1);
    if (!out)
      return kBadArgument;
    *out = card.nextConnection++;
    card.connections.insert(*out);
    return 0;
  }
  if (!card.connections.count(connection))
    return kNoConnection;
  switch (command) {
  case kClose:
    card.connections.erase(connection);
    return 0;
  case kLoadBank:
    return LoadBank(card, reinterpret_cast<const char*>(argument1), argument2);
  case kFreeSlot:
    return FreeSlot(card, argument1);
  case kGetBaseBank: {
    auto* record = reinterpret_cast<BaseBankRecord*>(argument1);
    if (!record)
      return kBadArgument;
    record->bank = card.base;
    return 0;
  }
  case kQueryMemory: {
    auto* budget = reinterpret_cast<uint32_t*>(argument1);
    auto* free = reinterpret_cast<uint32_t*>(argument2);
    if (!budget || !free)
      return kBadArgument;
    *budget = kMemoryBudget;
    *free = static_cast<uint32_t>(kMemoryBudget - card.used);
    return 0;
  }
  case kSelectBaseBank:
    return SelectBase(card, argument1);
  default:
    return kUnknownCommand;
  }
}
