// The device name of a capability record: a field of 32 characters, ended
// by a zero, so at most 31 of them.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace media {

using CapsNameField = std::array<char, 32>;

inline std::string CapsName(const CapsNameField& field) {
  return std::string(field.begin(), std::find(field.begin(), field.end(), '\0'));
}

inline void SetCapsName(CapsNameField& field, std::string_view text) {
  field.fill('\0');
  std::memcpy(field.data(), text.data(), std::min(text.size(), field.size() - 1));
}

} // namespace media
