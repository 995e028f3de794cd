// Test helper: holds a named mutex from a second process.
//   mutex_holder.exe <mutex name> <hold ms> <ready event name>
// Creates (or opens) the mutex, takes it, signals the event, holds it for the given time, releases it.
#include <windows.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[1]);
    if (!mutex)
        return 3;
    if (WaitForSingleObject(mutex, 10000) != WAIT_OBJECT_0)
        return 4;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (ready) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    Sleep(static_cast<DWORD>(atoi(argv[2])));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
