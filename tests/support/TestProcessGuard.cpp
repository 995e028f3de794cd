// Linked into every test executable. Two guards that keep one bad case from stalling the suite:
// - a crash ends the process at once with one line naming the exception, the address and the
//   running case (mingw's GoogleTest catches no SEH exceptions, and Wine would otherwise hand the
//   crash to its debugger, which can wait for ever);
// - every process the tests start, and every process those start, belongs to a job that is
//   closed when the test process ends, however it ends: nothing a case started outlives it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace {

const char* ExceptionName(DWORD code)
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "access violation";
    case EXCEPTION_STACK_OVERFLOW: return "stack overflow";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "array bounds exceeded";
    case EXCEPTION_IN_PAGE_ERROR: return "in-page error";
    case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
    case EXCEPTION_BREAKPOINT: return "breakpoint";
    case 0xC0000409: return "stack buffer overrun or fast fail";
    case 0x20474343: return "uncaught C++ exception";
    default: return "exception";
    }
}

// Runs on the faulting thread, possibly with a corrupt heap and little stack: no allocation, no
// locks, one write.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* rec = info->ExceptionRecord;
    char module[MAX_PATH] = "?";
    HMODULE owner = NULL;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(rec->ExceptionAddress), &owner) &&
        GetModuleFileNameA(owner, module, sizeof(module)) == 0)
        strcpy(module, "?");
    const char* base = strrchr(module, '\\');
    base = base ? base + 1 : module;
    const char* suite = "";
    const char* name = "(outside any case)";
    const ::testing::TestInfo* running = ::testing::UnitTest::GetInstance()->current_test_info();
    if (running) {
        suite = running->test_suite_name();
        name = running->name();
    }
    char line[1024];
    int n = _snprintf(line, sizeof(line) - 1,
                      "\nCRASH: %s (0x%08lX) at %p in %s+0x%lx, in %s%s%s; the test process ends here\n",
                      ExceptionName(rec->ExceptionCode), static_cast<unsigned long>(rec->ExceptionCode),
                      rec->ExceptionAddress, base,
                      static_cast<unsigned long>(static_cast<const char*>(rec->ExceptionAddress) -
                                                 reinterpret_cast<const char*>(owner)),
                      suite, *suite ? "." : "", name);
    if (n < 0)
        n = static_cast<int>(sizeof(line) - 1);
    DWORD written = 0;
    fflush(stdout);
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(n), &written, NULL);
    TerminateProcess(GetCurrentProcess(), rec->ExceptionCode ? rec->ExceptionCode : 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Every process started from here on joins this process's job; when the last handle to the job
// closes (this process ends, also when it is killed) the system ends them all.
void KeepChildrenInAJob()
{
    HANDLE job = CreateJobObjectW(NULL, NULL);
    if (!job)
        return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) ||
        !AssignProcessToJobObject(job, GetCurrentProcess())) {
        CloseHandle(job);
        return;
    }
    // The handle is left open on purpose: it closes with the process.
}

struct Guard {
    Guard()
    {
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        ULONG reserve = 64 * 1024;  // room for the report after a stack overflow
        SetThreadStackGuarantee(&reserve);
        SetUnhandledExceptionFilter(ReportCrash);
        KeepChildrenInAJob();
    }
} g_guard;

}  // namespace
