// oscancel.h - internal, not exported: keeps a task deletion from landing inside a library section.
//
// OsWrap__TaskDelete cancels a thread at its next cancellation point (write, fwrite, open, poll,
// a condition wait ...). The library is built without exceptions, so a cancellation that unwinds a
// frame never runs that frame's destructors: a lock guard whose scope holds a cancellation point
// would leave its lock taken for every other task. Such a section opens a NoCancelScope before it
// takes the lock; a deletion requested meanwhile waits until the scope has closed and acts at the
// task's next cancellation point. Waits that are cancellation points by design (semaphore and
// queue waits, SvcSleep) do not use it: their cleanup handlers give back what they hold.
#ifndef RELAYKIT_OSCANCEL_H
#define RELAYKIT_OSCANCEL_H

#include <pthread.h>

class NoCancelScope {
  public:
    NoCancelScope() { pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous_); }
    // Restores the caller's state: a scope inside another one leaves cancellation disabled.
    ~NoCancelScope() { pthread_setcancelstate(previous_, nullptr); }
    NoCancelScope(const NoCancelScope &) = delete;
    NoCancelScope &operator=(const NoCancelScope &) = delete;

  private:
    int previous_ = PTHREAD_CANCEL_ENABLE;
};

#endif // RELAYKIT_OSCANCEL_H
