// relaykit.cpp - the library's own entry: its version line.
#include <cstdio>

#include "relaykit.h"

extern "C" void relayKitVersion(void) {
    fputs("relayKitVersion 1.0\n", stdout);
    fflush(stdout);
}
