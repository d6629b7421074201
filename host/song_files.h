// Song files as the commands read and write them: the save kind a file name
// asks for, questions answered yes, and loads and saves that say on standard
// error why they failed; and the errors and numbers of their command lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/songdata.h"

namespace host {

// The save kind of an output file by its extension (.kar, .mid, .vx3, .sb3,
// .sw3); 0 for another name.
int SaveKindFor(const std::string& file);

// Questions of a save are answered yes while it lives: the user named the
// output.
struct TerminalMessages {
  TerminalMessages();
  ~TerminalMessages();
};

// False after "vexo3: cannot read FILE: why" on standard error.
bool LoadSongFile(core::CSongData& song, const char* file);
// False after "vexo3: cannot save FILE: why" on standard error.
bool SaveSongFile(core::CSongData& song, const char* file, int saveKind);

// A command's usage error: "vexo3: why" and the usage on standard error; 2.
int UsageError(const std::string& why, const char* usage);
// A command's failure: "vexo3: why" on standard error; 1.
int Failure(const std::string& why);
// A whole decimal number within [low, high] into *out; false otherwise.
bool ParseBounded(const char* text, long low, long high, long* out);

// A song file read, changed by edit (which gives 0, or the exit code that
// ends the command), shown by list and, when out is not empty, saved there
// as a 3.50 song file; the command's exit code.
int EditSongFile(const std::string& file, const std::string& out,
                 const std::function<int(core::CSongData&)>& edit,
                 const std::function<void(const core::CSongData&)>& list);

struct LyricCount {
  int64_t syllables = 0;
  int64_t lines = 0; // lines holding a syllable
};
LyricCount CountLyrics(const core::Track& lyric);

} // namespace host
