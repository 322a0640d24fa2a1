// cm_tap.cpp - a UDP relay in front of an OLT manager on loopback that writes every datagram it
// passes into a pcap file, as a loopback capture would show it: the capture of the dissector test
// where live capture is not allowed.
//
//   cm_tap MANAGER_PORT FILE
//
// Hosts send to the tap's port (a free one on 127.0.0.1, printed as "tapping on 127.0.0.1:PORT"
// once ready) as if it were the manager. Each host endpoint gets a socket of its own towards the
// manager, so the manager's answers, alarms and events for that endpoint come back to it from the
// tap's port. The file shows each datagram between the host endpoint and the tap's port, and is
// flushed after each one. SIGINT or SIGTERM ends the tap.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "oltmgr_peer.h"

namespace {

constexpr size_t kMaxDatagram = 65507; // the largest UDP payload over IPv4
constexpr size_t kMaxHosts = 64;       // host endpoints relayed at once; more are dropped
constexpr uint32_t kLinkTypeRaw = 101; // records hold an IPv4 packet

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

struct Host {
    sockaddr_in address;
    int toManager; // this host's socket towards the manager
};

// A socket on a free loopback port; *port receives it.
int BindLoopback(uint16_t *port) {
    std::string error;
    return oltmgr::BindUdp("127.0.0.1", 0, port, &error);
}

void Put16(std::vector<uint8_t> &out, uint16_t value) { // network order
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void Put32Host(std::vector<uint8_t> &out, uint32_t value) { // pcap headers are in host order
    uint8_t bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    out.insert(out.end(), bytes, bytes + 4);
}

// One pcap record: an IPv4 header and a UDP header (no checksum) in front of the payload.
void WriteRecord(FILE *file, const sockaddr_in &from, const sockaddr_in &to, const uint8_t *payload,
                 size_t length) {
    std::vector<uint8_t> packet;
    uint16_t total = static_cast<uint16_t>(20 + 8 + length);
    packet.push_back(0x45);
    packet.push_back(0);
    Put16(packet, total);
    Put16(packet, 0);      // identification
    Put16(packet, 0x4000); // don't fragment
    packet.push_back(64);  // time to live
    packet.push_back(IPPROTO_UDP);
    Put16(packet, 0); // header checksum, filled in below
    packet.insert(packet.end(), reinterpret_cast<const uint8_t *>(&from.sin_addr),
                  reinterpret_cast<const uint8_t *>(&from.sin_addr) + 4);
    packet.insert(packet.end(), reinterpret_cast<const uint8_t *>(&to.sin_addr),
                  reinterpret_cast<const uint8_t *>(&to.sin_addr) + 4);
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum += static_cast<uint32_t>(packet[i] << 8 | packet[i + 1]);
    while (sum > 0xffff) sum = (sum & 0xffff) + (sum >> 16);
    packet[10] = static_cast<uint8_t>(~sum >> 8);
    packet[11] = static_cast<uint8_t>(~sum);
    Put16(packet, ntohs(from.sin_port));
    Put16(packet, ntohs(to.sin_port));
    Put16(packet, static_cast<uint16_t>(8 + length));
    Put16(packet, 0);
    packet.insert(packet.end(), payload, payload + length);

    timeval now{};
    gettimeofday(&now, nullptr);
    std::vector<uint8_t> header;
    Put32Host(header, static_cast<uint32_t>(now.tv_sec));
    Put32Host(header, static_cast<uint32_t>(now.tv_usec));
    Put32Host(header, static_cast<uint32_t>(packet.size()));
    Put32Host(header, static_cast<uint32_t>(packet.size()));
    std::fwrite(header.data(), 1, header.size(), file);
    std::fwrite(packet.data(), 1, packet.size(), file);
    std::fflush(file);
}

bool SameEndpoint(const sockaddr_in &a, const sockaddr_in &b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: cm_tap MANAGER_PORT FILE\n");
        return 2;
    }
    sockaddr_in manager{};
    manager.sin_family = AF_INET;
    manager.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    manager.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
    FILE *file = std::fopen(argv[2], "wb");
    uint16_t tapPort = 0;
    int listener = BindLoopback(&tapPort);
    if (file == nullptr || listener < 0) {
        std::perror("cm_tap");
        return 1;
    }
    sockaddr_in tap = manager;
    tap.sin_port = htons(tapPort);
    std::vector<uint8_t> header;
    Put32Host(header, 0xa1b2c3d4); // pcap, microseconds
    header.insert(header.end(), {2, 0, 4, 0});
    Put32Host(header, 0); // time zone
    Put32Host(header, 0); // time stamp accuracy
    Put32Host(header, 65535);
    Put32Host(header, kLinkTypeRaw);
    std::fwrite(header.data(), 1, header.size(), file);
    std::fflush(file);

    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::printf("tapping on 127.0.0.1:%u\n", ntohs(tap.sin_port));
    std::fflush(stdout);

    std::vector<Host> hosts;
    std::vector<uint8_t> buffer(kMaxDatagram);
    while (stopRequested == 0) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        for (const Host &host : hosts) fds.push_back({host.toManager, POLLIN, 0});
        if (poll(fds.data(), fds.size(), 100) <= 0) continue;
        for (size_t i = 0; i < fds.size(); ++i) {
            if ((fds[i].revents & POLLIN) == 0) continue;
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ssize_t got = recvfrom(fds[i].fd, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr *>(&from), &fromLength);
            if (got < 0) continue;
            size_t length = static_cast<size_t>(got);
            if (i == 0) { // from a host: on to the manager through the host's own socket
                Host *host = nullptr;
                for (Host &known : hosts)
                    if (SameEndpoint(known.address, from)) host = &known;
                if (host == nullptr && hosts.size() < kMaxHosts) {
                    uint16_t ownPort = 0;
                    int toManager = BindLoopback(&ownPort);
                    if (toManager >= 0) host = &hosts.emplace_back(Host{from, toManager});
                }
                if (host == nullptr) continue;
                WriteRecord(file, from, tap, buffer.data(), length);
                sendto(host->toManager, buffer.data(), length, 0, reinterpret_cast<sockaddr *>(&manager),
                       sizeof manager);
            } else { // from the manager: back to the host, from the tap's port
                const Host &host = hosts[i - 1];
                WriteRecord(file, tap, host.address, buffer.data(), length);
                sendto(listener, buffer.data(), length, 0, reinterpret_cast<const sockaddr *>(&host.address),
                       sizeof host.address);
            }
        }
    }
    for (const Host &host : hosts) close(host.toManager);
    close(listener);
    std::fclose(file);
    return 0;
}
