// The reader thread's access to the open port. The port handle (a Win32
// HANDLE or a POSIX file descriptor, carried as intptr_t; -1 means no port in
// both worlds) may be closed by the user-interface thread at any moment. The
// reader therefore borrows it: while it holds a borrow, ClosePort may take the
// handle away from everyone but does not release it, so a closed handle value
// is never reused under the reader's feet. Every borrow is returned, also one
// that yielded -1.
#pragma once

#include <cstdint>

constexpr intptr_t NoPort = -1;

// Registers the caller as a user of the port, then reads the handle.
intptr_t BorrowPort();

// False once the port the borrow yielded has been taken away by ClosePort (or
// replaced by another open): no new operation may be started on it then.
bool IsCurrentPort(intptr_t handle);

// Ends the borrow; ClosePort waits for this before releasing the handle.
void ReturnPort();

// Counts the openings of the port: raised by every PublishPort, so the bytes
// read under one borrow can be told from those of an earlier opening.
uint32_t PortSession();

// The reader's pause after a failed wait or read, so that a port that keeps
// failing cannot spin it.
constexpr uint32_t FailedPassPauseMs = 10;

// For the platform port alone (user-interface thread): makes an opened and
// configured handle the current one, starting a new session and waking a
// reader that waits for a port; reads it for a write; takes it away
// from everyone, returning what it was; and tells whether a borrow taken
// before TakePort is still out, which ClosePort waits for before releasing.
void PublishPort(intptr_t handle);
intptr_t CurrentPort();
intptr_t TakePort();
bool PortStillBorrowed();

#ifndef _WIN32
// Readable from the moment ClosePort takes the handle away until it has
// released it: the reader polls it together with the port, so a wait on a
// port that is being closed ends at once.
int PortClosingFd();
#endif
