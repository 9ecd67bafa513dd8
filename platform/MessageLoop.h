#pragma once
// The message queue of the user-interface thread, on the GLib main loop.
// Imitates: PostMessage from any thread (queued, dispatched in order on the loop),
// PostQuitMessage ending the innermost modal loop and every loop around it, timers that
// queue WM_TIMER at most once until it is handled (so ticks count as handled, not as due),
// KillTimer dropping a tick still queued. Leaves out: message filters, PeekMessage,
// thread message queues of other threads.

#include <functional>

#include "platform/Messages.h"

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

namespace platform {

// Runs the loop, dispatching messages, GTK events, timers and paints, until `done` says so
// or a quit message arrives. Returns false when it ended because of a quit message.
// GUI thread only. Nested calls are how every modal thing (dialog, box, menu) waits.
bool RunModalLoop(const std::function<bool()>& done);

// True once PostQuitMessage was called; the exit code it gave.
bool QuitRequested();
int QuitCode();
// Forgets a handled quit request (a new program run in the same process starts fresh).
void ResetQuit();

// Drops every queued message and timer that targets this window (it is being destroyed).
void ForgetWindowMessages(HWND hwnd);

// Runs pending work of the loop without blocking, for at most `maxIterations` dispatches.
void PumpPending(int maxIterations = 1000);

// The framework's look at a mouse message before its window gets it (PreTranslateMessage):
// the filter may change the message, and returning true keeps it from the window.
void SetInputFilter(bool (*filter)(MSG* msg));
// Delivers a mouse message that came from the toolkit: through the filter, then to the window.
void DeliverInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// True on the thread that runs the user interface.
bool OnGuiThread();
void MarkGuiThread();

}  // namespace platform
