// A session: everything one serial port needs, in one plain struct that the
// core's free functions take. A front end makes one per port it works on:
// the dialog one for its whole life, quorvane-cli one per port.
//
//   port          the port handle and its borrow
//   reader        the thread that reads the port
//   receiver      the buffers and the assembler thread that cuts frames
//   supervision   the link supervision's counters
//   callbacks     the front end's side: replies, supervision, trace
//
// Its threads start with StartSession and are joined by EndSession, which
// leaves no thread, handle or descriptor behind. The port is opened and
// closed within a session as often as its owner likes (OpenPortReporting and
// ClosePort on session.port). Fixed in size: nothing on the receive path
// allocates or throws.
//
// Threads: the owner's thread opens, writes, closes and ticks; the reader
// thread and the assembler thread serve the port. End a session from a
// thread that no callback waits on: the assembler may be inside a callback
// that waits for the owner's thread (the dialog's synchronous window calls).
#pragma once

#include "link/frame_receiver.h"
#include "link/reader.h"
#include "link/serial_port.h"
#include "session/device_client.h"
#include "session/link_supervisor.h"

struct SessionCallbacks {
    ReplyHandler replies;
    SupervisionHost supervision;
    FrameTap tap;
};

struct Session {
    SerialPort port;
    Reader reader;
    Receiver receiver;
    LinkSupervisor supervision;
    SessionCallbacks callbacks{};
    Thread readerThread;
    Thread assemblerThread;
    bool started = false;
};

// Why a session could not start: what could not be made, and the OS error.
struct SessionError {
    const char* what;
    int32_t osError;
};

// Makes the session's objects and starts its threads. False with the reason
// when something cannot be made; nothing is left behind then. `platform`
// is the system's in the programs.
bool StartSession(Session& session, const SessionCallbacks& callbacks, SessionError* why,
                  const PlatformCalls& platform = SystemCalls);

// Closes the port, stops and joins the threads and releases everything.
void EndSession(Session& session);

// Sessions started and not yet ended, in the whole process: a program about
// to end checks that it left none, with its port and threads, behind.
int LiveSessions();
