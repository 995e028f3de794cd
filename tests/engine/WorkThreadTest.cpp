#include <gtest/gtest.h>
#include "WorkThread.h"

namespace {

class RecordingHandler : public CWorkThreadBaseHandler {
public:
    explicit RecordingHandler(int32_t result) : m_result(result) {}
    int32_t OnThreadBegin() override { m_order[m_count++] = 'b'; return 0; }
    int32_t OnThreadRun() override { m_order[m_count++] = 'r'; InterlockedIncrement(&m_runs); return m_result; }
    int32_t OnThreadEnd() override { m_order[m_count++] = 'e'; return 0; }
    char m_order[8] = {};
    int m_count = 0;
    volatile LONG m_runs = 0;
    int32_t m_result;
};

class EndlessHandler : public CWorkThreadBaseHandler {
public:
    int32_t OnThreadRun() override { for (;;) Sleep(10); }
};

DWORD ExitCodeAfterStop(CWorkThreadBaseHandler& h)
{
    HANDLE dup = nullptr;
    DuplicateHandle(GetCurrentProcess(), h.GetWorker()->GetHandle(), GetCurrentProcess(), &dup, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    h.StopThread(5000);
    DWORD code = 0;
    GetExitCodeThread(dup, &code);
    CloseHandle(dup);
    return code;
}

}  // namespace

TEST(WorkThread, HooksRunInOrderAndRunResultIsTheExitCode)
{
    for (int32_t result : {0, 1, 42, -7}) {
        RecordingHandler h(result);
        h.StartThread();
        ASSERT_NE(h.GetWorker(), nullptr);
        EXPECT_EQ(ExitCodeAfterStop(h), static_cast<DWORD>(result));
        EXPECT_STREQ(h.m_order, "bre");
        EXPECT_EQ(h.GetWorker(), nullptr);
    }
}

TEST(WorkThread, StartTwiceRunsOneThreadAndStopWithoutStartDoesNothing)
{
    RecordingHandler h(1);
    h.StopThread(100);
    EXPECT_EQ(h.GetWorker(), nullptr);
    h.StartThread();
    CWorkThread3* first = h.GetWorker();
    h.StartThread();
    EXPECT_EQ(h.GetWorker(), first);
    h.StopThread(5000);
    EXPECT_EQ(h.m_runs, 1);
}

TEST(WorkThread, NullHandlerEndsWithMinusOne)
{
    CWorkThread3 t;
    ASSERT_TRUE(t.Start());
    HANDLE dup = nullptr;
    DuplicateHandle(GetCurrentProcess(), t.GetHandle(), GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS);
    ASSERT_TRUE(t.Stop(5000));
    DWORD code = 0;
    GetExitCodeThread(dup, &code);
    CloseHandle(dup);
    EXPECT_EQ(code, 0xFFFFFFFFu);
    EXPECT_FALSE(t.Stop(10));  // no thread any more
}

TEST(WorkThread, HandlerThatNeverReturnsIsEndedByForce)
{
    EndlessHandler h;
    h.StartThread();
    HANDLE dup = nullptr;
    DuplicateHandle(GetCurrentProcess(), h.GetWorker()->GetHandle(), GetCurrentProcess(), &dup, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    h.StopThread(200);
    EXPECT_EQ(h.GetWorker(), nullptr);
    EXPECT_EQ(WaitForSingleObject(dup, 2000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeThread(dup, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(dup);
}
