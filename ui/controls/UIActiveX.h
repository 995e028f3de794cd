// ActiveX host: places a COM control (an OLE object with in-place activation) inside a skinned
// window. The object comes from a class identifier, through a named module's DllGetClassObject or
// the class registry. A windowless object paints into the skinned window and gets its messages
// through the paint manager's message filter; a windowed one gets a child window ("ActiveXWnd").
// Ownership: the control holds one reference on the object and one on its site (CActiveXCtrl);
// the site lives as long as the object references it and owns the child window, if any.
#pragma once
#include "UIDefs.h"
#include "UIControl.h"
#include "UIManager.h"

#include <ole2.h>
#include <ocidl.h>

namespace Veneer {

class CActiveXCtrl;

class VENEER_API CActiveXUI : public CControlUI, public IMessageFilterUI
{
    friend class CActiveXCtrl;
    friend class CActiveXWnd;

public:
    CActiveXUI();
    ~CActiveXUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    HWND GetNativeWindow() const override;

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void Move(SIZE szOffset, bool bNeedInvalidate = true) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    virtual void ReleaseControl();
    virtual bool DoCreateControl();

    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    // Braced identifier or programmatic identifier; false when the text names no class.
    bool SetCLSID(const wchar_t* pstrCLSID);
    void SetModuleName(const wchar_t* pstrText);
    void SetDelayCreate(bool bDelayCreate = true);
    bool CreateControl(const CLSID clsid);
    HRESULT GetControl(const IID iid, LPVOID* ppRet);

    CLSID GetCLSID() const;
    CUIString GetModuleName() const;
    bool IsDelayCreate() const;

protected:
    // Lock the object running once per object; undone before it is closed.
    void LockRunning();
    void JoinMessageFilters();

    CLSID m_clsid;
    CUIString m_sModuleName;
    bool m_bCreated;
    bool m_bDelayCreate;
    IOleObject* m_pUnk;
    CActiveXCtrl* m_pControl;
    HWND m_hwndHost;
    bool m_bComInit;       // CoInitialize succeeded: balanced in the destructor
    bool m_bRunLocked;     // OleLockRunning(TRUE) taken on m_pUnk
    bool m_bInFilters;     // entered in the paint manager's message filters
    CPaintManagerUI* m_pFilterManager;
};

} // namespace Veneer
