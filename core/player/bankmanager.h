// The sound card's bank-manager library "ZYRMAN32.DLL" with its one entry
// point ZYRManager, loaded from the player core's folder when it is there.
// Machines without such a card simply lack it; songs then play without their
// user banks.
#pragma once

#include "platform/sys/library.h"

#include <cstdint>
#include <optional>
#include <string>

namespace core {

class BankManager {
public:
  // ZYRManager(connection, command, argument 1, argument 2): 0 on success.
  using Entry = int32_t (*)(uintptr_t connection, uint32_t command, uintptr_t argument1,
                            uintptr_t argument2);

  // Loads the library from folder and binds its entry; false when either is
  // missing, which is no error.
  bool Load(const std::string& folder);
  void Free();

  bool Present() const { return entry_ != nullptr; }
  Entry EntryPoint() const { return entry_; }

private:
  std::optional<sys::Library> library_;
  Entry entry_ = nullptr;
};

} // namespace core
