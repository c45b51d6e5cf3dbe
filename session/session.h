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
// closed within a session as often as its owner likes (OpenDevice or
// OpenSessionPort, and CloseSessionPort); requests go out through the
// session's Send calls. A front end uses a session through these calls
// only, never its members. Fixed in size: nothing on the receive path
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

// Opens the port by its path ("\\.\COM7", "/dev/ttyUSB0") and nothing more:
// a one-shot command writes its own requests next.
Result OpenSessionPort(Session& session, const char* path);

// Opens the port as the dialog and watch do: the supervision is armed
// before the first request goes out (its reply may clear the first-contact
// countdown at once), then the settings and the password are asked for. A
// request that cannot be written is missed like a lost reply: the
// supervision notices the silence. Returns the opening's result; a port
// whose line settings the system refused (LineRefused) counts as open.
Result OpenDevice(Session& session, const char* path);

void CloseSessionPort(Session& session);

// How often the port was opened: a removal the reader tells of names the
// opening it concerns, so a front end can drop one about an earlier opening.
uint32_t SessionPortOpenings(const Session& session);

// The supervision's one-second tick, on the owner's thread.
void TickSession(Session& session);

// The requests, written on the owner's thread (see device_client.h).
Result SendGetNetConfig(Session& session);
Result SendSetNetConfig(Session& session, bool dhcp, uint32_t ipAddress, uint32_t subnetMask, uint32_t gateway);
Result SendShellCommand(Session& session, const char* text);
Result SendGetAdminPassword(Session& session);
Result SendSetAdminPassword(Session& session, const char* text);

// Sessions started and not yet ended, in the whole process: a program about
// to end checks that it left none, with its port and threads, behind.
int LiveSessions();
