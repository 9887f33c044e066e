// Keeping windows alive while the GUI thread is busy.
#pragma once

namespace vcl {
// Processes the pending window messages of the calling thread, as the
// application object does on request (also its terminate handling). Code that
// blocks on the GUI thread (network waits, long loops) calls it in short
// slices. On any other thread it does nothing.
void ProcessPendingMessages();

// The application object installs its own processing for its thread.
void SetMessagePump(void (*pump)(), unsigned long threadId);
// True on the thread that runs the windows' message loop (the first thread
// that installed a pump; the process's first GUI thread otherwise).
bool IsGuiThread();
}  // namespace vcl
