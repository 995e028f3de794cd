// The limits that keep a page's scripts from holding up the console's UI thread or its memory:
// one script budget per tick of the library's timer, shared by every callback (timers, events,
// request and WebSocket callbacks); a cap on any one call into a page's script (the engine's
// interrupt counter and its regular-expression executor ask the same deadline); and a metered
// allocator for the script heap.
//
// Everything here is used on the UI thread only. A HeapMeter belongs to its script's heap.
#pragma once
#include <windows.h>

#include <cstddef>

namespace webview {

// Script time per tick; callbacks that have not run when it is spent wait for the next tick.
const DWORD kTickBudgetMs = 50;
// Any one call into a page's script (a script element, a callback) is stopped past this.
const DWORD kCallCapMs = 200;
// A timer whose callback uses a whole tick's budget this many times in a row is cleared.
const int kTimerStrikes = 3;
// The script heap of one document.
const size_t kScriptHeapLimit = 256u * 1024 * 1024;

// Starts a tick's budget (the library's timer routine calls it first).
void BeginTick();
// Whether callbacks may still run in this tick.
bool TickBudgetLeft();

// The bytes a script heap holds; allocations past the limit fail and mark it exceeded.
struct HeapMeter {
    size_t used = 0;
    size_t limit = kScriptHeapLimit;
    bool exceeded = false;
};
void* MeteredAlloc(HeapMeter& meter, size_t size);
void* MeteredRealloc(HeapMeter& meter, void* ptr, size_t size);
void MeteredFree(HeapMeter& meter, void* ptr);

}  // namespace webview
