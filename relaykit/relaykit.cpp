// relaykit.cpp - the library's own entry: its version line.
#include <cstdio>

#include "relaykit.h"
#include "relaykit_version.h"

extern "C" void relayKitVersion(void) {
    fputs("relayKitVersion " RELAYKIT_VERSION_MAJOR_MINOR "\n", stdout);
    fflush(stdout);
}
