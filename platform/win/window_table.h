// The table of windows each process publishes in the session's window folder,
// so that any process finds windows by class and title by reading files,
// without asking (and waiting for) the processes that own them. Each process
// rewrites its own file atomically whenever one of its windows is created,
// destroyed, renamed or moved under another parent. Little-endian:
//   "VXWT", u16 version, u16 0, u32 pid, u64 process start time,
//   u32 count, then count entries of
//   u32 hwnd, u32 parent, u64 creation time (monotonic ns),
//   u16 class length, class, u16 title length, title.
#pragma once

#include "platform/win/messages.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace win::table {

inline constexpr uint16_t kVersion = 1;
// Largest table read; a larger file is not a table.
inline constexpr size_t kMaxTableSize = 16u << 20;
// Longest class name or title kept; longer ones are cut.
inline constexpr size_t kMaxText = 0xFFFF;

struct Entry {
  Hwnd hwnd = 0;
  Hwnd parent = 0;
  uint64_t createdNs = 0;
  std::string className;
  std::string title;
};

struct Table {
  uint32_t pid = 0;
  uint64_t startTime = 0; // the process's start in clock ticks since boot, 0 unknown
  std::vector<Entry> entries;
};

std::vector<uint8_t> Encode(const Table& table);
// nullopt for a wrong magic or version, a cut or oversized table, or bytes
// left over.
std::optional<Table> Decode(std::span<const uint8_t> bytes);

// The file name of a process's table: "<pid>.<start time>.tab".
std::string FileName(uint32_t pid, uint64_t startTime);
// The pid and start time in such a name (also with the leading '.' and
// trailing ".tmp" of a file being written, when temp is given).
bool ParseFileName(std::string_view name, uint32_t& pid, uint64_t& startTime, bool* temp = nullptr);

// This process's start time as the table records it (0 when unknown).
uint64_t OwnStartTime();
// Whether the process that published a table still runs: it exists, is not
// a zombie, and started when the table says (a reused pid is another
// process).
bool ProcessAlive(uint32_t pid, uint64_t startTime);

} // namespace win::table
