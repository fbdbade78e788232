// Hidden message windows: a component that is driven by posted messages (the
// socket layer, protocol clients) allocates one and receives what is posted to
// it from the message loop, in posting order. No widget is involved, so this
// works under a console application object as well.
#pragma once
#include <cstdint>
#include <functional>

#include "platform/ui/messages.h"

namespace kv {

using TWndMethod = std::function<void(TMessage& Msg)>;

// A new hidden window whose messages go to Proc. Window ids are never reused,
// so a message posted to a freed window is dropped, never delivered to another.
HWND AllocateHWnd(TWndMethod Proc);
// Messages still queued for the window are dropped.
void DeallocateHWnd(HWND Wnd);
// Queues the message for the window and returns at once; it is handled by the
// message loop (ProcessMessages, Run, the waits below). Safe from any thread.
// A control's window gets it through Perform. False when Wnd is 0 or a
// message window that has been freed.
bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
// On the UI thread, inside the event loop: runs Post (which posts messages)
// and then hands out everything queued, in order, at once, sparing the loop
// a wake-up round for messages that are due now anyway.
void PostAndDeliver(const std::function<void()>& Post);
// Removes the first queued message of that number for the window (0: any
// window); returns whether one was removed and gives it in Removed.
bool RemovePendingMessage(HWND Wnd, UINT Msg, TMessage* Removed = nullptr);
// Number of queued messages, for tests.
int32_t PendingMessageCount();
// Dispatches at once, on the calling thread (message windows only).
LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);

// Posts WM_TIMER (WParam IDEvent) to the window every Elapse milliseconds
// until KillTimer; setting an existing id again restarts it. False for a
// window that does not exist or an Elapse of 0.
bool SetTimer(HWND Wnd, uintptr_t IDEvent, uint32_t Elapse);
bool KillTimer(HWND Wnd, uintptr_t IDEvent);

// Makes sure an event loop exists: an application object made elsewhere (a
// console one included) is used as it is, else the program's own is created.
void EnsureMessageLoop();
// Handles everything queued now and returns (the console-safe ProcessMessages).
void ProcessPendingMessages();
// Handles queued messages; when there are none, sleeps until one arrives or
// MaxWaitMs passes (0: no limit). Never spins.
void WaitForMessages(uint32_t MaxWaitMs);
// True once the application is ending: its loop was told to stop.
bool MessageLoopEnding();
// Milliseconds from a monotonic clock, for deadlines.
uint64_t TickCount64();

}  // namespace kv
