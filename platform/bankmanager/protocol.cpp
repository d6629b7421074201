#include "platform/bankmanager/protocol.h"

#include "platform/sys/ascii.h"
#include "platform/sys/settings_store.h"

namespace bankman {

std::optional<std::string> FindDriverSoftwareKey(const sys::SettingsStore& store) {
  for (const std::string& sub : store.SubKeys(kMidiDriversKey)) {
    const std::string key = std::string(kMidiDriversKey) + "\\" + sub;
    const auto driver = store.GetString(key, "Driver");
    if (!driver || !sys::EqualIgnoringAsciiCase(*driver, kDriverFile))
      continue;
    auto software = store.GetString(key, "SOFTWAREKEY");
    if (software && !software->empty())
      return software;
  }
  return std::nullopt;
}

std::string UserBankKey(const std::string& softwareKey) {
  return softwareKey + "\\" + kUserBankSubKey;
}

} // namespace bankman
