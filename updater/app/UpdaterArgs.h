// The two process-wide values the updater's entry takes from its command line; the update
// manager and the main window read them.
#pragma once
#include <stdint.h>

// g_netbarId and g_forceUpdate live with the update manager, which reads them.
#include "UpdateManager.h"

// Reads switches "c" and "u" (case-insensitive; "u" is read after "c" and so wins).
void ReadUpdaterArguments(const wchar_t* commandLine, uint32_t& netbarId, bool& force);
