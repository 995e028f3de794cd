// A container that stacks its children from top to bottom, sharing the height left by the
// fixed-size children among the stretchable ones. An optional separator band at the top or bottom
// edge lets the user drag the layout's own height.
#pragma once
#include "UIDefs.h"
#include "UIContainer.h"

namespace Veneer {

class VENEER_API CVerticalLayoutUI : public CContainerUI
{
public:
    CVerticalLayoutUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;

    // Height of the draggable band: at the bottom edge, or at the top edge when negative; 0: none.
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

    int m_iSepHeight;
    UINT m_uButtonState;
    POINT m_ptLastMouse;
    RECT m_rcNewPos;
    bool m_bImmMode;
};

} // namespace Veneer
