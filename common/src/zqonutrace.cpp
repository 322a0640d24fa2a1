// zqonutrace.cpp - the per-ONU trace bitmap, the ONU text filter and the ONU log wrappers.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "oswrap.h"
#include "zqcmtrace.h"
#include "zqcmtrace_internal.h"
#include "zqsysconfig.h"

namespace {

constexpr uint32 kMaxSlotId = ONU_TRACE_SLOT_NUM - 1;
constexpr uint32 kMaxDeviceId = ONU_TRACE_DEVICE_NUM - 1;
constexpr uint32 kMaxLinkIndex = ONU_TRACE_LINK_NUM - 1;
static_assert(sizeof onuTraceBitMask == 3 * 2 * 33 * 32, "3 slots, 2 devices, 33 links, 256 ONUs");

// The highest link number accepted: zqSysLinkNumPerDev, and never past the bitmap.
uint32 MaxLinkId() { return std::min<uint32>(SharedGet(zqSysLinkNumPerDev), kMaxLinkIndex); }

// Bitmap element and bit of an address already known to be inside the bitmap. ONU 0 is word 0,
// bit 0, like ONU 1.
uint32 &OnuWord(uint32 slotId, uint32 deviceId, uint32 linkId, uint32 onuId) {
    uint32 index = onuId == 0 ? 0 : onuId - 1;
    return onuTraceBitMask[slotId][deviceId][linkId].bitMask[index / 32];
}
uint32 OnuBit(uint32 onuId) { return 1u << ((onuId == 0 ? 0 : onuId - 1) % 32); }

void ReportInvalidKey(uint32 slotId, uint32 linkId, uint32 onuId) {
    TraceInterfaceExtQueued(__FILE__, __LINE__, __func__, eSVC_MODULE_ID_NONE, ZQ_TRACE_ALL_MASK,
                            eZQ_TL_WARNING, NORMAL_SYSTEM_TRACE_BIT_MASK, nullptr, 0,
                            "Invalid Key SlotId %d, LinkId %d OnuId %d\n", static_cast<int>(slotId),
                            static_cast<int>(linkId), static_cast<int>(onuId));
}

// Set and clear take ONUs 1..256 only: ONU 0 names no ONU, and a device above 1 or a link above
// 32 would lie outside the bitmap.
bool OnuAddressValidForChange(uint32 slotId, uint32 deviceId, uint32 linkId, uint32 onuId) {
    return slotId <= kMaxSlotId && deviceId <= kMaxDeviceId && linkId <= MaxLinkId() &&
           onuId >= 1 && onuId <= ONU_TRACE_MAX_ONU_NUM;
}

void ChangeOnuBit(uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId, bool set) {
    if (!OnuAddressValidForChange(slotId, deviceId, linkId, onuId)) {
        ReportInvalidKey(slotId, linkId, onuId);
        return;
    }
    // A read-modify-write of one word: two concurrent changes of the same word may lose one.
    uint32 &word = OnuWord(slotId, deviceId, linkId, onuId);
    uint32 value = SharedGet(word);
    SharedSet(word, set ? (value | OnuBit(onuId)) : (value & ~OnuBit(onuId)));
}

void ChangeLinkBits(uint8 slotId, uint8 deviceId, uint8 linkId, uint32 value) {
    if (slotId > kMaxSlotId || deviceId > kMaxDeviceId || linkId > MaxLinkId()) {
        TraceInterfaceExtQueued(__FILE__, __LINE__, __func__, eSVC_MODULE_ID_NONE,
                                ZQ_TRACE_ALL_MASK, eZQ_TL_WARNING, NORMAL_SYSTEM_TRACE_BIT_MASK,
                                nullptr, 0, "It's not a valid LinkId S:%dD:%dL:%d.\n", slotId,
                                deviceId, linkId);
        return;
    }
    for (uint32 &word : onuTraceBitMask[slotId][deviceId][linkId].bitMask)
        SharedSet(word, value);
}

// The link key of a system-wide ONU address: slot ponId / zqSysLinkNumPerDev + 1, device 1, and
// the MIB link the host maps the hardware link to. An address that cannot be mapped gets a key
// outside the bitmap, so its records are dropped.
tZqCmLinkKey OmciLinkKey(tZqOnuId ponOnuId, uint32 *mibLinkP) {
    tZqCmLinkKey key = {0xFF, 1, 0xFF};
    *mibLinkP = 0xFF;
    uint32 linksPerDev = SharedGet(zqSysLinkNumPerDev);
    if (linksPerDev == 0) return key;
    uint32 slot = ponOnuId.ponId / linksPerDev + 1;
    uint32 mibLink = 0;
    PhyLink2MIBLink(static_cast<uint16>(ponOnuId.ponId % linksPerDev), &mibLink);
    *mibLinkP = mibLink;
    key.slotId = static_cast<uint8>(std::min<uint32>(slot, 0xFF));
    key.linkId = static_cast<uint8>(std::min<uint32>(mibLink, 0xFF));
    return key;
}

struct tOnuLogForm {
    eSvcModuleId moduleId;
    eZqCmTraceMask mask;
    eZqTraceLevel level;
    bool guarded; // writes nothing while TraceMaskSum is 0
};

constexpr tOnuLogForm kMinorForm = {eSVC_MODULE_ID_NONE, ZQ_TRACE_ALL_MASK, eZQ_TL_DEBUG, false};
constexpr tOnuLogForm kMajorForm = {eSVC_MODULE_ID_NONE, ZQ_TRACE_ALL_MASK, eZQ_TL_WARNING, false};
constexpr tOnuLogForm kCriticalForm = {eSVC_MODULE_ID_NONE, ZQ_TRACE_ALL_MASK, eZQ_TL_ERR, false};
constexpr tOnuLogForm TraceForm(eSvcModuleId moduleId) {
    return {moduleId, eZQ_CM_TM_API, eZQ_TL_INFO, true};
}

bool FormSkipped(const tOnuLogForm &form) {
    return form.guarded && SharedGet(TraceMaskSum) == eZQ_CM_TM_NONE;
}

// Formats the caller's text once and hands it to the extended writer as it stands, so that a
// percent sign in it is printed as such.
void OnuLogWrite(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                 const tOnuLogForm &form, const tZqCmLinkKey &key, uint32 onuId,
                 const char *formatP, va_list args) {
    char text[TRACE_PRINTF_BUF_LEN + TRACE_PRINTF_BUF_MARGIN_LEN];
    vsnprintf(text, sizeof text, formatP != nullptr ? formatP : "", args);
    TraceInterfaceExtQueued(fileNameP, lineNum, funcNameP, form.moduleId, form.mask, form.level,
                            NORMAL_ONU_TRACE_BIT_MASK, &key, onuId, "%s", text);
}

void OmciLog(const char *fileNameP, const char *funcNameP, uint32 lineNum, const tOnuLogForm &form,
             tZqOnuId ponOnuId, const char *formatP, va_list args) {
    if (FormSkipped(form)) return;
    uint32 mibLink = 0;
    tZqCmLinkKey key = OmciLinkKey(ponOnuId, &mibLink);
    OnuLogWrite(fileNameP, funcNameP, lineNum, form, key, ponOnuId.onuId, formatP, args);
}

void MgrLog(const char *fileNameP, const char *funcNameP, uint32 lineNum, const tOnuLogForm &form,
            uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId, const char *formatP,
            va_list args) {
    if (FormSkipped(form)) return;
    tZqCmLinkKey key = {slotId, deviceId, linkId};
    OnuLogWrite(fileNameP, funcNameP, lineNum, form, key, onuId, formatP, args);
}

} // namespace

bool OnuTraceBitIsSet(uint32 slotId, uint32 deviceId, uint32 linkId, uint32 onuId) {
    if (slotId > kMaxSlotId || deviceId > kMaxDeviceId || linkId > MaxLinkId() ||
        onuId > ONU_TRACE_MAX_ONU_NUM)
        return false;
    return (SharedGet(OnuWord(slotId, deviceId, linkId, onuId)) & OnuBit(onuId)) != 0;
}

void OnuTraceClear() {
    for (tZqOnuTraceMask &entry : OnuTraceMasks) {
        SharedSet(entry.linkId, static_cast<uint8>(0));
        SharedSet(entry.onuId, static_cast<uint16>(0));
    }
    for (auto &slot : onuTraceBitMask)
        for (auto &device : slot)
            for (auto &link : device)
                for (uint32 &word : link.bitMask) SharedSet(word, 0u);
}

extern "C" {

tZqOnuTraceBitMask onuTraceBitMask[ONU_TRACE_SLOT_NUM][ONU_TRACE_DEVICE_NUM][ONU_TRACE_LINK_NUM];
tZqOnuTraceMask OnuTraceMasks[ONU_TRACE_MASK_MAX];
eOsBool OnuTraceMaskEnable = eOS_BOOL_FALSE;

void EnableOnuTrace(uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId) {
    ChangeOnuBit(slotId, deviceId, linkId, onuId, true);
}

void DisableOnuTrace(uint8 slotId, uint8 deviceId, uint8 linkId, uint16 onuId) {
    ChangeOnuBit(slotId, deviceId, linkId, onuId, false);
}

eOsBool IsOnuTraceEnable(tZqOnuId ponOnuId) {
    uint32 mibLink = 0;
    tZqCmLinkKey key = OmciLinkKey(ponOnuId, &mibLink);
    // The device index is always 1, whatever device the PON number falls in.
    if (key.slotId > kMaxSlotId || mibLink > MaxLinkId() || ponOnuId.onuId > ONU_TRACE_MAX_ONU_NUM) {
        ReportInvalidKey(key.slotId, mibLink, ponOnuId.onuId);
        return eOS_BOOL_FALSE;
    }
    return OnuTraceBitIsSet(key.slotId, 1, mibLink, ponOnuId.onuId) ? eOS_BOOL_TRUE
                                                                     : eOS_BOOL_FALSE;
}

void EnableLinkAllOnuTrace(uint8 slotId, uint8 deviceId, uint8 linkId) {
    ChangeLinkBits(slotId, deviceId, linkId, 0xFFFFFFFFu);
}

void DisableLinkAllOnuTrace(uint8 slotId, uint8 deviceId, uint8 linkId) {
    ChangeLinkBits(slotId, deviceId, linkId, 0);
}

void OnuTraceSetMask(uint8 linkId, uint16 onuId) {
    SharedSet(OnuTraceMasks[0].linkId, linkId);
    SharedSet(OnuTraceMasks[0].onuId, onuId);
}

uint32 OnuTraceGetMask(void) {
    return static_cast<uint32>(SharedGet(OnuTraceMasks[0].linkId)) * 256 +
           SharedGet(OnuTraceMasks[0].onuId);
}

void OnuTraceSetMaskEnable(eOsBool enableOrNot) { SharedSet(WordOf(OnuTraceMaskEnable), RawValue(enableOrNot)); }

eOsBool OnuTraceGetMaskEnable(void) {
    uint32 raw = SharedGet(WordOf(OnuTraceMaskEnable));
    eOsBool value;
    memcpy(&value, &raw, sizeof value);
    return value;
}

// ---- ONU log wrappers -----------------------------------------------------------------------------

#define ZQ_ONU_OMCI_WRAPPER(nameM, formM)                                                        \
    void nameM(const char *fileNameP, const char *funcNameP, uint32 lineNum, tZqOnuId ponOnuId,  \
               const char *formatP, ...) {                                                       \
        va_list args;                                                                            \
        va_start(args, formatP);                                                                 \
        OmciLog(fileNameP, funcNameP, lineNum, (formM), ponOnuId, formatP, args);                \
        va_end(args);                                                                            \
    }

#define ZQ_ONU_MGR_WRAPPER(nameM, formM)                                                         \
    void nameM(const char *fileNameP, const char *funcNameP, uint32 lineNum, uint8 slotId,       \
               uint8 deviceId, uint8 linkId, uint16 onuId, const char *formatP, ...) {           \
        va_list args;                                                                            \
        va_start(args, formatP);                                                                 \
        MgrLog(fileNameP, funcNameP, lineNum, (formM), slotId, deviceId, linkId, onuId, formatP, \
               args);                                                                            \
        va_end(args);                                                                            \
    }

ZQ_ONU_OMCI_WRAPPER(__OnuOmciMinorLog, kMinorForm)
ZQ_ONU_OMCI_WRAPPER(__OnuOmciMajorLog, kMajorForm)
ZQ_ONU_OMCI_WRAPPER(__OnuOmciCritical, kCriticalForm)
ZQ_ONU_MGR_WRAPPER(__OnuMgrMinorLog, kMinorForm)
ZQ_ONU_MGR_WRAPPER(__OnuMgrMajorlog, kMajorForm)
ZQ_ONU_MGR_WRAPPER(__OnuMgrCritical, kCriticalForm)
ZQ_ONU_MGR_WRAPPER(__OnuMgrTrace, TraceForm(eSVC_MODULE_ID_SVCT))

void __OnuOmciTrace(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                    eSvcModuleId moduleId, tZqOnuId ponOnuId, const char *formatP, ...) {
    va_list args;
    va_start(args, formatP);
    OmciLog(fileNameP, funcNameP, lineNum, TraceForm(moduleId), ponOnuId, formatP, args);
    va_end(args);
}

void __OnuMgrTracelog(const char *fileNameP, const char *funcNameP, uint32 lineNum,
                      eSvcModuleId moduleId, uint8 slotId, uint8 deviceId, uint8 linkId,
                      uint16 onuId, const char *formatP, ...) {
    va_list args;
    va_start(args, formatP);
    MgrLog(fileNameP, funcNameP, lineNum, TraceForm(moduleId), slotId, deviceId, linkId, onuId,
           formatP, args);
    va_end(args);
}

} // extern "C"
