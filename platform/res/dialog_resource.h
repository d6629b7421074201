// A bundle's dialog templates: dialogs/<id>.dlg, in the text form that
// platform/ui/dialog/dialog_template.h reads.
#pragma once

#include "platform/res/bundle.h"
#include "platform/ui/dialog/dialog_template.h"

#include <optional>
#include <string>

namespace res {

// Template id of bundle; nullopt, with "<bundle> dialogs/<id>.dlg: missing"
// or "... line N: why" in *error, when it is not there or does not read.
std::optional<ui::DialogTemplate> LoadDialogTemplate(const Bundle& bundle, int id,
                                                     std::string* error);

} // namespace res
