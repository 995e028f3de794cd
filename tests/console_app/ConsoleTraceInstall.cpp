// The console's events are written to the file PELLMORA_TEST_TRACE names in this process too, as
// in the tests' build of the program: the in-process cases follow pages and update check by it.
#include "ConsoleTraceWriter.h"

namespace {

struct TraceInstaller {
    TraceInstaller() { CConsoleTraceWriter::Install(); }
} g_traceInstaller;

}  // namespace
