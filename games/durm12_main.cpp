// Durm12: the twelve-song challenge.
#include "games/challenge.h"

int main(int argc, char** argv) {
  games::CDurm12App app;
  return app.Run(argc, argv);
}
