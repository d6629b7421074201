// The library's one state: its bundle, its folder and the controller, for
// the exports and for tests that drive them in process.
#pragma once

#include "platform/res/bundle.h"
#include "score/controller.h"

#include <string>

namespace score {

// Loads rNyvanta from folder (a box "rNyvanta.dll not found" when it is
// missing), registers "MSG_NYVANTA" and makes the controller object; false,
// with the reason, when any of it fails.
bool Attach(const std::string& folder, std::string* why);
void Detach();
bool Attached();

// Null before Attach.
CScoreController* Controller();
const res::Bundle* Bundle();
// The folder the library was started from (the verdict sounds lie there).
const std::string& Folder();

} // namespace score
