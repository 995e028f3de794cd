// The ready-made frameless skinned window, and the routing of notifications through message maps.
// WindowImplBase owns its paint manager, loads its skin (folder, zip file, numeric resource or a zip
// in the module's resources), answers the non-client messages itself and sends every window
// message to an overridable handler. CNotifyPump dispatches notifications to member functions
// listed in a class's message map; a derived class adds its own map with the macros below.
#pragma once
#include "UIDefs.h"
#include "UIBase.h"
#include "UIManager.h"
#include "UIWindow.h"
#include "UIDlgBuilder.h"

namespace Veneer {

class CNotifyPump;

// Handlers of a message map: signature 2 takes the notification, signature 1 its wParam and lParam.
typedef void (CNotifyPump::*UI_PMSG)(TNotifyRecord& msg);
typedef LRESULT (CNotifyPump::*UI_PMSG_PARAMS)(WPARAM wParam, LPARAM lParam);

enum UINotifySig {
    UISig_end = 0,     // ends an entry table
    UISig_params = 1,  // UI_PMSG_PARAMS
    UISig_notify = 2,  // UI_PMSG
};

union UINotifyHandler {
    UINotifyHandler() : pfn(NULL) {}
    UINotifyHandler(UI_PMSG p) : pfn(p) {}
    UINotifyHandler(UI_PMSG_PARAMS p) : pfnParams(p) {}
    UI_PMSG pfn;
    UI_PMSG_PARAMS pfnParams;
};

struct TNotifyMapEntry {
    CUIString sMsgType;
    CUIString sCtrlName;   // empty: any control
    UINT nSig;             // UINotifySig
    UINotifyHandler pfn;
};

struct TNotifyMap {
    const TNotifyMap* pBaseMap;
    const TNotifyMapEntry* lpEntries;
};

// In the class: VENEER_DECLARE_MESSAGE_MAP(). In one source file:
//   VENEER_BEGIN_MESSAGE_MAP(CMyWnd, WindowImplBase)
//       VENEER_ON_NOTIFY(L"click", &CMyWnd::OnAnyClick)
//       VENEER_ON_NOTIFY_CTRNAME(L"click", L"ok", &CMyWnd::OnOk)
//       VENEER_ON_NOTIFY_PARAMS(L"timer", L"", &CMyWnd::OnTimerParams)
//   VENEER_END_MESSAGE_MAP()
#define VENEER_DECLARE_MESSAGE_MAP()                                                                \
private:                                                                                            \
    static const ::Veneer::TNotifyMapEntry _messageEntries[];                                       \
                                                                                                    \
protected:                                                                                          \
    static const ::Veneer::TNotifyMap messageMap;                                                   \
    const ::Veneer::TNotifyMap* GetMessageMap() const override;                                     \
                                                                                                    \
private:

#define VENEER_BEGIN_MESSAGE_MAP(theClass, baseClass)                                               \
    const ::Veneer::TNotifyMap* theClass::GetMessageMap() const { return &theClass::messageMap; }   \
    const ::Veneer::TNotifyMap theClass::messageMap = {&baseClass::messageMap,                      \
                                                       &theClass::_messageEntries[0]};              \
    const ::Veneer::TNotifyMapEntry theClass::_messageEntries[] = {

#define VENEER_ON_NOTIFY(type, memberFxn)                                                           \
    {type, L"", ::Veneer::UISig_notify, static_cast<::Veneer::UI_PMSG>(memberFxn)},

#define VENEER_ON_NOTIFY_CTRNAME(type, ctrlName, memberFxn)                                         \
    {type, ctrlName, ::Veneer::UISig_notify, static_cast<::Veneer::UI_PMSG>(memberFxn)},

#define VENEER_ON_NOTIFY_PARAMS(type, ctrlName, memberFxn)                                          \
    {type, ctrlName, ::Veneer::UISig_params, static_cast<::Veneer::UI_PMSG_PARAMS>(memberFxn)},

#define VENEER_END_MESSAGE_MAP()                                                                    \
    {L"", L"", ::Veneer::UISig_end, ::Veneer::UINotifyHandler()}                                    \
    }                                                                                               \
    ;

class VENEER_API CNotifyPump
{
public:
    CNotifyPump();
    virtual const TNotifyMap* GetMessageMap() const;

    void RouteNotify(TNotifyRecord& msg);
    bool DispatchByMessageMap(TNotifyRecord& msg);
    static const TNotifyMapEntry* FindMessageEntry(const TNotifyMapEntry* lpEntry, TNotifyRecord& msg);

protected:
    static const TNotifyMap messageMap;
    // Virtual-window name -> CNotifyPump*: pumps that take the notifications of that virtual window.
    CUIStringPtrMap m_VirtualWndMap;

private:
    static const TNotifyMapEntry _messageEntries[];
};

class VENEER_API WindowImplBase : public CWindowWnd,
                                 public CNotifyPump,
                                 public INotifyUI,
                                 public IMessageFilterUI,
                                 public IDialogBuilderCallback
{
public:
    WindowImplBase();
    virtual ~WindowImplBase();

    // CWindowWnd
    const wchar_t* GetSuperClassName() const override;
    UINT GetClassStyle() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;

    virtual void InitWindow();
    virtual void OnClick(TNotifyRecord& msg);

protected:
    virtual CUIString GetSkinFolder() = 0;
    virtual CUIString GetSkinFile() = 0;

public:
    virtual LRESULT OnDefaultKey(WPARAM wParam);
    virtual int GetResourceType() const;
    virtual CUIString GetSkinZipName();
    virtual const wchar_t* GetResourceID() const;

    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseHover(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnChar(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LONG GetStyle();

    // INotifyUI
    void Notify(TNotifyRecord& msg) override;
    // IMessageFilterUI
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    // IDialogBuilderCallback
    CControlUI* CreateControl(const wchar_t* pstrClass) override;

protected:
    CPaintManagerUI m_PaintManager;

    VENEER_DECLARE_MESSAGE_MAP()
};

} // namespace Veneer
