#pragma once

// Background work of the details run (reading HEADs, writing batches) runs on threads that
// give way to the window's thread and to the news server, when these share the cores: were
// the window's thread to wait its turn, the replies would stop being read and answered with
// new commands, and the server would run dry. A lower scheduling weight (nice 5) still leaves
// the background its share, so it never starves.
namespace BackgroundThread {

// Lowers the calling thread's weight; no effect where the system keeps it per process.
void giveWay();

} // namespace BackgroundThread
