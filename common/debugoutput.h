#pragma once

// The debug output written a block at a time. The program writes a debug line for every
// command it sends and every reply status line, tens of thousands a second while the details
// of spots arrive, and Qt's own output writes each line to stderr by itself: a system call per
// line, which cost as much as storing the spot. Here debug and info lines are kept and written
// together whenever the application's thread is about to wait for events, when 64 KB are kept,
// before any warning or worse (which goes out as before, at once), and at exit. So no line is
// held while the program waits; a crash may lose the lines of the work it was doing.
namespace DebugOutput {

// Once, on the application's thread, after the application object is made.
void install();

} // namespace DebugOutput
