// Starting another program and letting it run on its own: an editor or a
// viewer the user asked for, a program of the suite.
#pragma once

#include <string>
#include <vector>

namespace sys {

// Starts argv[0] (looked up in PATH when it holds no '/') with the other
// elements as its arguments, word for word: no shell reads them. The program
// runs in a session of its own with its standard streams on /dev/null, is not
// waited for and never stays behind as a zombie of the caller. false, with
// the reason in *error when given, when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv, std::string* error = nullptr);

} // namespace sys
