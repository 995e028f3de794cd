// The updater's only window: shows the current step or the outcome, the time elapsed and the
// download progress; owns the update manager, starts it on its first timer tick and polls it
// every 300 ms; asks before the user ends the update and quits by itself five minutes after the end.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string>
#include "UpdateManager.h"
#include "WindowImplBase.h"
#include "UIProgress.h"

class CMainFrameWnd : public Veneer::WindowImplBase {
public:
    enum {
        kTimerId = 1,
        kTimerMs = 300,
        kAutoQuitMs = 300000,  // after the end of the update
        kQuitCodeClose = 88,
        kQuitCodeAuto = 886,
    };

    CMainFrameWnd();

    const wchar_t* GetWindowClassName() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDefaultKey(WPARAM wParam) override;
    int GetResourceType() const override;
    const wchar_t* GetResourceID() const override;
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(Veneer::TNotifyRecord& msg) override;

    // The text "UpdateInfo" shows for a step (the outcome text at the last step).
    static const wchar_t* GetStateText(int32_t step, int32_t errorCode);
    static const wchar_t* GetErrorText(int32_t errorCode);
    // The progress bar's value at a step, from the manager's counters; -1: the bar is hidden.
    static int GetProgressValue(int32_t step, int32_t filesToDownload, int32_t filesPending);

    // Test hook: when a path is set, every new "UpdateInfo" text is written there (UTF-8, whole
    // file), so a test can read what the window shows from another process.
    void SetStatusTracePath(const std::wstring& path) { m_statusTracePath = path; }
    // Test hook: the time after the last step before the window quits by itself.
    void SetAutoQuitMs(uint32_t ms) { m_autoQuitMs = ms; }

protected:
    Veneer::CUIString GetSkinFolder() override;
    Veneer::CUIString GetSkinFile() override;

private:
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // Asks the user; true when the user confirmed and the window is quitting.
    bool ConfirmExit();
    // Stops the worker (cancelled) and ends the message loop; only the first call acts.
    void Quit(int code);
    void TraceStatus(const wchar_t* text);

    uint32_t m_finishTick = 0;
    bool m_finishSeen = false;  // any tick value, 0 included, may be the finish tick
    uint32_t m_startTick = 0;
    CUpdateManager m_updateManager;
    Veneer::CControlUI* m_pStatusLabel = nullptr;
    Veneer::CProgressUI* m_pProgress = nullptr;
    bool m_confirming = false;  // the exit confirmation is up: a second close request waits for it
    bool m_quitting = false;
    std::wstring m_statusTracePath;
    std::wstring m_lastTraced;
    uint32_t m_autoQuitMs = kAutoQuitMs;
};
