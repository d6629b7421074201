// The test program's one GUI application.
#include "platform/gdi/tests/gui_environment.h"
