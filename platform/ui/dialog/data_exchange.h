// The class library's exchange of a dialog's integer field with a range
// check: a field that is no number, or one out of range, is refused with
// the library's message and gets the focus back.
#pragma once

#include "platform/ui/dialog/dialog.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace ui {

// The field's value when it is a whole number of min to max; otherwise
// "Please enter an integer." or "Please enter an integer between min and
// max." under caption (exclamation icon) and nullopt.
std::optional<int32_t> ExchangeIntInRange(Dialog& dialog, int32_t id, int32_t min, int32_t max,
                                          std::string_view caption);

} // namespace ui
