// osshared.h - internal to the library, not exported: how library code reads and writes variables
// that other threads, or hosts, use at the same time without a lock.
#ifndef RELAYKIT_OSSHARED_H
#define RELAYKIT_OSSHARED_H

#include <atomic>
#include <cstring>

#include "ostypes.h"

// Flags and hooks that one thread writes while others read them without the table's mutex.
template <typename T> inline T LoadAcquire(T &value) {
    return std::atomic_ref<T>(value).load(std::memory_order_acquire);
}
template <typename T> inline void StoreRelease(T &value, T newValue) {
    std::atomic_ref<T>(value).store(newValue, std::memory_order_release);
}

// The configuration is plain exported data (hosts read it in the guarded forms); inside the
// library every access is a relaxed atomic one, so concurrent readers and writers never tear.
template <typename T> inline T RelaxedLoad(const T &value) {
    return std::atomic_ref<T>(const_cast<T &>(value)).load(std::memory_order_relaxed);
}
template <typename T> inline void RelaxedStore(T &value, T newValue) {
    std::atomic_ref<T>(value).store(newValue, std::memory_order_relaxed);
}

// eOsBool switches are set by hosts, possibly from C with values other than 0 and 1 (only
// eOS_BOOL_TRUE counts as on). They are read and written as the plain 32-bit numbers they are.
static_assert(sizeof(eOsBool) == sizeof(uint32), "eOsBool is 32 bits");
inline bool FlagIsTrue(const eOsBool &flag) {
    return __atomic_load_n(reinterpret_cast<const uint32 *>(&flag), __ATOMIC_RELAXED) ==
           static_cast<uint32>(eOS_BOOL_TRUE);
}
inline void FlagStore(eOsBool &flag, const eOsBool &value) {
    uint32 raw;
    memcpy(&raw, &value, sizeof raw);
    __atomic_store_n(reinterpret_cast<uint32 *>(&flag), raw, __ATOMIC_RELAXED);
}

// The 32-bit number a host passed for an enumeration: C hosts may pass any value (a module id
// out of range, a level of 100), which is only compared, never used as the enumeration.
template <typename E> inline uint32 RawValue(const E &value) {
    static_assert(sizeof(E) == sizeof(uint32), "enumerations are 32 bits");
    uint32 raw;
    memcpy(&raw, &value, sizeof raw);
    return raw;
}

#endif // RELAYKIT_OSSHARED_H
