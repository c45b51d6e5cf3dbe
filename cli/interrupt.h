// Ctrl+C for the commands that work many ports at once (provision, ports
// --probe) and for watch: the press is noted, and every wake-up registered
// here is signalled, so that no thread waits out its time limit. The
// commands then end their sessions, which closes every port, and report.
//
// POSIX: the signal handler only writes to a pipe (all it may do); a thread
// of its own reads the pipe and does the rest. Win32: the console's control
// handler runs on a thread the system starts, and does it there.
#pragma once

#include "link/platform.h"

// Makes `wakeup` for the caller's own waits and starts listening for Ctrl+C
// and SIGTERM (Win32: Ctrl+C, Ctrl+Break and the console's close), which
// then signal it. Fails, with nothing left behind, when either cannot be
// made.
Result StartInterruptWatch(Wakeup& wakeup);
// Stops listening (the listening thread is joined) and releases `wakeup`.
void EndInterruptWatch(Wakeup& wakeup);

// True once Ctrl+C was pressed.
bool Interrupted();

// Wake-ups signalled on Ctrl+C, until taken off again. Any thread.
void WakeOnInterrupt(Wakeup& wakeup);
void StopWakingOnInterrupt(Wakeup& wakeup);

// For the platform parts: the listener itself, and what a press does (note
// it and signal the wake-ups).
Result StartListening();
void StopListening();
void NoteInterrupt();
