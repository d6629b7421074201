// The control kinds a dialog can hold, by window class name: one row per
// kind. A new kind is a file pair in this folder and a row in the table of
// control_table.cpp; a kind a program (or a test) keeps to itself registers
// its own row with RegisterControlClass.
#pragma once

#include "platform/ui/controls/control.h"

#include <memory>

namespace ui {

struct ControlClass {
  ControlKind kind;
  std::unique_ptr<Control> (*make)();
};

template <class T> std::unique_ptr<Control> MakeControl() {
  return std::make_unique<T>();
}

// Registers the table's kinds with the message layer, once per process.
void RegisterControlClasses();
// Registers one more kind; false when its class name is taken or it has no
// factory.
bool RegisterControlClass(const ControlClass& row);

} // namespace ui
