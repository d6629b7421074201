#include "display/menuresource.h"

#include "display/resources.h"

namespace display {

std::optional<ui::Menu> LoadMenuResource(uint32_t id) {
  return ui::LoadMenuResource(
      [](std::string_view path) { return LoadResourceFile(std::string(path)); }, id);
}

} // namespace display
