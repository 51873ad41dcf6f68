// The C library generator of the platform the productions were authored on.
// Group colours, particles and noise must repeat those exact values, which
// glibc's rand does not give: state = state * 214013 + 2531011, value =
// (state >> 16) & 0x7FFF, state 1 for every new thread, never seeded by the
// engine.
#pragma once

namespace platform {

int CRand();
// Restarts the calling thread's sequence; only tests use it, to replay draws.
void CSRand(unsigned int seed);

}  // namespace platform
