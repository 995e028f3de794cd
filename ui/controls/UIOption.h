// Option (radio button when grouped, toggle otherwise) and check box.
#pragma once
#include "UIDefs.h"
#include "UIButton.h"

namespace Veneer {

class VENEER_API COptionUI : public CButtonUI
{
public:
    COptionUI();
    ~COptionUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    bool Activate() override;
    void SetEnabled(bool bEnable = true) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    virtual void SetSelected(bool bSelected, bool bTriggerEvent = true);

    bool IsSelected() const;
    const wchar_t* GetGroup() const;
    void SetGroup(const wchar_t* pStrGroupName = NULL);
    void SetSelectedImage(const wchar_t* pStrImage);
    void SetSelectedHotImage(const wchar_t* pStrImage);
    void SetForeImage(const wchar_t* pStrImage);
    void SetSelectedBkColor(DWORD dwColor);
    void SetSelectedTextColor(DWORD dwColor);

protected:
    bool m_bSelected;
    CUIString m_sGroupName;
    DWORD m_dwSelectedBkColor;
    DWORD m_dwSelectedTextColor;
    TImageDesc m_diSelected;
    TImageDesc m_diSelectedHot;
    TImageDesc m_diOptionFore;
};

class VENEER_API CCheckBoxUI : public COptionUI
{
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    bool GetCheck() const;
};

} // namespace Veneer
