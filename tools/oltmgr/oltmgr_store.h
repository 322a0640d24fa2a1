// oltmgr_store.h - the OLT manager's state: its resources, its start-up state and its alarm
// subscribers, and the answers it gives to request and alarm registration datagrams.
//
// Resources are ordered by resource id, then by the 52 key bytes compared byte by byte (so an
// ONU id of 256, stored little-endian, sorts before ONU id 1). Walks follow this order.
//
// The system configuration (resource 1) is one record that always exists, whatever key a request
// names; resource 80 (EQPT_OLT_INIT_STATUS) is another name for it. Every answer that carries it
// reports oltInitStatus from the start-up sequence: a get of resource 80 is a readiness poll and
// takes the next entry of the sequence (the last one repeats), every other answer repeats the
// entry the latest poll took.
//
// The ONU configuration (resource 6) carries its 17-byte serial number at offset 12 of the record,
// right behind its three mask words; a get by serial number finds the first ONU configuration,
// in key order, whose serial equals the one at the same place in the request's record.
//
// A store that is kept elsewhere too (the emulator's database file) notes which instances
// changed once TrackChanges is called: each create, set, delete and Load notes the instances it
// touched, and TakeChanges hands them over a few at a time, so a writer never holds the lock long.
//
// Every member may be called from any thread; one lock guards the state.
#ifndef RELAYKIT_OLTMGR_STORE_H
#define RELAYKIT_OLTMGR_STORE_H

#include <netinet/in.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "oltmgr_wire.h"

namespace oltmgr {

inline constexpr size_t kSerialAt = 12;          // serial number in an ONU configuration record
inline constexpr size_t kSerialLen = 17;
inline constexpr size_t kMaxInstances = 65536;   // all resources together; more: NO_RESOURCE
inline constexpr size_t kMaxSubscribers = 64;    // alarm subscribers; more: the oldest gives way

using Key = std::array<uint8_t, kKeyLen>;

// One stored resource instance, as Instances gives them and Load takes them. The system
// configuration is resource 1 with the zero key.
struct Instance {
    uint32_t resId = 0;
    Key key{};
    Bytes record; // RecordSize(resId) bytes
};

// Size of the record of a resource id: its extended record's size for 36, 38 and 104, else 1072.
size_t RecordSize(uint32_t resId);

// One alarm subscriber: where its registration came from, and its filter.
struct Subscriber {
    sockaddr_in address{};
    uint32_t managerId = 0;
    tZqCmAlarmFilterInfo filter{};
};

// Whether an alarm passes a registration filter. The alarm's resource is read as an ONU port key
// (slot at byte 0, link at byte 2, ONU id at bytes 4 and 5):
//   NONE everything; ONU slot, link and ONU id in range; LINK slot and link in range; SLOT slot in
//   range; ALARM_TYPE alarm type in range; PM_TCA the threshold crossing alarms (400 to 506);
//   AVC and unknown filter types nothing (alarms are not attribute value changes).
bool FilterPasses(const tZqCmAlarmFilterInfo &filter, const tZqCmAlarmInfo &alarm);

// Whether an event about the ONU port at where passes a registration filter: NONE, and ONU, LINK
// and SLOT by where as for alarms; the alarm type, threshold crossing and AVC filters ask for
// alarms only and let no event through.
bool EventFilterPasses(const tZqCmAlarmFilterInfo &filter, const tZqCmOnuPortKey &where);

class Store {
  public:
    Store();

    // Answers one request datagram (msgType REQ, 1640 or 2448 bytes, longer ones read up to 2448)
    // with its response: the request echoed as in EchoResponse, then
    //   CREATE (1) stores the record (existing: INSTANCE_EXISTS 23);
    //   DELETE (2) removes it (the system configuration cannot go: INVALID_OPER 22);
    //   SET (3) replaces the record, or for the system configuration copies the fields bitMask
    //     names and adds those bits to the stored bitMask;
    //   GET (4) returns the record; GETFIRST (5) the first of the resource id; GETNEXT (6) and
    //   GETNEXT_WITHKEY (9) the first after the key; GETFIRST_WITHKEY (8) the first at or after
    //   the key; GET_CFG_BY_SERNUMBER (11) the ONU configuration with the record's serial;
    //   GET_INSTANCE_NUM (7) puts the count in res.resInstance.instanceNum;
    //   any other operation: UNKNOWN_OPER (20).
    // A missing instance or the end of a walk gives NO_INSTANCE_EXISTS (24), a full store
    // NO_RESOURCE (4); a failed answer carries the request's key and record unchanged. Found
    // records travel in res, or at offset 1640 for resources 36, 38 and 104 (2448-byte answer).
    // Empty for a datagram that is shorter than 1640 bytes or not a request.
    Bytes Handle(const uint8_t *request, size_t length);

    // Answers an alarm registration datagram (msgType ALM_REG, at least 80 bytes) with a 1640-byte
    // response (msgType RSP, same transaction id) whose res holds the received registration record
    // and whose ret is the result: regType 1 registers the subscriber at from (0), replacing its
    // earlier registration, which makes it the newest; with kMaxSubscribers registered already,
    // the oldest gives way and lands in *evictedP when that is given. regType 2 removes it (0, or
    // NO_INSTANCE_EXISTS when it was not registered), any other INVALID_OPER. Empty for anything
    // else. Subscribers that went away without unregistering so never keep newer ones out.
    Bytes HandleAlarmRegistration(const uint8_t *request, size_t length, const sockaddr_in &from,
                                  std::optional<Subscriber> *evictedP = nullptr);

    // The start-up states that successive readiness polls report; empty means {READY}. Restarts
    // the sequence.
    void SetInitStatusSequence(std::vector<eZqCmOltMgrInitStatus> statuses);

    // The start-up state that answers report now, without taking a poll's turn.
    eZqCmOltMgrInitStatus CurrentInitStatus();

    // Switches the start-up state to the clock, counted from now: NOT_INIT until half the delay
    // has passed, BUSY until all of it has, then READY (a zero delay: READY at once).
    // SetInitStatusSequence switches back to the per-poll sequence.
    void SetInitDelay(std::chrono::milliseconds delay);

    // Every stored instance in store order, the system configuration included.
    std::vector<Instance> Instances();

    // Replaces every instance with the given ones (a system configuration among them replaces the
    // stored one, else the stored one stays). Refuses, and changes nothing, when an instance's
    // record is not RecordSize(resId) bytes, names resource 80 (an alias, not an instance), gives
    // the system configuration a non-zero key, repeats an instance, or the instances are more
    // than kMaxInstances.
    bool Load(const std::vector<Instance> &instances);

    // Instances of a resource id (the system configuration counts as one, under 1 and 80).
    size_t Count(eZqCmApiResId resId);

    // All stored instances, the system configuration included.
    size_t Size();

    // From now on notes every instance that is created, changed or deleted; forgets what was
    // noted before.
    void TrackChanges();

    // Moves up to limit noted changes, in store order, into *changes (appended): each instance
    // with its current record, or with an empty record when it is gone. True when more are
    // noted. An instance changed again after it was taken is noted anew.
    bool TakeChanges(size_t limit, std::vector<Instance> *changes);

    std::vector<Subscriber> Subscribers();

    // Forgets every alarm subscriber, as a manager that restarts does; returns how many there were.
    size_t ForgetSubscribers();

  private:
    using Clock = std::chrono::steady_clock;
    struct Id {
        uint32_t resId;
        Key key;
        auto operator<=>(const Id &) const = default;
    };
    using Records = std::map<Id, Bytes>;

    eOsRet Apply(Bytes &response);
    eOsRet Create(const Id &id, const Bytes &response);
    eOsRet Set(const Id &id, const Bytes &response);
    Records::iterator FindBySerial(const Bytes &response);
    Records::iterator WalkFrom(const Id &id, uint32_t operType);
    void PutFound(Bytes &response, Records::const_iterator found, bool isPoll);
    eZqCmOltMgrInitStatus InitStatus(bool isPoll);
    size_t CountOf(uint32_t resId) const;
    void Note(const Id &id);

    std::mutex mutex_;
    Records records_;
    std::vector<eZqCmOltMgrInitStatus> initStatuses_;
    size_t polls_ = 0;
    bool timed_ = false; // the start-up state follows the clock from started_
    Clock::time_point started_;
    std::chrono::milliseconds initDelay_{0};
    std::vector<Subscriber> subscribers_;
    bool tracking_ = false;
    std::set<Id> changed_; // noted since the last take, while tracking_
};

} // namespace oltmgr

#endif // RELAYKIT_OLTMGR_STORE_H
