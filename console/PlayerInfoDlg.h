// The console's customer identity page, page 0 of the main frame (skin tag "PlayerInfoDlg", content
// from PlayerInfo.xml). It keeps the café service's web-socket page loaded in a hidden web view;
// when that page reports an account-opening request (the bound JavaScript function
// "window_external_CppCall", code 4), the page fetches the customer's identity and shows name, ID
// number, sex, nation and photo until the staff decide: "okBtn" reports the opening to the service
// and hands the 936-byte IdCardRecord to the window titled "QCODE_DIALOG_AGENT", "cancleBtn" drops
// the customer, and two untouched minutes clear it. The page also shows the café's scrambled
// account-opening QR code.
//
// Ownership: the frame's control tree owns the page; the page owns the tree built from its skin and
// the hidden web view. g_playerInfoDlg points at the page from DoInit until its destructor, which
// also kills its timer on the frame's window (the frame calls OnTick for it). Everything runs on the
// UI thread; the requests block it for their duration.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string>
#include "IdCardRecord.h"
#include "OpenAccountInfo.h"
#include "UIContainer.h"
#include "UIDlgBuilder.h"
#include "UIManager.h"
#include "webview.h"

class CWkeWebkitUI;

class CPlayerInfoDlg : public Veneer::CContainerUI, public Veneer::INotifyUI, public Veneer::IDialogBuilderCallback {
public:
    // The page's timer on the frame's window: above the ids the paint manager hands its controls
    // there (0 to 254), so that no control timer takes it over or kills it.
    static const UINT kTimerId = 0x100;
    static const UINT kTimerMs = 300;
    static const uint32_t kReloadMs = 20000;      // a disconnected page is loaded again after this
    static const uint32_t kClearMs = 120000;      // a customer left alone this long is cleared
    static const UINT kAgentTimeoutMs = 5000;     // the agent window's time to take the record
    // The photo is fetched on the UI thread: a slow or endless one must not hold the console.
    static const long kPhotoTimeoutSeconds = 10;
    static const uint32_t kPhotoMaxBytes = 2 * 1024 * 1024;

    typedef uint32_t (*Clock)();

    CPlayerInfoDlg();
    ~CPlayerInfoDlg() override;

    void DoInit() override;
    void Notify(Veneer::TNotifyRecord& msg) override;
    // "WbkWebkit" yields a web view; any other tag nothing.
    Veneer::CControlUI* CreateControl(const wchar_t* pstrClass) override;

    // Bound as "window_external_CppCall" (3 arguments: event code, customer id, unused); hands the
    // call to the page when there is one.
    static jsValue JsCppCall(jsExecState es);
    // 1 connected, 2 or 3 disconnected, 4 an account-opening request for the customer.
    void OnPageEvent(int code, int uid);
    // The page's timer: reloads a disconnected web-socket page every 20 s, clears a customer after 120 s.
    void OnTick();

    void RequestOpenInfo(int32_t uid);
    void ShowPlayer(const COpenAccountInfo& customer);
    void LoadSocketPage();
    // post_openstate, sent once more when the service answers another code than "101".
    bool PostOpenState(int32_t uid, int32_t state);
    bool DownloadPhoto(const std::string& remotePath, const std::string& localPath);
    // Always true: a missing or unanswering agent window is not the staff's concern.
    bool SendToAgent(const IdCardRecord& record);

    // Test seams: the tick-count source, and the program directory (with a trailing backslash)
    // that holds the QR bitmap, the photo and res\Head.png; set the directory before DoInit.
    void SetClock(Clock clock) { m_clock = clock ? clock : &DefaultClock; }
    void SetDirectory(const std::wstring& directory) { m_directory = directory; }

    bool IsConnected() const { return m_connected != 0; }
    uint32_t GetShownAt() const { return m_shownAt; }
    const COpenAccountInfo& GetCustomer() const { return m_customer; }
    CWkeWebkitUI* GetSocketView() const { return m_socketView; }
    // The local photo file ("playerimg\headimg.jpg") and the default picture ("\res\Head.png"),
    // both under the program directory.
    std::string PhotoPath() const;
    std::wstring DefaultPhotoPath() const;

private:
    // Drops the customer and clears what the page shows of it.
    void ClearCustomer();
    static uint32_t DefaultClock();
    void SetLabel(Veneer::CControlUI* label, const wchar_t* name, const std::wstring& text);
    void SetPicture(Veneer::CControlUI* control, const wchar_t* name, const std::wstring& path);
    void ShowQrCode();

    Veneer::CControlUI* m_username = nullptr;
    Veneer::CControlUI* m_userbirthday = nullptr;
    Veneer::CControlUI* m_usersex = nullptr;
    Veneer::CControlUI* m_usernation = nullptr;
    Veneer::CControlUI* m_useraddr = nullptr;
    Veneer::CControlUI* m_headimg = nullptr;
    Veneer::CControlUI* m_checkresult = nullptr;
    CWkeWebkitUI* m_socketView = nullptr;
    int32_t m_connected = 0;
    uint32_t m_shownAt = 0;
    uint32_t m_lastReload = 0;
    COpenAccountInfo m_customer;
    bool m_hasPhoto = false;  // the customer's photo was fetched for this customer

    Clock m_clock = &DefaultClock;
    std::wstring m_directory;
    HWND m_timerWindow = nullptr;
};
