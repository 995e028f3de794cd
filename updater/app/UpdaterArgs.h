// The two process-wide values the updater's entry takes from its command line; the update
// manager and the main window read them.
#pragma once
#include <stdint.h>

extern uint32_t g_netbarId;   // café id; 0 means "no café": the updater ends without a window
extern bool g_forceUpdate;    // switch "c": close and restart the console even when nothing changed

// Reads switches "c" and "u" (case-insensitive; "u" is read after "c" and so wins).
void ReadUpdaterArguments(const wchar_t* commandLine, uint32_t& netbarId, bool& force);
