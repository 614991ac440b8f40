// Real-time scheduling through RealtimeKit, the desktop's broker for it: where the kernel
// does not grant SCHED_FIFO to an ordinary user, `org.freedesktop.RealtimeKit1` on the
// system bus does, for a thread of a process that limits its real-time CPU time
// (RLIMIT_RTTIME). Internal to the engine.
//
// libdbus is loaded when first needed rather than linked: a machine without it, without
// a system bus or without RealtimeKit simply gets no answer, quietly and at once.
#pragma once

#include <sys/types.h>

namespace audio {

// Asks RealtimeKit to run thread `tid` of this process at SCHED_FIFO `priority`; waits
// at most `timeoutMs` for the answer. True when granted. Sets this process's
// RLIMIT_RTTIME first (as RealtimeKit requires) unless a tighter one is set. Any thread.
bool AskRealtimeKit(pid_t tid, int priority, int timeoutMs = 1000);

}  // namespace audio
