// Takes the instance name given as its argument, reports "held" or
// "refused", and keeps the name until its input closes or it is killed.
#include "platform/sys/instance.h"

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 2)
    return 2;
  auto guard = sys::InstanceGuard::TryAcquire(argv[1]);
  std::printf("%s\n", guard ? "held" : "refused");
  std::fflush(stdout);
  char c;
  while (read(0, &c, 1) > 0) {
  }
  return 0;
}
