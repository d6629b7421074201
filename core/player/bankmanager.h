// The sound card's bank-manager library "ZYRMAN32.DLL" with its one entry
// point ZYRManager, loaded from the player core's folder when it is there,
// and what the player core does with it: a song's user banks loaded into the
// card and given back, the card's base bank, the default user bank, and the
// card driver's bank files in the settings store. Machines without such a
// card simply lack the library; then every operation gives 0 and songs play
// without their banks.
#pragma once

#include "core/songdata.h"
#include "platform/bankmanager/protocol.h"
#include "platform/sys/library.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace core {

// The longest default user bank path: what a 260-byte field holds with its
// terminating zero.
constexpr size_t kMaxDefaultBankPath = kMaxPathBytes;

class BankManager final : public SongBankHooks {
public:
  using Entry = bankman::Entry;

  BankManager() = default;
  BankManager(const BankManager&) = delete;
  BankManager& operator=(const BankManager&) = delete;

  // Loads the library from folder and binds its entry; 0 when either is
  // missing, which is no error. Then remembers the card's base bank.
  int LoadBankManager(const std::string& folder);
  // Gives the card back (the base bank of the binding when it was changed,
  // every slot loaded here freed), closes, frees the library.
  void FreeBankManager();

  bool Present() const { return entry_ != nullptr; }
  Entry EntryPoint() const { return entry_; }

  // 1 when a connection is open afterwards.
  int OpenBankManager();
  int CloseBankManager();
  int SelectBaseBank(int32_t bank);
  // The card's base bank; -1 without a connection or an answer.
  int32_t GetBaseBank();
  int FreeBankSlot(int slot);
  int QueryBankMemory(uint32_t* budget, uint32_t* free);
  // Loads a bank file into a slot once the card's memory has room for it.
  int LoadBankFile(const std::string& path, int slot);
  bool SlotLoaded(int slot) const { return slot > 0 && slot < kBankSlots && loaded_[slot]; }

  // The card driver's bank files; a null argument is left alone. 0 when the
  // driver's key cannot be found or opened.
  int ReadUserBankSetting(std::string* gm, std::string* gs, std::string* mt, std::string* user);
  int WriteUserBankSetting(const std::string* gm, const std::string* gs, const std::string* mt,
                           const std::string* user);
  // 1, with the driver's software key in *keyPath, when it was found.
  int FindCardMidiDriver(std::string* keyPath);

  // A song's banks into the card: the base bank it names, its slots from
  // their own files, from the song file's data or by name from the song's
  // folder. 1 when the card was reached.
  int LoadSongBanks(const CSongData& song);
  // The song's slots freed in the card and the base bank it replaced given
  // back.
  void ReleaseSongBanks();

  // The default user bank: flag 0 clears it; otherwise path (1 to 259 bytes)
  // becomes the card's "USER" bank and is selected, the value it replaces
  // kept to be written back. 1 when set.
  int SetDefaultUserSynth(uint32_t flag, const char* path);
  void GetDefaultUserSynth(uint32_t* flag, std::string* path) const;
  // At the library's end: an active default's saved "USER" value written back.
  void RestoreDefaultUserBank();

  // SongBankHooks.
  void BanksRead(const CSongData& song) override { LoadSongBanks(song); }
  void SongReset() override { ReleaseSongBanks(); }

private:
  int32_t Call(uint32_t command, uintptr_t argument1 = 0, uintptr_t argument2 = 0);
  void ClearDefault();

  std::optional<sys::Library> library_;
  Entry entry_ = nullptr;
  uintptr_t connection_ = 0;
  int32_t baseAtBinding_ = -1;
  bool changed_ = false;
  std::array<bool, kBankSlots> loaded_{};
  // The base bank a song's load replaced, to be given back at its reset.
  int32_t songBaseToRestore_ = -1;
  uint32_t defaultFlag_ = 0;
  std::string defaultPath_;
  std::string savedUserBank_;
};

} // namespace core
