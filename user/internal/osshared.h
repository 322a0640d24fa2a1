// osshared.h - internal to the library, not exported: the one way library code reads and writes a
// plain variable that other threads, or hosts, use at the same time without a lock (the exported
// configuration, switches, counters and tables, and the fields of shared control blocks). Every
// access is whole and atomic, through std::atomic_ref; plain variables stay plain for hosts.
//
// Which to use when:
//   SharedGet / SharedSet            a value that stands on its own: configuration, switches,
//                                    masks, a handler pointer, a counter read for a report
//                                    (relaxed).
//   SharedGetAcquire /               a value that tells the reader other data is ready: a block's
//   SharedSetRelease                 busy flag, a callback slot, the mode, a table entry's owner.
//                                    Whatever the writer did before its release is seen by a
//                                    reader whose acquire sees the value.
//   SharedGetOrdered /               the CM channel's descriptors and ports, which the start, the
//   SharedSetOrdered /               stop and the channel's tasks hand to one another: one order
//   SharedExchangeOrdered            of all such accesses (sequentially consistent).
//   SharedIncrement /                counters (relaxed); they return the value before.
//   SharedDecrement
//   SharedDecrementRelease           a count of work in progress: a reader that acquires 0 sees the
//                                    finished work of every decrement.
//   SharedClaim                      takes a free entry: true when the value was `from` and is now
//                                    `to` (acquire and release).
//   SharedSetBits / SharedClearBits  bit switches set and cleared from several threads (relaxed).
//   SharedIsTrue, WordOf             an enumeration a host may set to any number (an eOsBool set
//                                    from C to 2) is read and written as its 32-bit word, never
//                                    loaded as the enumeration.
#ifndef RELAYKIT_OSSHARED_H
#define RELAYKIT_OSSHARED_H

#include <atomic>
#include <cstring>
#include <type_traits>

#include "ostypes.h"

template <typename T> inline T SharedGet(const T &value) {
    return std::atomic_ref<T>(const_cast<T &>(value)).load(std::memory_order_relaxed);
}
template <typename T> inline void SharedSet(T &value, std::type_identity_t<T> newValue) {
    std::atomic_ref<T>(value).store(newValue, std::memory_order_relaxed);
}

template <typename T> inline T SharedGetAcquire(const T &value) {
    return std::atomic_ref<T>(const_cast<T &>(value)).load(std::memory_order_acquire);
}
template <typename T> inline void SharedSetRelease(T &value, std::type_identity_t<T> newValue) {
    std::atomic_ref<T>(value).store(newValue, std::memory_order_release);
}

template <typename T> inline T SharedGetOrdered(const T &value) {
    return std::atomic_ref<T>(const_cast<T &>(value)).load(std::memory_order_seq_cst);
}
template <typename T> inline void SharedSetOrdered(T &value, std::type_identity_t<T> newValue) {
    std::atomic_ref<T>(value).store(newValue, std::memory_order_seq_cst);
}
template <typename T> inline T SharedExchangeOrdered(T &value, std::type_identity_t<T> newValue) {
    return std::atomic_ref<T>(value).exchange(newValue, std::memory_order_seq_cst);
}

template <typename T> inline T SharedIncrement(T &counter) {
    return std::atomic_ref<T>(counter).fetch_add(1, std::memory_order_relaxed);
}
template <typename T> inline T SharedDecrement(T &counter) {
    return std::atomic_ref<T>(counter).fetch_sub(1, std::memory_order_relaxed);
}

template <typename T> inline T SharedDecrementRelease(T &counter) {
    return std::atomic_ref<T>(counter).fetch_sub(1, std::memory_order_release);
}

template <typename T>
inline bool SharedClaim(T &value, std::type_identity_t<T> from, std::type_identity_t<T> to) {
    return std::atomic_ref<T>(value).compare_exchange_strong(from, to, std::memory_order_acq_rel);
}

inline void SharedSetBits(uint32 &word, uint32 bits) {
    std::atomic_ref<uint32>(word).fetch_or(bits, std::memory_order_relaxed);
}
inline void SharedClearBits(uint32 &word, uint32 bits) {
    std::atomic_ref<uint32>(word).fetch_and(~bits, std::memory_order_relaxed);
}

// The 32-bit word that holds an enumeration.
template <typename E> inline uint32 &WordOf(E &value) {
    static_assert(sizeof(E) == sizeof(uint32), "enumerations are 32 bits");
    return reinterpret_cast<uint32 &>(value);
}
template <typename E> inline const uint32 &WordOf(const E &value) {
    static_assert(sizeof(E) == sizeof(uint32), "enumerations are 32 bits");
    return reinterpret_cast<const uint32 &>(value);
}

// The 32-bit number a host passed for an enumeration: C hosts may pass any value (a module id
// out of range, a level of 100, a flag of 2), which is only compared, never used as the
// enumeration.
template <typename E> inline uint32 RawValue(const E &value) {
    static_assert(sizeof(E) == sizeof(uint32), "enumerations are 32 bits");
    uint32 raw;
    memcpy(&raw, &value, sizeof raw);
    return raw;
}

// An eOsBool switch a host sets: only eOS_BOOL_TRUE counts as on.
static_assert(sizeof(eOsBool) == sizeof(uint32), "eOsBool is 32 bits");
inline bool SharedIsTrue(const eOsBool &flag) {
    return SharedGet(WordOf(flag)) == static_cast<uint32>(eOS_BOOL_TRUE);
}

#endif // RELAYKIT_OSSHARED_H
