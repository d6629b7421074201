// The sub-commands of the stand-in host program. Each later subsystem adds its
// own command to the table in commands.cpp.
#pragma once

#include <span>
#include <string_view>

namespace host {

struct Command {
  std::string_view name;
  std::string_view usage;
  std::string_view summary;
  int (*run)(std::span<char*> args);
};

std::span<const Command> Commands();
int RunCommandLine(int argc, char** argv);

} // namespace host
