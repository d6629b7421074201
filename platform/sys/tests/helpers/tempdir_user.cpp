// Makes its private temporary folder and prints its path; with the argument
// "file" also leaves a file in it. Then ends normally, so that what is left
// at exit can be checked.
#include "platform/sys/tempdir.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  std::string dir = sys::TempDir();
  std::printf("%s\n", dir.c_str());
  if (argc > 1 && std::strcmp(argv[1], "file") == 0)
    std::printf("%s\n", sys::CreateTempFile("left-").c_str());
  std::fflush(stdout);
  return dir.empty() ? 1 : 0;
}
