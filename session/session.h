// A session: everything one serial port needs, in one plain struct that the
// core's free functions take. A front end makes one per port it works on:
// the dialog one for its whole life, quorvane-cli one per port.
//
//   port          the port handle and its borrow
//   reader        the thread that reads the port
//   receiver      the buffers and the assembler thread that cuts frames
//   client        the device client: requests out, replies to the front end
//   supervision   the link supervision's counters and its host
//
// Its threads start with StartSession and are joined by EndSession, which
// leaves no thread, handle or descriptor behind. The port is opened and
// closed within a session as often as its owner likes (OpenPort and
// ClosePort on session.port); requests go through session.client. Fixed in size: nothing on the receive path
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

// The front end's side of a session.
struct SessionCallbacks {
    ReplyHandler replies;
    SupervisionHost supervision;
    FrameTap tap;
    RemovalSink removal{};   // the open port's adapter went away (reader thread); none: not told
};

struct Session {
    SerialPort port;
    Reader reader;
    Receiver receiver;
    DeviceClient client;
    LinkSupervisor supervision;
    Thread readerThread;
    Thread assemblerThread;
    bool started = false;
};

// Binds the client and the supervision to the session's port and the front
// end's callbacks; StartSession does it too. Tests that drive a session
// without threads call it alone.
void BindSession(Session& session, const SessionCallbacks& callbacks);

// Makes the session's objects and starts its threads. Fails with what could
// not be made and the system's error; nothing is left behind then.
// `platform` is the system's in the programs.
Result StartSession(Session& session, const SessionCallbacks& callbacks, const PlatformCalls& platform = SystemCalls);

// A whole frame the assembler cut (or a test hands in): the client checks
// and hands it to the front end, and its verdict goes to the supervision.
void HandleSessionFrame(Session& session, const uint8_t* frame, uint32_t total);

// Closes the port, stops and joins the threads and releases everything.
void EndSession(Session& session);

// Sessions started and not yet ended, in the whole process: a program about
// to end checks that it left none, with its port and threads, behind.
int LiveSessions();
