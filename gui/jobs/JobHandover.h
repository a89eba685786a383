// The order between the two threads of a job: what the window wrote before Start is visible to the
// worker, and what the worker wrote before its result signal is visible to the window's handler. Qt's
// queued signals provide this; ThreadSanitizer cannot see it because the Qt library is not built with
// it, so under ThreadSanitizer each handover is declared at the signal, keyed by the worker. In other
// builds these are empty.
#pragma once

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace job_handover {

// Before a signal that crosses to the other thread.
inline void release([[maybe_unused]] const void* worker) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void*>(worker));
#endif
}

// In the slot that received it.
inline void acquire([[maybe_unused]] const void* worker) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void*>(worker));
#endif
}

} // namespace job_handover
