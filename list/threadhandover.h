#pragma once

// Qt is not built with ThreadSanitizer, so the lock under which its event queue hands an event
// from one thread to another is invisible to it: an event made on a worker thread and read and
// freed on the window's thread looks like a race. A worker marks the event handed over just
// before posting it, and the receiver marks it taken over first thing; in other builds these
// do nothing.

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);

inline void markHandedOver(void *event)
{
    __tsan_release(event);
}

inline void markTakenOver(void *event)
{
    __tsan_acquire(event);
}
#else
inline void markHandedOver(void *) {}
inline void markTakenOver(void *) {}
#endif
