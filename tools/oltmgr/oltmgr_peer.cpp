// oltmgr_peer.cpp - the OLT manager peer's sockets and thread: receive, record, answer, send.
#include "oltmgr_peer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace oltmgr {

namespace {

constexpr int kPollSliceMs = 20;         // the longest the thread waits before looking at stop_
constexpr size_t kReceiveBufferLen = 65536; // the largest UDP datagram
// Datagrams taken one after the other without a wait; then delayed replies get their turn.
constexpr int kBurst = 64;

bool ParseAddress(const std::string &text, in_addr *address) {
    return inet_pton(AF_INET, text.c_str(), address) == 1;
}

} // namespace

int BindUdp(const std::string &address, uint16_t port, uint16_t *bound, std::string *error) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    if (!ParseAddress(address, &local.sin_addr)) {
        *error = "\"" + address + "\" is not an IPv4 address";
        return -1;
    }
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    socklen_t length = sizeof local;
    if (bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&local), &length) != 0) {
        *error = "cannot bind " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    *bound = ntohs(local.sin_port);
    return fd;
}

std::vector<Reply> DefaultReplies(const Datagram &request, Store &store) {
    if (request.bytes.size() < sizeof(tZqOltMsgHdr)) {
        return {};
    }
    Bytes answer;
    switch (ReadAt<uint32_t>(request.bytes, kMsgTypeAt)) {
    case eZQ_CM_MSG_TYPE_REQ:
        answer = store.Handle(request.bytes.data(), request.bytes.size());
        break;
    case eZQ_CM_MSG_TYPE_ALM_REG:
        answer = store.HandleAlarmRegistration(request.bytes.data(), request.bytes.size(), request.from);
        break;
    default:
        break;
    }
    if (answer.empty()) {
        return {};
    }
    return {Reply{std::move(answer)}};
}

Reply StoreReply(const Datagram &request, Store &store) {
    return Reply{store.Handle(request.bytes.data(), request.bytes.size())};
}

std::vector<Reply> AlarmReplies(Store &store, const tZqCmAlarmInfo &alarm) {
    std::vector<Reply> replies;
    for (const Subscriber &subscriber : store.Subscribers()) {
        if (FilterPasses(subscriber.filter, alarm)) {
            replies.push_back({BuildAlarmMessage(alarm, subscriber.managerId), {}, false, subscriber.address});
        }
    }
    return replies;
}

std::vector<Reply> EventReplies(Store &store, const EventFields &event, const tZqCmOnuPortKey &where) {
    std::vector<Reply> replies;
    for (const Subscriber &subscriber : store.Subscribers()) {
        if (EventFilterPasses(subscriber.filter, where)) {
            replies.push_back({BuildEventMessage(event, subscriber.managerId), {}, false, subscriber.address});
        }
    }
    return replies;
}

Peer::Peer(Options options) : options_(std::move(options)), buffer_(kReceiveBufferLen) {
    socket_ = BindUdp(options_.address, options_.port, &port_, &error_);
    if (socket_ < 0) {
        return;
    }
    // A receive that waits gives up after a slice, so the thread still looks at stop_.
    timeval slice{0, kPollSliceMs * 1000};
    if (setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice) != 0) {
        error_ = std::string("cannot set the receive timeout: ") + std::strerror(errno);
        return;
    }
    if (!options_.foreignAddress.empty()) {
        foreignSocket_ = BindUdp(options_.foreignAddress, 0, &foreignPort_, &error_);
        if (foreignSocket_ < 0) {
            return;
        }
    }
    try {
        thread_ = std::thread(&Peer::Run, this);
        ok_ = true;
    } catch (const std::exception &e) {
        error_ = std::string("cannot start the peer thread: ") + e.what();
    }
}

Peer::~Peer() {
    Stop();
    for (int fd : {socket_, foreignSocket_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void Peer::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool Peer::Ok() const { return ok_; }
const std::string &Peer::Error() const { return error_; }
uint16_t Peer::Port() const { return port_; }
uint16_t Peer::ForeignPort() const { return foreignPort_; }

void Peer::SetResponder(Responder responder) {
    auto shared = responder ? std::make_shared<const Responder>(std::move(responder)) : nullptr;
    std::lock_guard lock(mutex_);
    responder_ = std::move(shared);
}

std::vector<Datagram> Peer::Requests() {
    std::lock_guard lock(mutex_);
    return {requests_.begin(), requests_.end()};
}

bool Peer::WaitForRequests(size_t count, std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, deadline, [&] { return received_ >= count; });
}

void Peer::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
    received_ = 0;
}

bool Peer::SendTo(uint16_t port, const void *bytes, size_t length, bool fromForeign) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (!ParseAddress(options_.address, &to.sin_addr) || to.sin_addr.s_addr == htonl(INADDR_ANY)) {
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    return SendTo(to, bytes, length, fromForeign);
}

bool Peer::SendTo(const sockaddr_in &to, const void *bytes, size_t length, bool fromForeign) {
    int fd = fromForeign ? foreignSocket_ : socket_;
    if (fd < 0) {
        return false;
    }
    ssize_t sent;
    do {
        sent = sendto(fd, bytes, length, 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    return sent >= 0 && static_cast<size_t>(sent) == length;
}

Store &Peer::GetStore() { return store_; }

size_t Peer::SendAlarm(const tZqCmAlarmInfo &alarm) {
    size_t sent = 0;
    for (const Reply &reply : AlarmReplies(store_, alarm)) {
        sent += SendTo(*reply.to, reply.bytes.data(), reply.bytes.size()) ? 1 : 0;
    }
    return sent;
}

size_t Peer::Subscribers() { return store_.Subscribers().size(); }

void Peer::Run() {
    while (!stop_) {
        bool got;
        if (foreignSocket_ < 0 && pending_.empty()) {
            got = ReceiveOne(true); // nothing else to watch: wait in the receive
        } else {
            pollfd fds[2] = {{socket_, POLLIN, 0}, {foreignSocket_, POLLIN, 0}};
            nfds_t count = foreignSocket_ >= 0 ? 2 : 1;
            int ready = poll(fds, count, PollTimeoutMs(Clock::now()));
            got = ready > 0 && (fds[0].revents & POLLIN) != 0 && ReceiveOne(false);
            if (ready > 0 && count == 2 && (fds[1].revents & POLLIN) != 0) {
                // Nothing is meant to arrive at the foreign socket: read it away so poll stays quiet.
                recv(foreignSocket_, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
            }
        }
        for (int taken = 0; got && taken < kBurst && !stop_; ++taken) {
            got = ReceiveOne(false);
        }
        SendDue(Clock::now());
    }
}

// Receives one datagram (waiting at most a slice when told to), records it and sends or schedules
// the responder's replies; false when none came.
bool Peer::ReceiveOne(bool wait) {
    Datagram &datagram = datagram_;
    socklen_t fromLength = sizeof datagram.from;
    ssize_t received = recvfrom(socket_, buffer_.data(), buffer_.size(), wait ? 0 : MSG_DONTWAIT,
                                reinterpret_cast<sockaddr *>(&datagram.from), &fromLength);
    if (received < 0) {
        return false;
    }
    Clock::time_point now = Clock::now();
    datagram.bytes.assign(buffer_.begin(), buffer_.begin() + received);

    std::shared_ptr<const Responder> responder;
    {
        std::lock_guard lock(mutex_);
        if (options_.recordLimit > 0) {
            requests_.push_back(datagram);
            if (requests_.size() > options_.recordLimit) {
                requests_.pop_front();
            }
        }
        ++received_;
        responder = responder_;
    }
    arrived_.notify_all();

    std::vector<Reply> replies;
    try {
        replies = responder ? (*responder)(datagram, store_) : DefaultReplies(datagram, store_);
    } catch (...) {
        replies.clear(); // a responder that fails answers nothing
    }
    for (Reply &reply : replies) {
        sockaddr_in to = reply.to.value_or(datagram.from);
        if (reply.delay.count() <= 0 && pending_.empty()) {
            SendTo(to, reply.bytes.data(), reply.bytes.size(), reply.fromForeign);
        } else {
            pending_.emplace(now + reply.delay, Pending{to, std::move(reply)});
        }
    }
    return true;
}

void Peer::SendDue(Clock::time_point now) {
    while (!pending_.empty() && pending_.begin()->first <= now) {
        const Pending &due = pending_.begin()->second;
        SendTo(due.to, due.reply.bytes.data(), due.reply.bytes.size(), due.reply.fromForeign);
        pending_.erase(pending_.begin());
    }
}

int Peer::PollTimeoutMs(Clock::time_point now) {
    if (pending_.empty()) {
        return kPollSliceMs;
    }
    auto untilDue = std::chrono::ceil<std::chrono::milliseconds>(pending_.begin()->first - now).count();
    return static_cast<int>(std::clamp<decltype(untilDue)>(untilDue, 0, kPollSliceMs));
}

} // namespace oltmgr
