// Bolrixa: the board duel.
#include "games/board.h"

int main(int argc, char** argv) {
  games::CBolrixaApp app;
  return app.Run(argc, argv);
}
