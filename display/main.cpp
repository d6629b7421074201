// Kivo32: the lyric display program.
#include "display/app.h"

int main(int argc, char** argv) {
  return display::RunKivo32(argc, argv);
}
