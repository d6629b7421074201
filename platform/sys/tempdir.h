// The process's private temporary folder: made on first use under $TMPDIR
// (or /tmp) with a name no one can guess, readable by this user only, so
// that the fixed temporary file names the system uses cannot be taken over
// by others. It is removed at exit when empty, or on request.
#pragma once

#include <string>
#include <string_view>

namespace sys {

// The folder's path, made when missing; empty when it cannot be made. A
// process started by fork gets a folder of its own.
std::string TempDir();
// TempDir() + "/" + name; empty when name is not a plain file name or the
// folder cannot be made.
std::string TempPath(std::string_view name);
// Creates a new empty file prefix + 6 random characters + suffix in the
// folder, exclusively, and returns its path; empty on failure.
std::string CreateTempFile(std::string_view prefix, std::string_view suffix = {});
// Removes the folder with every file in it; the next TempDir() makes a new
// one. Returns false when something could not be removed.
bool RemoveTempDir();

} // namespace sys
