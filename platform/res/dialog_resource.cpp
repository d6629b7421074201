#include "platform/res/dialog_resource.h"

namespace res {

std::optional<ui::DialogTemplate> LoadDialogTemplate(const Bundle& bundle, int id,
                                                     std::string* error) {
  const std::string path = "dialogs/" + std::to_string(id) + ".dlg";
  const std::optional<std::vector<uint8_t>> bytes = bundle.File(path);
  ui::DialogTemplateError e;
  std::optional<ui::DialogTemplate> t;
  if (bytes)
    t = ui::ParseDialogTemplate(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), &e);
  if (!t && error)
    *error = bundle.Name() + " " + path + ": " +
             (bytes ? "line " + std::to_string(e.line) + ": " + e.message : std::string("missing"));
  return t;
}

} // namespace res
