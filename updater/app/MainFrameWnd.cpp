#include "MainFrameWnd.h"
#include <stdio.h>

using namespace Veneer;

CMainFrameWnd::CMainFrameWnd() = default;

const wchar_t* CMainFrameWnd::GetWindowClassName() const { return L"UIWND_TOLLVANE"; }

CUIString CMainFrameWnd::GetSkinFolder() { return CUIString(L"Res"); }

CUIString CMainFrameWnd::GetSkinFile() { return CUIString(L"MainWnd.xml"); }

// Escape and Return do nothing here: the update must not end by a stray key.
LRESULT CMainFrameWnd::OnDefaultKey(WPARAM) { return 0; }

int CMainFrameWnd::GetResourceType() const { return 4; }

const wchar_t* CMainFrameWnd::GetResourceID() const { return MAKEINTRESOURCEW(103); }

LRESULT CMainFrameWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_TIMER) {
        BOOL bHandled = TRUE;
        LRESULT lRes = OnTimer(uMsg, wParam, lParam, bHandled);
        if (bHandled)
            return lRes;
    }
    return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CMainFrameWnd::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    WindowImplBase::OnCreate(uMsg, wParam, lParam, bHandled);
    SetIcon(101);
    ::SetTimer(m_hWnd, kTimerId, kTimerMs, nullptr);
    m_pStatusLabel = m_PaintManager.FindControl(L"UpdateInfo");
    CControlUI* progress = m_PaintManager.FindControl(L"prgDownloading");
    m_pProgress = progress ? static_cast<CProgressUI*>(progress->GetInterface(L"Progress")) : nullptr;
    m_PaintManager.FindControl(L"close_btn");
    m_PaintManager.FindControl(L"min_btn");
    m_startTick = ::GetTickCount();
    return 0;
}

// Every way of closing the window (Alt+F4, the system menu, a task manager) takes the close
// button's road: confirmation, then the worker stopped, then the loop ended.
LRESULT CMainFrameWnd::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = TRUE;
    if (!m_quitting)
        ConfirmExit();
    return 0;
}

// Whatever destroyed the window, no worker and no message loop may outlive it.
LRESULT CMainFrameWnd::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    Quit(kQuitCodeClose);
    bHandled = FALSE;
    return 0;
}

const wchar_t* CMainFrameWnd::GetErrorText(int32_t errorCode)
{
    switch (errorCode) {
    case 0: return L"已更新完毕";
    case 1: return L"检查本地文件时发生错误！";
    case 2: return L"查询不到更新信息,可能是网络错误或不支持此版本的更新！";
    case 3: return L"分析更新信息时发生错误！";
    case 4: return L"下载文件时发生错误！本窗口会在5分钟后自动关闭，\n并且间隔一段时间后会重新启动升级";
    case 5: return L"关闭主程序时发生错误！";
    case 6: return L"修改程序文件时发生错误！";
    case 7: return L"修改客户端压缩包时发生错误！";
    case 8: return L"启动主程序时发生错误！";
    default: return L"发生未知错误！";
    }
}

const wchar_t* CMainFrameWnd::GetStateText(int32_t step, int32_t errorCode)
{
    switch (step) {
    case 1: return L"检查本地文件...";
    case 2: return L"查询更新信息...";
    case 3: return L"分析更新信息...";
    case 4: return L"下载文件...";
    case 5: return L"关闭主程序...";
    case 6: return L"升级主程序...";
    case 7: return L"升级主程序2...";
    case 8: return L"启动主程序...";
    case 9: return GetErrorText(errorCode);
    default: return L"";
    }
}

LRESULT CMainFrameWnd::OnTimer(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    bHandled = TRUE;
    if (m_quitting)
        return 0;
    m_updateManager.Start();

    // The manager's fields are read without a lock: each is one value the worker stores whole.
    int32_t step = m_updateManager.GetStep();
    uint32_t now = ::GetTickCount();
    uint32_t elapsed;
    if (step == CUpdateManager::kStepDone) {
        if (!m_finishSeen) {
            m_finishSeen = true;
            m_finishTick = now;
        } else if (now - m_finishTick > m_autoQuitMs) {
            Quit(kQuitCodeAuto);
            return 0;
        }
        elapsed = m_finishTick - m_startTick;
    } else {
        elapsed = now - m_startTick;
    }

    if (CControlUI* elapsedLabel = m_PaintManager.FindControl(L"DlElapseTime")) {
        wchar_t text[64];
        uint32_t seconds = elapsed / 1000;
        swprintf(text, 64, L"已用时: %d分钟%d秒", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
        elapsedLabel->SetText(text);
    }

    const wchar_t* stateText = GetStateText(step, m_updateManager.GetErrorCode());
    if (m_pStatusLabel)
        m_pStatusLabel->SetText(stateText);
    TraceStatus(stateText);

    if (m_pProgress) {
        int32_t toDownload = 0, pending = 0;
        m_updateManager.GetProgress(toDownload, pending);
        int value = GetProgressValue(step, toDownload, pending);
        if (value >= 0) {
            if (!m_pProgress->IsVisible())
                m_pProgress->SetVisible(true);
            m_pProgress->SetValue(value);
        } else if (m_pProgress->IsVisible()) {
            m_pProgress->SetVisible(false);
        }
    }
    return 0;
}

int CMainFrameWnd::GetProgressValue(int32_t step, int32_t filesToDownload, int32_t filesPending)
{
    if (step != CUpdateManager::kStepDownload)
        return -1;
    return filesToDownload > 0 ? (filesToDownload - filesPending) * 100 / filesToDownload : 0;
}

void CMainFrameWnd::Notify(TNotifyRecord& msg)
{
    if (msg.sType == L"click" && msg.pSender != nullptr) {
        CUIString name = msg.pSender->GetName();
        if (name == L"close_btn") {
            if (!ConfirmExit())
                return;
        } else if (name == L"min_btn") {
            ::ShowWindow(m_hWnd, SW_MINIMIZE);
        }
    }
    WindowImplBase::Notify(msg);
}

bool CMainFrameWnd::ConfirmExit()
{
    if (m_quitting)
        return true;
    if (m_confirming)
        return false;
    m_confirming = true;
    const wchar_t* text = m_updateManager.GetStep() == CUpdateManager::kStepDone
                              ? L"您确定要退出吗？"
                              : L"退出Sorrelind升级程序将终止当前的升级过程,\r\n您确定要退出吗？";
    int answer = ::MessageBoxW(nullptr, text, L"退出", MB_OKCANCEL);
    m_confirming = false;
    if (answer != IDOK)
        return false;
    Quit(kQuitCodeClose);
    return true;
}

void CMainFrameWnd::Quit(int code)
{
    if (m_quitting)
        return;
    m_quitting = true;
    if (m_hWnd)
        ::KillTimer(m_hWnd, kTimerId);
    // Cancel, then up to 10 s for the worker before it is ended by force.
    m_updateManager.Stop(true);
    ::PostQuitMessage(code);
}

void CMainFrameWnd::TraceStatus(const wchar_t* text)
{
    if (m_statusTracePath.empty() || m_lastTraced == text)
        return;
    m_lastTraced = text;
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], size, nullptr, nullptr);
    HANDLE file = ::CreateFileW(m_statusTracePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    ::CloseHandle(file);
}
