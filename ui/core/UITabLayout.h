// A container that shows one of its children (a page) at a time, switched by index.
#pragma once
#include "UIDefs.h"
#include "UIContainer.h"

namespace Veneer {

class VENEER_API CTabLayoutUI : public CContainerUI
{
public:
    CTabLayoutUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;

    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
    void RemoveAll() override;

    // Shows the page at the index and hides the others; "tabselect" tells the new and old index.
    bool SelectItem(int iIndex, bool bTriggerEvent = true);

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

protected:
    int m_iCurSel;
};

} // namespace Veneer
