#include "display/resources.h"

#include "platform/sys/codepage.h"

#include <mutex>

namespace display {
namespace {

std::mutex moduleMutex;
std::optional<res::Bundle> module;

} // namespace

void SetResourceModule(std::optional<res::Bundle> bundle) {
  std::lock_guard lock(moduleMutex);
  module = std::move(bundle);
}

const res::Bundle* ResourceModule() {
  std::lock_guard lock(moduleMutex);
  return module ? &*module : nullptr;
}

std::string LoadString(uint32_t id) {
  const res::Bundle* bundle = ResourceModule();
  if (!bundle)
    return {};
  return bundle->String(id).value_or(std::string());
}

std::string LoadStringBytes(uint32_t id, size_t maxBytes) {
  const res::Bundle* bundle = ResourceModule();
  if (!bundle)
    return {};
  std::string bytes = bundle->StringBytes(id);
  return std::string(sys::CutBytes(bytes, maxBytes));
}

std::optional<std::vector<uint8_t>> LoadResourceFile(const std::string& path) {
  const res::Bundle* bundle = ResourceModule();
  if (!bundle)
    return std::nullopt;
  return bundle->File(path);
}

} // namespace display
