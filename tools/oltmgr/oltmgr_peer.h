// oltmgr_peer.h - an OLT manager on loopback: a UDP peer with its own thread and sockets that
// answers CM requests from a Store, answers alarm registrations, sends alarms to subscribers, and
// lets a test decide what each answer is, when it leaves and from which address.
//
// The peer has two sockets: the request socket (Options::address, Options::port) on which it
// receives and from which it answers, and a foreign socket (Options::foreignAddress, any port)
// from which replies marked fromForeign leave, so a client sees an answer from an address that is
// not its manager's. Its thread waits for at most 20 ms at a time (in the receive itself when it
// has nothing else to watch, else in poll()), so the destructor stops it promptly; delayed
// replies still pending then are dropped. Datagrams already waiting are all taken before it waits
// again, and an immediate reply leaves at once unless delayed ones are still to go before it.
//
// Every datagram that arrives on the request socket is recorded (the latest Options::recordLimit,
// 4096 unless told otherwise, are kept),
// garbage included, before the responder sees it. The default responder (DefaultReplies) answers
// a request (msgType REQ) with Store::Handle, an alarm registration (msgType ALM_REG) with
// Store::HandleAlarmRegistration, each at once to the sender, and ignores everything else. A
// custom responder decides for every datagram; it may call DefaultReplies for the usual answer.
//
// All members may be called from any thread; the responder runs on the peer's thread.
#ifndef RELAYKIT_OLTMGR_PEER_H
#define RELAYKIT_OLTMGR_PEER_H

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "oltmgr_store.h"
#include "oltmgr_wire.h"

namespace oltmgr {

// A UDP socket bound to address:port (port 0: a free one), or -1 with the reason in *error;
// *bound receives the port it got.
int BindUdp(const std::string &address, uint16_t port, uint16_t *bound, std::string *error);

// One received datagram and its sender.
struct Datagram {
    std::vector<uint8_t> bytes;
    sockaddr_in from{};
};

// One datagram the peer sends because of a request: to its sender unless told otherwise. Replies
// due at the same time leave in the order given.
struct Reply {
    std::vector<uint8_t> bytes;
    std::chrono::milliseconds delay{0}; // sent this long after the request arrived
    bool fromForeign = false;           // sent from the foreign socket
    std::optional<sockaddr_in> to{};    // empty: the request's sender
};

// What the peer does without a custom responder: one immediate answer to a request or an alarm
// registration, nothing for anything else.
std::vector<Reply> DefaultReplies(const Datagram &request, Store &store);

// The Store's answer to a request as one immediate reply. The Store refuses a datagram that is not
// a request with empty bytes, and the peer sends an empty reply as a zero-length datagram.
Reply StoreReply(const Datagram &request, Store &store);

// An alarm message (msgType ALM) for every subscriber whose filter lets the alarm through, each
// addressed to its subscriber, in registration order.
std::vector<Reply> AlarmReplies(Store &store, const tZqCmAlarmInfo &alarm);

// An event message (msgType EVT) for every subscriber whose filter lets an event about the ONU
// port at where through, each addressed to its subscriber.
std::vector<Reply> EventReplies(Store &store, const EventFields &event, const tZqCmOnuPortKey &where);

struct PeerOptions {
    std::string address = "127.0.0.1";
    uint16_t port = 0;                        // 0: any free port
    std::string foreignAddress = "127.0.0.2"; // empty: no foreign socket
    size_t recordLimit = 4096;                // datagrams kept for Requests(); 0: none
};

class Peer {
  public:
    using Options = PeerOptions;
    using Responder = std::function<std::vector<Reply>(const Datagram &request, Store &store)>;

    explicit Peer(Options options = {}); // binds both sockets and starts the thread
    ~Peer();                             // stops the thread, closes the sockets
    void Stop();                         // stops the thread: nothing more is received or sent
    Peer(const Peer &) = delete;
    Peer &operator=(const Peer &) = delete;

    bool Ok() const;          // false when a socket could not be bound or the thread not started
    const std::string &Error() const; // why not Ok(), empty when Ok()
    uint16_t Port() const;    // the bound request port
    uint16_t ForeignPort() const;

    void SetResponder(Responder responder); // null: DefaultReplies

    std::vector<Datagram> Requests(); // the datagrams received since the last clear, in order
    bool WaitForRequests(size_t count, std::chrono::milliseconds deadline);
    void ClearRequests();

    // Sends bytes to port at the peer's own address (127.0.0.1 when bound to any address).
    bool SendTo(uint16_t port, const void *bytes, size_t length, bool fromForeign = false);
    bool SendTo(const sockaddr_in &to, const void *bytes, size_t length, bool fromForeign = false);

    Store &GetStore();

    // Sends an alarm message (msgType ALM) to every subscriber whose filter lets it through;
    // returns how many were sent.
    size_t SendAlarm(const tZqCmAlarmInfo &alarm);
    size_t Subscribers();

  private:
    struct Pending {
        sockaddr_in to;
        Reply reply;
    };
    using Clock = std::chrono::steady_clock;

    void Run();
    bool ReceiveOne(bool wait);
    void SendDue(Clock::time_point now);
    int PollTimeoutMs(Clock::time_point now);

    Options options_;
    int socket_ = -1;
    int foreignSocket_ = -1;
    uint16_t port_ = 0;
    uint16_t foreignPort_ = 0;
    bool ok_ = false;
    std::string error_;
    Store store_;

    std::mutex mutex_; // guards the records and the responder
    std::condition_variable arrived_;
    std::deque<Datagram> requests_;
    size_t received_ = 0; // since the last clear
    std::shared_ptr<const Responder> responder_; // null: DefaultReplies

    // The thread's own: replies waiting for their time (equal times in the order given), the
    // receive buffer, and the datagram handed to the responder (its buffer kept from one to the
    // next).
    std::multimap<Clock::time_point, Pending> pending_;
    std::vector<uint8_t> buffer_;
    Datagram datagram_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace oltmgr

#endif // RELAYKIT_OLTMGR_PEER_H
