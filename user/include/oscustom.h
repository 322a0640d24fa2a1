/* oscustom.h - the sizes of every fixed table of the OS wrapper, and the trace backlog, in one place. */
#ifndef RELAYKIT_OSCUSTOM_H
#define RELAYKIT_OSCUSTOM_H

#define OS_MAX_TASKS 200           /* tasks created through the wrapper at once */
#define OS_MAX_QUEUES 400          /* queue ids 1..400 */
#define OS_MAX_SEMAPHORES 44960    /* semaphore ids 1..44960 */
#define OS_MAX_MEM_RECORDS 4096    /* allocation records */
#define OS_MAX_NAME_LEN 30         /* names of tasks, queues and semaphores, without terminator */
#define TRACE_QUEUE_LIMIT 4096     /* trace and log records waiting for the trace task */

#define OS_MSG_SIGNATURE_LIVE 0x0A1BEEF0  /* header of a live block from OsWrap__AllocExt */
#define OS_MSG_SIGNATURE_LINK 0x7BADBEEF  /* separate link block made by a send */
#define OS_MSG_SIGNATURE_FREED 0x0F4EE0ED /* header of a released block */

#endif /* RELAYKIT_OSCUSTOM_H */
