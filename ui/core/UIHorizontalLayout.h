// A container that places its children from left to right, sharing the width left by the
// fixed-size children among the stretchable ones. An optional separator band at the left or right
// edge lets the user drag the layout's own width.
#pragma once
#include "UIDefs.h"
#include "UIContainer.h"

namespace Veneer {

class VENEER_API CHorizontalLayoutUI : public CContainerUI
{
public:
    CHorizontalLayoutUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;

    // Width of the draggable band: at the right edge, or at the left edge when negative; 0: none.
    void SetSeparatorSize(int iSize);
    // Immediate: the layout follows every mouse move; otherwise a band shows the new edge and the
    // layout changes when the button is released.
    void SetSeparatorImmediate(bool bImmediately);

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoPostPaint(HDC hDC, const RECT& rcPaint) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    void DoEvent(tagTEventUI& event) override;

protected:
    // The placing and separator code shared by both directions (UIStackLayout.cpp).
    template <class Axis> friend struct TStackLayout;

    // The separator band of the dragged rectangle (useNew, while dragging) or of the layout's own.
    RECT GetSeparatorRect(bool bUseNew) const;

    int m_iSepWidth;
    UINT m_uButtonState;
    POINT m_ptLastMouse;
    RECT m_rcNewPos;
    bool m_bImmMode;
};

} // namespace Veneer
