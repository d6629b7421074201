// What the in-place fields (EditField, DropList) let their owner take:
// Enter, Escape, the loss of the focus, and a person's choice made in a
// list with the mouse. The owner's hook answers true when it took the
// event; it may destroy the field meanwhile.
#pragma once

#include <functional>

namespace ui {

enum class FieldEvent { Enter, Escape, FocusLost, Chosen };
using FieldHook = std::function<bool(FieldEvent)>;

} // namespace ui
