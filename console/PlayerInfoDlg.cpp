#include "PlayerInfoDlg.h"
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <new>
#include "CafeProtocol.h"
#include "CodePage.h"
#include "ConsoleDownloader.h"
#include "ConsoleEvents.h"
#include "ConsoleGlobals.h"
#include "ConsolePages.h"
#include "DesCrypt.h"
#include "QrCode.h"
#include "ServerBaseUrl.h"
#include "WkeWebkitUI.h"

using namespace Veneer;

namespace {

const wchar_t kAgentTitle[] = L"QCODE_DIALOG_AGENT";
const wchar_t kJsFunction[] = L"window_external_CppCall";

// The web-socket page's loads need no answer.
void IgnoreLoadingFinished(CWkeWebkitUI*, const wchar_t*, int, const wchar_t*) {}

std::wstring Number(long long value)
{
    wchar_t text[32];
    swprintf(text, 32, L"%lld", value);
    return text;
}

}  // namespace

CPlayerInfoDlg::CPlayerInfoDlg() : m_directory(GetAppDirectory()) {}

CPlayerInfoDlg::~CPlayerInfoDlg()
{
    // The page's timer on the frame and the global pointer: neither outlives it.
    if (m_timerWindow != nullptr)
        ::KillTimer(m_timerWindow, kTimerId);
    if (g_playerInfoDlg == this)
        g_playerInfoDlg = nullptr;
    if (CPaintManagerUI* manager = GetManager())
        manager->RemoveNotifier(this);
}

uint32_t CPlayerInfoDlg::DefaultClock() { return ::GetTickCount(); }

CControlUI* CPlayerInfoDlg::CreateControl(const wchar_t* pstrClass)
{
    if (pstrClass != nullptr && wcscmp(pstrClass, L"WbkWebkit") == 0)
        return new (std::nothrow) CWkeWebkitUI();
    return nullptr;
}

std::string CPlayerInfoDlg::PhotoPath() const { return WideToAnsi(m_directory) + "playerimg\\headimg.jpg"; }

// The directory ends in a backslash, so the path holds two in a row; the file system takes it.
std::wstring CPlayerInfoDlg::DefaultPhotoPath() const { return m_directory + L"\\res\\Head.png"; }

void CPlayerInfoDlg::DoInit()
{
    CPaintManagerUI* manager = GetManager();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(L"PlayerInfo.xml"), nullptr, this, manager, nullptr);
    if (root != nullptr) {
        Add(root);
        if (manager != nullptr)
            manager->AddNotifier(this);
    } else {
        RemoveAll();
    }

    g_playerInfoDlg = this;
    // The frame's one name map also holds the other pages ("headimg" is in KaiHu.xml too): the
    // page looks inside its own subtree.
    m_username = FindInSubtree(this, L"username");
    m_userbirthday = FindInSubtree(this, L"userbirthday");
    m_usersex = FindInSubtree(this, L"usersex");
    m_usernation = FindInSubtree(this, L"usernation");
    m_useraddr = FindInSubtree(this, L"useraddr");
    m_headimg = FindInSubtree(this, L"headimg");
    m_checkresult = FindInSubtree(this, L"checkresult");

    m_socketView = new (std::nothrow) CWkeWebkitUI();
    if (m_socketView != nullptr) {
        m_socketView->SetVisible(false);
        Add(m_socketView);
        // Its host window comes up shown when the control is attached: hide it again.
        m_socketView->SetVisible(false);
        m_socketView->SetLoadingFinishHandler(&IgnoreLoadingFinished);
        m_socketView->BindJsFunction(kJsFunction, &CPlayerInfoDlg::JsCppCall, 3);
    }

    if (manager != nullptr && manager->GetPaintWindow() != nullptr) {
        m_timerWindow = manager->GetPaintWindow();
        ::SetTimer(m_timerWindow, kTimerId, kTimerMs, nullptr);
    }
    ShowQrCode();
}

// The café's account-opening code, scrambled: "V20170904,<café code>".
void CPlayerInfoDlg::ShowQrCode()
{
    const std::string plain = g_appVersion + "," + g_loginNetbarCode;
    char scrambled[128];
    ScrambleText(plain.c_str(), g_desKeyText, scrambled, sizeof scrambled);
    const std::string path = WideToAnsi(m_directory) + "wberweima.bmp";
    const bool written = WriteQrBitmap(scrambled, path.c_str());
    consoleevents::RaiseA(L"player", "qrcode", written ? plain : std::string());
    CControlUI* picture = FindInSubtree(this, L"netbarcodeimg");
    CPaintManagerUI* manager = GetManager();
    if (!written || picture == nullptr || manager == nullptr)
        return;
    // Into the cache at once: the QR window writes its own code to the same file later.
    const std::wstring widePath = AnsiToWide(path);
    if (manager->AddImage(widePath.c_str()) != nullptr)
        SetPicture(picture, L"netbarcodeimg", widePath);
}

jsValue CPlayerInfoDlg::JsCppCall(jsExecState es)
{
    const int code = wkeJSToInt(es, wkeJSParam(es, 0));
    const int uid = wkeJSToInt(es, wkeJSParam(es, 1));
    wkeJSToInt(es, wkeJSParam(es, 2));  // not used
    if (g_playerInfoDlg != nullptr)
        g_playerInfoDlg->OnPageEvent(code, uid);
    return wkeJSUndefined(es);
}

void CPlayerInfoDlg::OnPageEvent(int code, int uid)
{
    consoleevents::Raise(L"player", L"call", Number(code) + L"," + Number(uid));
    switch (code) {
    case 1:
        m_connected = 1;
        break;
    case 2:
    case 3:
        m_connected = 0;
        break;
    case 4:
        // A request while a customer is shown replaces that customer.
        m_connected = 1;
        RequestOpenInfo(uid);
        break;
    default:
        break;
    }
}

void CPlayerInfoDlg::OnTick()
{
    const uint32_t now = m_clock();
    if (now - m_lastReload > kReloadMs && !m_connected) {
        m_lastReload = now;
        LoadSocketPage();
    }
    if (m_shownAt != 0 && now - m_shownAt > kClearMs) {
        ClearCustomer();
    }
}

void CPlayerInfoDlg::LoadSocketPage()
{
    const std::wstring url = AnsiToWide(Pellmora::WebSocketPageUrl(g_loginNetbarCode));
    consoleevents::Raise(L"player", L"socket", url);
    if (m_socketView != nullptr)
        m_socketView->Load(url.c_str());
}

void CPlayerInfoDlg::RequestOpenInfo(int32_t uid)
{
    // The screen keeps what it shows until the new customer is there.
    m_customer.Reset();
    m_hasPhoto = false;
    Pellmora::OpenInfoReply reply = Pellmora::RequestOpenInfo(uid);
    if (!reply.Succeeded()) {
        consoleevents::Raise(L"player", L"openinfo", Number(uid) + L" failed");
        return;
    }
    m_customer.uname = reply.uname;
    m_customer.sex = atoi(reply.bsex.c_str());
    m_customer.nation = reply.bnation;
    m_customer.frontPhoto = reply.strsfzphoto;
    m_customer.backPhoto = reply.strsffphoto;
    m_customer.idNumber = reply.bcertificode;
    m_customer.uid = uid;
    consoleevents::Raise(L"player", L"openinfo", Number(uid) + L" ok");

    // The file goes before any attempt: a previous customer's photo is never shown or sent for
    // this one. The record names the fixed path whatever came of the download.
    const std::string local = PhotoPath();
    ::DeleteFileA(local.c_str());
    m_hasPhoto = !reply.strzmphoto.empty() && DownloadPhoto(reply.strzmphoto, local);
    consoleevents::Raise(L"player", L"photo", m_hasPhoto ? L"1" : L"0");
    m_customer.portrait = local;
    ShowPlayer(m_customer);
}

void CPlayerInfoDlg::ShowPlayer(const COpenAccountInfo& customer)
{
    SetLabel(m_checkresult, L"checkresult", L"开户信息");
    if (!customer.uname.empty()) {
        SetLabel(m_username, L"username", AnsiToWide(customer.uname));
        SetLabel(m_userbirthday, L"userbirthday", AnsiToWide(customer.idNumber));
        SetLabel(m_usersex, L"usersex", customer.sex == 1 ? L"男" : L"女");
        SetLabel(m_usernation, L"usernation", customer.nation == "0000" ? L"汉" : AnsiToWide(customer.nation));
        if (m_hasPhoto && !customer.portrait.empty()) {
            const std::wstring photo = AnsiToWide(customer.portrait);
            // Every customer's photo has the same path: the cache must read the file anew.
            if (CPaintManagerUI* manager = GetManager())
                manager->RemoveImage(photo.c_str(), false);
            SetPicture(m_headimg, L"headimg", photo);
        } else {
            SetPicture(m_headimg, L"headimg", DefaultPhotoPath());
        }
        m_shownAt = m_clock();
    } else {
        SetLabel(m_username, L"username", L" ");
        SetLabel(m_userbirthday, L"userbirthday", L" ");
        SetLabel(m_usersex, L"usersex", L" ");
        SetLabel(m_usernation, L"usernation", L" ");
        SetPicture(m_headimg, L"headimg", DefaultPhotoPath());
    }
}

void CPlayerInfoDlg::ClearCustomer()
{
    m_customer.Reset();
    m_hasPhoto = false;
    ShowPlayer(m_customer);
    m_shownAt = 0;
}

bool CPlayerInfoDlg::DownloadPhoto(const std::string& remotePath, const std::string& localPath)
{
    if (remotePath.find("http://") != std::string::npos || remotePath.find("https://") != std::string::npos)
        return false;
    const std::string path = (!remotePath.empty() && remotePath[0] == '/') ? remotePath : "/" + remotePath;
    ::DeleteFileA(localPath.c_str());  // nothing to do when there is none
    const size_t slash = localPath.find_last_of('\\');
    if (slash == std::string::npos)
        return false;
    if (!CreateDirectoryTreeA(localPath.substr(0, slash).c_str())) {
        ::OutputDebugStringA("SyncData pic CreateDir Error!");
        return false;
    }
    Pellmora::CDownloader downloader;
    downloader.SetLimits(kPhotoTimeoutSeconds, kPhotoMaxBytes);
    if (!downloader.Init(std::string(g_serverBaseUrl) + path, localPath) || !downloader.Download()) {
        ::OutputDebugStringA("SyncData pic Download Error!");
        return false;
    }
    downloader.Close();
    return true;
}

bool CPlayerInfoDlg::PostOpenState(int32_t uid, int32_t state)
{
    Pellmora::CHttpClient client;
    Pellmora::CafeReply reply = Pellmora::RequestPostOpenState(client, uid, state);
    consoleevents::RaiseA(L"player", "openstate", reply.Failed() ? std::string("failed") : reply.code);
    if (reply.status == Pellmora::CafeStatus::Refused) {
        // Once more, on the same client, with both fields again.
        reply = Pellmora::RequestPostOpenState(client, uid, state);
        consoleevents::RaiseA(L"player", "openstate", reply.Failed() ? std::string("failed") : reply.code);
    }
    return reply.Succeeded();
}

bool CPlayerInfoDlg::SendToAgent(const IdCardRecord& record)
{
    HWND agent = ::FindWindowW(nullptr, kAgentTitle);
    if (agent == nullptr) {
        consoleevents::Raise(L"player", L"agent", L"none");
        return true;
    }
    CPaintManagerUI* manager = GetManager();
    HWND frame = manager != nullptr ? manager->GetPaintWindow() : nullptr;
    COPYDATASTRUCT data;
    data.dwData = kIdCardRecordType;
    data.cbData = sizeof record;
    data.lpData = const_cast<IdCardRecord*>(&record);
    DWORD_PTR answer = 0;
    // A hung agent must not freeze the console: a few seconds, and none at all once it is hung.
    if (::SendMessageTimeoutW(agent, WM_COPYDATA, reinterpret_cast<WPARAM>(frame), reinterpret_cast<LPARAM>(&data),
                              SMTO_ABORTIFHUNG, kAgentTimeoutMs, &answer) != 0) {
        ::OutputDebugStringA("Send CopyData");
        consoleevents::Raise(L"player", L"agent", L"sent");
    } else {
        ::OutputDebugStringA("Send CopyData failed: QCODE_DIALOG_AGENT did not answer");
        consoleevents::Raise(L"player", L"agent", L"failed");
    }
    return true;
}

void CPlayerInfoDlg::Notify(TNotifyRecord& msg)
{
    if (!IsVisible() || msg.pSender == nullptr || _wcsicmp(msg.sType.GetData(), L"click") != 0)
        return;
    const CUIString name = msg.pSender->GetName();
    if (name == L"okBtn") {
        if (m_customer.uid == 0)
            return;
        consoleevents::Raise(L"player", L"button", L"okBtn");
        const bool ok = PostOpenState(m_customer.uid, 1);
        const IdCardRecord record = BuildIdCardRecord(m_customer);
        SendToAgent(record);
        ClearCustomer();
        SetLabel(m_checkresult, L"checkresult", ok ? L"开户成功!" : L"开户失败!");
    } else if (name == L"cancleBtn") {
        if (m_customer.uid == 0)
            return;
        consoleevents::Raise(L"player", L"button", L"cancleBtn");
        ClearCustomer();
        SetLabel(m_checkresult, L"checkresult", L"取消开户！");
    }
    // "OrderListOpt" and everything else: nothing.
}

void CPlayerInfoDlg::SetLabel(CControlUI* label, const wchar_t* name, const std::wstring& text)
{
    if (label == nullptr)
        return;
    label->SetText(text.c_str());
    consoleevents::Raise(L"text", name, text);
}

void CPlayerInfoDlg::SetPicture(CControlUI* control, const wchar_t* name, const std::wstring& path)
{
    if (control == nullptr)
        return;
    control->SetBkImage(path.c_str());
    // The same path as before keeps the description: repaint so that a reloaded file shows.
    control->Invalidate();
    consoleevents::Raise(L"image", name, path);
}
