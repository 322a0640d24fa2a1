// trace_record_fuzz.cpp - the trace and log record writers with arbitrary argument text (the
// format is always "%s"), every mask and level switched on, the ONU filters partly open. The
// trace task drains what is queued: after each input every block it took is back.
//
// Input: byte 0 the writer, byte 1 the module, byte 2 the level, byte 3 the fields asked for
// (bits 0..5), the ONU text filter (bit 6) and the text also as file and function name (bit 7),
// byte 4 the PON link, bytes 5..6 the ONU; the rest is the text.
#include <sched.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "oswrap.h"
#include "svc.h"
#include "trace_record_writers.h"
#include "zqcmtrace.h"

namespace {

constexpr size_t kHeader = 7;
uint32 blocksAtStart = 0;

// Waits until the trace task has freed every record queued so far; a block that never comes
// back is a leak.
void AwaitDrained() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (__atomic_load_n(&MemAllocCnt, __ATOMIC_ACQUIRE) != blocksAtStart) {
        FUZZ_CHECK(std::chrono::steady_clock::now() < deadline);
        sched_yield();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    FuzzStartLibrary();
    InitTrace();
    FUZZ_CHECK(LogTraceInitDone == eOS_BOOL_TRUE);
    for (uint32 module = 0; module < ZQ_TRACE_MODULE_NUM; ++module)
        TraceSetMask(static_cast<eSvcModuleId>(module), ZQ_TRACE_ALL_MASK);
    for (uint32 module = 0; module < ZQ_CM_TRACE_MODULE_NUM; ++module)
        CmTraceSetMask(static_cast<eZqOltModuleId>(module), ZQ_TRACE_ALL_MASK);
    LogSetLevel(eZQ_LL_MINOR);
    TraceSetLevel(eZQ_TL_DEBUG);
    for (uint8 link = 0; link < 8; ++link) EnableLinkAllOnuTrace(1, 1, link);
    OnuTraceSetMask(1, 1);
    AwaitDrained();
    blocksAtStart = __atomic_load_n(&MemAllocCnt, __ATOMIC_ACQUIRE);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < kHeader) return 0;
    std::string text(reinterpret_cast<const char *>(data + kHeader), size - kHeader);
    const char *textP = text.c_str(); // ends at the first NUL of the input, as a C string does
    uint8 flags = data[3];
    uint8 link = data[4];
    uint16 onu = static_cast<uint16>(data[5] | (data[6] << 8));
    tZqCmLinkKey linkKey = {1, 1, link};
    bool textAsNames = flags & 0x80;
    OnuTraceSetMaskEnable((flags & 0x40) ? eOS_BOOL_TRUE : eOS_BOOL_FALSE);
    CallTraceWriter(data[0], textAsNames ? textP : __FILE__, textAsNames ? textP : __func__,
                    data[1], data[2], flags & 0x3F, (flags & 1) ? &linkKey : nullptr, link, onu,
                    textP);
    AwaitDrained();
    return 0;
}
