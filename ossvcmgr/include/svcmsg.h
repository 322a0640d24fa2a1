/* svcmsg.h - service messages: a tSvcMsg header and its payload in one accounted block, sent from
 * module to module over the wrapper's queues without copying.
 *
 * Ownership: a message belongs to the task that allocated it until SvcMsgSend succeeds, then to the
 * destination queue, then to the task whose SvcMsgRcv returned it, which frees it with SvcMsgFree.
 * A failed send leaves the message with the caller. SvcMsgSend may be called from any task;
 * SvcMsgRcv runs the calling task's tick timer (and so its conveyor belts) while it waits. */
#ifndef RELAYKIT_SVCMSG_H
#define RELAYKIT_SVCMSG_H

#include "ostypes.h"
#include "svcdef.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    eSVC_MSG_CLASS_MIN = 0,
    eSVC_MSG_CLASS_ITC = 0, /* between tasks: the only class the service layer allocates and frees */
    eSVC_MSG_CLASS_ICC = 1,
    eSVC_MSG_CLASS_ILC = 2,
    eSVC_MSG_CLASS_MAX = 3
} eSvcMsgClass;

OS_STATIC_ASSERT(sizeof(eSvcMsgClass) == 4, "eSvcMsgClass is 32 bits");

/* Header of a service message; the payload follows it directly in the same block. */
typedef struct tSvcMsg {
    uint16 msgType;        /* chosen by the modules */
    uint16 length;         /* payload bytes */
    struct tSvcMsg *nextP; /* free for the owner's own lists; set to null, never read here */
    uint8 msgClass;        /* eSvcMsgClass */
    uint8 msgInfo;         /* free for the modules */
    uint8 srcModuleId;     /* eSvcModuleId of the sender */
    uint8 dstModuleId;     /* eSvcModuleId of the receiver: the routing key of SvcMsgSend */
} tSvcMsg;

OS_STATIC_ASSERT(sizeof(tSvcMsg) == 24, "tSvcMsg is a 24-byte header");
OS_STATIC_ASSERT(offsetof(tSvcMsg, nextP) == 8, "tSvcMsg: nextP at offset 8");
OS_STATIC_ASSERT(offsetof(tSvcMsg, dstModuleId) == 19, "tSvcMsg: dstModuleId at offset 19");

/* The message bit of the service module's trace mask: SvcMsgRcv then prints each message it returns. */
#define fSVC_TM_MESSAGE 4

/* Accessors over a tSvcMsg*. */
#define SvcMsgGetDataPointer(msgPM) ((void *)((tSvcMsg *)(msgPM) + 1))
#define SvcMsgGetDataLength(msgPM) ((msgPM)->length)
#define SvcMsgSetDataLength(msgPM, lengthM) ((msgPM)->length = (uint16)(lengthM))
#define SvcMsgGetMsgType(msgPM) ((msgPM)->msgType)
#define SvcMsgSetMsgType(msgPM, typeM) ((msgPM)->msgType = (uint16)(typeM))
#define SvcMsgGetMsgInfo(msgPM) ((msgPM)->msgInfo)
#define SvcMsgSetMsgInfo(msgPM, infoM) ((msgPM)->msgInfo = (uint8)(infoM))
#define SvcMsgGetSrcModuleId(msgPM) ((msgPM)->srcModuleId)
#define SvcMsgSetSrcModuleId(msgPM, moduleIdM) ((msgPM)->srcModuleId = (uint8)(moduleIdM))
#define SvcMsgGetDstModuleId(msgPM) ((msgPM)->dstModuleId)
#define SvcMsgSetDstModuleId(msgPM, moduleIdM) ((msgPM)->dstModuleId = (uint8)(moduleIdM))
#define SvcMsgGetNext(msgPM) ((msgPM)->nextP)
#define SvcMsgSetNext(msgPM, nextPM) ((msgPM)->nextP = (nextPM))
#define SvcMsgGetMsgClass(msgPM) ((msgPM)->msgClass)
#define SvcMsgGetBufNo(msgPM) 0

/* An ITC message with a zeroed header, length = size and an uncleared payload, from the accounting
 * allocator. Null (reported) when the block cannot be had, or when header plus payload would not
 * fit the 16-bit allocation size (size above 65511). */
RELAYKIT_API tSvcMsg *SvcMsgAlloc(uint16 size);
/* Frees an ITC message; any other class (and a null message) is reported and left alone. */
RELAYKIT_API void SvcMsgFree(tSvcMsg *svcMsgP);
/* Queues the message for its dstModuleId and, for a module registered with both a task and a
 * queue, releases the task's semaphore. eOS_RET_INVALID_ARG when the module has no queue (or the
 * message is null); otherwise the queue's result. */
RELAYKIT_API eOsRet SvcMsgSend(tSvcMsg *svcMsgP);
/* Waits for the next message on queueId, running the calling task's tick timer at each expiry in
 * between. Returns eOS_RET_SUCCESS with *msgP set, or the wrapper's error with *msgP null.
 * timeout has no effect: the call returns only with a message or an error. */
RELAYKIT_API eOsRet SvcMsgRcv(tOsQueueId queueId, tSvcMsg **msgP, sint32 timeout);

#ifdef __cplusplus
}
#endif

#endif /* RELAYKIT_SVCMSG_H */
