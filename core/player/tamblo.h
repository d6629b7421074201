// How a host starts and ends the player core library Tamblo. Linux gives a
// library no way to refuse its own load, so the host calls Tamblo_Attach
// right after loading it and unloads it again when the start is refused:
// while one process holds the player core, every other start is refused;
// so is a start without the resource bundle rTamblo (after the message box
// "rTamblo.dll not found") or without a link library that binds.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Starts the library: 1 when it may stay loaded, 0 when it refuses. A second
// call after a start returns 1 and does nothing.
int32_t Tamblo_Attach(void);
// Why the last start was refused (empty after a start), zero-terminated and
// cut to fit into text when given; returns its full length.
int32_t Tamblo_AttachError(char* text, int32_t size);
// Ends the library: gives back what the start took. Call it before unloading
// the library; returns 1.
int32_t Tamblo_Detach(void);

#ifdef __cplusplus
} // extern "C"
#endif
