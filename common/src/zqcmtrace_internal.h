// zqcmtrace_internal.h - internal to the library: what the trace units share with each other and
// with the service layer's printing. Nothing here is exported.
#ifndef RELAYKIT_ZQCMTRACE_INTERNAL_H
#define RELAYKIT_ZQCMTRACE_INTERNAL_H

#include <atomic>
#include <cstdarg>
#include <cstring>

#include "zqcmtrace.h"

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

// TraceInterface_Ext with its arguments in a va_list; true when the record was queued.
bool TraceInterfaceExtV(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                        eSvcModuleId moduleId, eZqCmTraceMask mask, eZqTraceLevel traceLevel,
                        uint32 bitMask, const void *linkKeyP, uint32 onuId, const char *formatP,
                        va_list args);
// The same with variable arguments.
bool TraceInterfaceExtQueued(const char *fileNameP, uint32 lineNum, const char *funcNameP,
                             eSvcModuleId moduleId, eZqCmTraceMask mask, eZqTraceLevel traceLevel,
                             uint32 bitMask, const void *linkKeyP, uint32 onuId,
                             const char *formatP, ...) __attribute__((format(printf, 10, 11)));

// Gives one finished line to syslog as "DEDURO: <line>" at LOG_USER | LOG_ERR.
void TraceWriteSyslog(const char *lineP);

// Whether the ONU of the bitmap element (slot, device, link) lets records through. Out-of-range
// coordinates (slot > 2, device > 1, link > 32 or above zqSysLinkNumPerDev, ONU > 256) answer
// false; ONU 0 reads word 0, bit 0.
bool OnuTraceBitIsSet(uint32 slotId, uint32 deviceId, uint32 linkId, uint32 onuId);

#endif // RELAYKIT_ZQCMTRACE_INTERNAL_H
