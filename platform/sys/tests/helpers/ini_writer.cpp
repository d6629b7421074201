// Child process for the INI locking test: waits until its start pipe closes,
// then writes count keys "<prefix>_<n>" = "<prefix>-<n>" into section "Keys"
// of one file, one write at a time.
//
//   ini_writer <file> <prefix> <count> <start-fd or -1>
#include "platform/sys/ini.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: ini_writer <file> <prefix> <count> <start-fd>\n");
    return 2;
  }
  std::string path = argv[1];
  std::string prefix = argv[2];
  int count = std::atoi(argv[3]);
  int startFd = std::atoi(argv[4]);
  if (startFd >= 0) {
    char c;
    while (read(startFd, &c, 1) > 0) {
    }
    close(startFd);
  }
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    if (!sys::IniWriteString(path, "Keys", prefix + "_" + n, prefix + "-" + n)) {
      std::fprintf(stderr, "ini_writer: write %d failed\n", i);
      return 1;
    }
  }
  return 0;
}
