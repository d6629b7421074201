// The sound card's bank manager as the player core calls it: one entry
// point, ZYRManager(connection, command, argument 1, argument 2), 0 on
// success; and where the card driver keeps its bank files in the settings
// store. Shared by the stand-in library over the built-in synthesizer and by
// its callers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sys {
class SettingsStore;
}

namespace bankman {

using Entry = int32_t (*)(uintptr_t connection, uint32_t command, uintptr_t argument1,
                          uintptr_t argument2);
inline constexpr const char* kEntryName = "ZYRManager";
inline constexpr const char* kLibraryName = "ZYRMAN32.DLL";

// Commands and their arguments.
inline constexpr uint32_t kOpen = 101;           // 0, uintptr_t* receiving the connection, 0
inline constexpr uint32_t kClose = 102;          // connection, 0, 0
inline constexpr uint32_t kLoadBank = 204;       // connection, const char* file, slot 1-127
inline constexpr uint32_t kFreeSlot = 205;       // connection, slot, 0
inline constexpr uint32_t kGetBaseBank = 305;    // connection, BaseBankRecord*, 0
inline constexpr uint32_t kQueryMemory = 308;    // connection, uint32_t* budget, uint32_t* free
inline constexpr uint32_t kSelectBaseBank = 907; // connection, base bank 0-3, 0

// What command 305 fills in.
struct BaseBankRecord {
  int32_t bank = 0;
  int32_t reserved = 0;
};

// The stand-in's answers other than 0.
inline constexpr int32_t kNoConnection = 1;  // not an open connection
inline constexpr int32_t kBadArgument = 2;   // a null address, a slot or bank out of range
inline constexpr int32_t kUnsetBank = 3;     // the base bank's file is not set
inline constexpr int32_t kNotASoundFont = 4; // unreadable, or not a SoundFont 2 file
inline constexpr int32_t kNoMemory = 5;      // the bank would pass the memory budget
inline constexpr int32_t kRefused = 6;       // the synthesizer could not load it
inline constexpr int32_t kUnknownCommand = 7;

// The card's bank memory: user banks together may take this many bytes of
// bank files. Command 308 gives it first, then what is left of it.
inline constexpr uint32_t kMemoryBudget = 64u << 20;

// Base banks, numbered as command 907 takes them: the value names under
// the driver's user-bank key.
inline constexpr int kBaseBanks = 4;
inline constexpr const char* kBaseBankValues[kBaseBanks] = {"GM", "GS", "MT", "USER"};

// Settings: the card driver's entry among the MIDI drivers, and under its
// software key the bank files.
inline constexpr const char* kMidiDriversKey =
    "System\\CurrentControlSet\\Control\\MediaResources\\midi";
inline constexpr const char* kDriverFile = "plzyr32.drv";
inline constexpr const char* kUserBankSubKey = "Settings\\UserBank";

// The driver's software key: the "SOFTWAREKEY" value of the MIDI drivers'
// sub-key whose "Driver" is the card's (letter case ignored); nullopt when
// there is none.
std::optional<std::string> FindDriverSoftwareKey(const sys::SettingsStore& store);
// The key that holds the bank files, under the software key.
std::string UserBankKey(const std::string& softwareKey);

} // namespace bankman
