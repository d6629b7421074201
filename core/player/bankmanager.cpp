#include "core/player/bankmanager.h"

#include "platform/sys/settings_store.h"
#include "platform/sys/tempdir.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace core {
namespace {

namespace fs = std::filesystem;
using namespace bankman;

constexpr int kDefaultBaseBank = 3; // "USER"

uint64_t FileSize(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  return error ? 0 : size;
}

// The card driver's bank files' key when it is there.
std::optional<std::string> OpenUserBankKey(const sys::SettingsStore& store) {
  const auto software = FindDriverSoftwareKey(store);
  if (!software)
    return std::nullopt;
  std::string key = UserBankKey(*software);
  if (!store.KeyExists(key))
    return std::nullopt;
  return key;
}

// A file that is there and can be read: what a slot is loaded from.
bool Readable(const std::string& path) {
  return !path.empty() && access(path.c_str(), R_OK) == 0 && fs::is_regular_file(path);
}

// The embedded data in a new file of the private temporary folder, made
// exclusively; empty when it cannot be written.
std::string WriteTemporaryBank(const BankSlot& slot, int number) {
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "~~~TMP__.%03d.", number);
  const std::string path = sys::CreateTempFile(prefix);
  if (path.empty())
    return {};
  FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f != nullptr;
  if (f) {
    ok = std::fwrite(slot.data.data(), 1, slot.data.size(), f) == slot.data.size();
    ok = std::fclose(f) == 0 && ok;
  }
  if (!ok) {
    unlink(path.c_str());
    return {};
  }
  return path;
}

} // namespace

int32_t BankManager::Call(uint32_t command, uintptr_t argument1, uintptr_t argument2) {
  if (!entry_)
    return -1;
  return entry_(connection_, command, argument1, argument2);
}

int BankManager::LoadBankManager(const std::string& folder) {
  FreeBankManager();
  auto library = sys::Library::Load(folder, kLibraryName);
  if (!library)
    return 0;
  void* entry = library->Find(kEntryName);
  if (!entry)
    return 0;
  library_ = std::move(library);
  entry_ = reinterpret_cast<Entry>(entry);
  if (OpenBankManager()) {
    baseAtBinding_ = GetBaseBank();
    CloseBankManager();
  }
  loaded_.fill(false);
  changed_ = false;
  return 1;
}

void BankManager::FreeBankManager() {
  if (OpenBankManager()) {
    for (int slot = 1; slot < kBankSlots; ++slot) {
      if (loaded_[slot])
        FreeBankSlot(slot);
    }
    if (changed_ && baseAtBinding_ >= 0)
      SelectBaseBank(baseAtBinding_);
    CloseBankManager();
  }
  entry_ = nullptr;
  library_.reset();
  connection_ = 0;
  baseAtBinding_ = -1;
  changed_ = false;
  loaded_.fill(false);
  songBaseToRestore_ = -1;
}

int BankManager::OpenBankManager() {
  if (!entry_)
    return 0;
  if (connection_)
    return 1;
  uintptr_t connection = 0;
  if (entry_(0, kOpen, reinterpret_cast<uintptr_t>(&connection), 0) != 0 || connection == 0)
    return 0;
  connection_ = connection;
  return 1;
}

int BankManager::CloseBankManager() {
  if (!entry_ || !connection_)
    return 0;
  const int32_t result = Call(kClose);
  connection_ = 0;
  return result == 0 ? 1 : 0;
}

int BankManager::SelectBaseBank(int32_t bank) {
  if (!connection_ || bank < 0 || Call(kSelectBaseBank, static_cast<uintptr_t>(bank)) != 0)
    return 0;
  changed_ = true;
  return 1;
}

int32_t BankManager::GetBaseBank() {
  if (!connection_)
    return -1;
  BaseBankRecord record{-1, 0};
  if (Call(kGetBaseBank, reinterpret_cast<uintptr_t>(&record)) != 0)
    return -1;
  return record.bank;
}

int BankManager::FreeBankSlot(int slot) {
  if (!connection_ || slot < 1 || slot >= kBankSlots ||
      Call(kFreeSlot, static_cast<uintptr_t>(slot)) != 0)
    return 0;
  loaded_[slot] = false;
  changed_ = true;
  return 1;
}

int BankManager::QueryBankMemory(uint32_t* budget, uint32_t* free) {
  uint32_t first = 0, second = 0;
  if (!connection_ ||
      Call(kQueryMemory, reinterpret_cast<uintptr_t>(&first), reinterpret_cast<uintptr_t>(&second)) !=
          0)
    return 0;
  if (budget)
    *budget = first;
  if (free)
    *free = second;
  return 1;
}

int BankManager::LoadBankFile(const std::string& path, int slot) {
  if (!connection_ || slot < 1 || slot >= kBankSlots)
    return 0;
  uint32_t free = 0;
  if (!QueryBankMemory(nullptr, &free) || FileSize(path) > free)
    return 0;
  if (Call(kLoadBank, reinterpret_cast<uintptr_t>(path.c_str()), static_cast<uintptr_t>(slot)) != 0)
    return 0;
  loaded_[slot] = true;
  return 1;
}

int BankManager::FindCardMidiDriver(std::string* keyPath) {
  const auto key = FindDriverSoftwareKey(sys::SettingsStore());
  if (!key)
    return 0;
  if (keyPath)
    *keyPath = *key;
  return 1;
}

int BankManager::ReadUserBankSetting(std::string* gm, std::string* gs, std::string* mt,
                                     std::string* user) {
  sys::SettingsStore store;
  const auto key = OpenUserBankKey(store);
  if (!key)
    return 0;
  std::string* out[kBaseBanks] = {gm, gs, mt, user};
  for (int i = 0; i < kBaseBanks; ++i) {
    if (out[i])
      *out[i] = store.GetString(*key, kBaseBankValues[i]).value_or("");
  }
  return 1;
}

int BankManager::WriteUserBankSetting(const std::string* gm, const std::string* gs,
                                      const std::string* mt, const std::string* user) {
  sys::SettingsStore store;
  const auto key = OpenUserBankKey(store);
  if (!key)
    return 0;
  const std::string* in[kBaseBanks] = {gm, gs, mt, user};
  for (int i = 0; i < kBaseBanks; ++i) {
    if (in[i] && !store.SetString(*key, kBaseBankValues[i], *in[i]))
      return 0;
  }
  return 1;
}

int BankManager::LoadSongBanks(const CSongData& song) {
  if (!OpenBankManager())
    return 0;
  // The base bank the song names; the card's is given back at its reset.
  if (song.bankNumber != 0) {
    const int32_t bank = song.bankNumber == 255 ? 0 : song.bankNumber;
    const int32_t current = GetBaseBank();
    if (SelectBaseBank(bank) && songBaseToRestore_ < 0)
      songBaseToRestore_ = current;
  }

  // Where each used slot's bank comes from, and what they take together.
  struct Source {
    std::string file;
    bool temporary = false;
  };
  std::array<Source, kBankSlots> sources{};
  uint64_t total = 0;
  for (int slot = 1; slot < kBankSlots; ++slot) {
    const BankSlot& s = song.bankSlots[slot];
    if (!(s.flags & kBankSlotUsed))
      continue;
    if (s.flags & kBankSlotOwnFile) {
      sources[slot].file = BankSlotFile(s, song.path);
      total += FileSize(sources[slot].file);
    } else if (!s.data.empty()) {
      sources[slot].temporary = true;
      total += s.data.size();
    }
  }

  // Short of memory: the banks loaded here make room first; then the card's
  // base bank gives way to General MIDI. The base bank given back at the
  // reset stays the one the card had before the song.
  uint32_t free = 0;
  if (QueryBankMemory(nullptr, &free) && total > free) {
    for (int slot = 1; slot < kBankSlots; ++slot) {
      if (loaded_[slot])
        FreeBankSlot(slot);
    }
    if (QueryBankMemory(nullptr, &free) && total > free) {
      const int32_t current = GetBaseBank();
      if (SelectBaseBank(0) && songBaseToRestore_ < 0)
        songBaseToRestore_ = current;
    }
  }

  // Each slot is freed in the card only once its new file is there.
  for (int slot = 1; slot < kBankSlots; ++slot) {
    const BankSlot& s = song.bankSlots[slot];
    if (!(s.flags & kBankSlotUsed))
      continue;
    std::string file = sources[slot].file;
    if (file.empty() && !sources[slot].temporary)
      continue; // no data, or a name not found beside the song
    if (sources[slot].temporary)
      file = WriteTemporaryBank(s, slot);
    if (!Readable(file)) {
      if (sources[slot].temporary && !file.empty())
        unlink(file.c_str());
      continue;
    }
    FreeBankSlot(slot);
    LoadBankFile(file, slot);
    if (sources[slot].temporary)
      unlink(file.c_str());
  }
  CloseBankManager();
  return 1;
}

void BankManager::ReleaseSongBanks() {
  bool any = songBaseToRestore_ >= 0;
  for (int slot = 1; slot < kBankSlots && !any; ++slot)
    any = loaded_[slot];
  if (!any || !OpenBankManager())
    return;
  for (int slot = 1; slot < kBankSlots; ++slot) {
    if (loaded_[slot])
      FreeBankSlot(slot);
  }
  if (songBaseToRestore_ >= 0)
    SelectBaseBank(songBaseToRestore_);
  songBaseToRestore_ = -1;
  CloseBankManager();
}

// An active default gives the card's "USER" value back as it goes, so that
// clearing it loses nothing that the restore at the end would have kept.
void BankManager::ClearDefault() {
  if (defaultFlag_)
    WriteUserBankSetting(nullptr, nullptr, nullptr, &savedUserBank_);
  defaultFlag_ = 0;
  defaultPath_.clear();
  savedUserBank_.clear();
}

int BankManager::SetDefaultUserSynth(uint32_t flag, const char* path) {
  if (flag == 0) {
    ClearDefault();
    return 1;
  }
  const std::string_view text = path ? std::string_view(path) : std::string_view();
  if (text.empty() || text.size() > kMaxDefaultBankPath) {
    ClearDefault();
    return 0;
  }
  if (!OpenBankManager()) {
    ClearDefault();
    return 0;
  }
  std::string saved;
  const std::string wanted(text);
  int result = 0;
  if (ReadUserBankSetting(nullptr, nullptr, nullptr, &saved) &&
      WriteUserBankSetting(nullptr, nullptr, nullptr, &wanted)) {
    if (SelectBaseBank(kDefaultBaseBank)) {
      // A default set over another keeps the value from before the first.
      if (!defaultFlag_)
        savedUserBank_ = saved;
      defaultFlag_ = flag;
      defaultPath_ = wanted;
      result = 1;
    } else {
      WriteUserBankSetting(nullptr, nullptr, nullptr, &saved);
      ClearDefault();
    }
  } else {
    ClearDefault();
  }
  CloseBankManager();
  return result;
}

void BankManager::GetDefaultUserSynth(uint32_t* flag, std::string* path) const {
  if (flag)
    *flag = defaultFlag_;
  if (path)
    *path = defaultPath_;
}

void BankManager::RestoreDefaultUserBank() {
  ClearDefault();
}

} // namespace core
