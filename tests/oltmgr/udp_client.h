// udp_client.h - a client socket on 127.0.0.1 for the OLT manager tests: sends datagrams to a
// port on loopback and reads what comes back, every wait bounded by a deadline.
#ifndef OLTMGR_TEST_UDP_CLIENT_H
#define OLTMGR_TEST_UDP_CLIENT_H

#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>

#include "oltmgr_peer.h"

namespace oltmgr_test {

inline constexpr std::chrono::milliseconds kDeadline{2000};

class Client {
  public:
    Client() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr *>(&local), sizeof local), 0);
        getsockname(fd_, reinterpret_cast<sockaddr *>(&local), &length);
        port_ = ntohs(local.sin_port);
    }
    ~Client() { close(fd_); }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;
    uint16_t Port() const { return port_; }

    void Send(uint16_t port, const oltmgr::Bytes &bytes) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr *>(&to), sizeof to),
                  static_cast<ssize_t>(bytes.size()));
    }

    std::optional<oltmgr::Datagram> Receive(std::chrono::milliseconds deadline = kDeadline) {
        pollfd pfd{fd_, POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(deadline.count())) != 1) {
            return std::nullopt;
        }
        oltmgr::Datagram datagram;
        datagram.bytes.resize(65536);
        socklen_t length = sizeof datagram.from;
        ssize_t n = recvfrom(fd_, datagram.bytes.data(), datagram.bytes.size(), 0,
                             reinterpret_cast<sockaddr *>(&datagram.from), &length);
        datagram.bytes.resize(n < 0 ? 0 : static_cast<size_t>(n));
        return datagram;
    }

    // Sends a request to port and returns the one answer (empty when none came before the deadline).
    oltmgr::Bytes Exchange(uint16_t port, const oltmgr::Bytes &request) {
        Send(port, request);
        auto answer = Receive();
        return answer ? answer->bytes : oltmgr::Bytes{};
    }

  private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

// Field by field: assigning a whole tZqCmOnuKey would also copy its padding byte, which is not
// guaranteed zero, and the manager compares all 52 key bytes.
inline uZqCmKey OnuKey(int onuId, int linkId = 3) {
    uZqCmKey key{};
    key.onuKey.slotId = 1;
    key.onuKey.linkId = static_cast<uint8>(linkId);
    key.onuKey.onuId = static_cast<uint16>(onuId);
    return key;
}

// An ONU configuration record filled with one byte, whose serial is derived from it.
inline oltmgr::Bytes OnuRecord(int fill) {
    oltmgr::Bytes record(sizeof(uZqCmRes), static_cast<uint8_t>(fill));
    for (size_t i = 0; i < oltmgr::kSerialLen; ++i) {
        record[oltmgr::kSerialAt + i] = static_cast<uint8_t>(i == 0 ? 'S' : fill);
    }
    return record;
}

inline oltmgr::Bytes Request(uint32_t operType, uint32_t resId, uZqCmKey key, oltmgr::Bytes record, uint16_t tid) {
    return oltmgr::BuildRequest({operType, eZQ_CMAPI_RES_TYPE_ONU, resId, key, std::move(record), tid});
}

template <typename T>
oltmgr::Bytes BytesOf(const T &record) {
    oltmgr::Bytes bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

inline uint32_t Ret(const oltmgr::Bytes &answer) { return oltmgr::ReadAt<uint32_t>(answer, oltmgr::kRetAt); }

} // namespace oltmgr_test

#endif // OLTMGR_TEST_UDP_CLIENT_H
