// ostaskend.h - internal, not exported: the hook the wrapper calls in a task's thread as the task
// ends, so that a layer above gives back what it keeps for the task while the thread still exists.
#ifndef RELAYKIT_OSTASKEND_H
#define RELAYKIT_OSTASKEND_H

#include "ostypes.h"

// Called in the ending task's thread, whether its entry function returned or the task was deleted
// (then at the cancellation point where the deletion acted). The thread's handle, and so its task
// id, is handed out again at once after the thread is gone.
using tOsTaskEndHook = void (*)(void);

// Registers the hook, replacing any earlier one (null: none). The service layer registers its own
// at SvcInit.
void OsWrapSetTaskEndHook(tOsTaskEndHook hook);

// Waits until the task's entry function has returned (timeoutMs at the most, in steps of a
// millisecond), then removes its entry, as OsWrap__TaskDelete would without cancelling anything.
// For a layer that asked its own task to end; false when the task has not ended in time.
bool OsWrapRemoveEndedTask(tOsTaskId taskId, uint32 timeoutMs);

#endif // RELAYKIT_OSTASKEND_H
