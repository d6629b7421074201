// Marks what the shared library Marquell exports; everything else stays
// inside it.
#pragma once

#define MARQUELL_EXPORT __attribute__((visibility("default")))
