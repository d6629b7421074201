// "convert IN OUT --kind K" for the command line: loads a song file and saves
// it in save kind K (1005 MIDI, 1006 karaoke MIDI, 1010/1011 song file 3.00,
// 1020-1022 song file 3.50, 1030-1032 song file 3.50 packed).
#pragma once

#include <span>

namespace core {

// 0 when the file was written; 1 with a one-line error on standard error when
// the input cannot be read or the output cannot be written; 2 for a usage
// error. Questions are printed to standard error and answered yes.
int ConvertCommand(std::span<char*> args);

} // namespace core
