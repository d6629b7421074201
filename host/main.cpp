// vexo3: the stand-in for the external host program.
#include "host/commands.h"

int main(int argc, char** argv) { return host::RunCommandLine(argc, argv); }
