// udp_port_state.h - what the kernel's UDP table says about a local port: how many sockets are
// bound to it, and how many datagrams were dropped for them because a receive buffer was full.
#ifndef RELAYKIT_TESTS_UDP_PORT_STATE_H
#define RELAYKIT_TESTS_UDP_PORT_STATE_H

#include <cstdint>
#include <cstdio>

struct UdpPortState {
    int sockets = 0;
    long drops = 0;
};

inline UdpPortState UdpPortStateOf(uint16_t port) {
    UdpPortState state;
    FILE *table = fopen("/proc/net/udp", "r");
    char line[512];
    unsigned localPort = 0;
    long drops = 0; // the last of the 13 columns after the slot number
    while (table != nullptr && fgets(line, sizeof line, table) != nullptr) {
        if (sscanf(line, " %*d: %*x:%x %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %ld", &localPort, &drops) != 2 ||
            localPort != port)
            continue;
        ++state.sockets;
        state.drops += drops;
    }
    if (table != nullptr) fclose(table);
    return state;
}

#endif // RELAYKIT_TESTS_UDP_PORT_STATE_H
