#include "core/player/bankmanager.h"

namespace core {

bool BankManager::Load(const std::string& folder) {
  Free();
  auto library = sys::Library::Load(folder, "ZYRMAN32.DLL");
  if (!library)
    return false;
  void* entry = library->Find("ZYRManager");
  if (!entry)
    return false;
  library_ = std::move(library);
  entry_ = reinterpret_cast<Entry>(entry);
  return true;
}

void BankManager::Free() {
  entry_ = nullptr;
  library_.reset();
}

} // namespace core
