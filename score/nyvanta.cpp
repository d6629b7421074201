// The library Nyvanta: its exports live in library.cpp, linked whole.
#include "score/nyvanta.h"
