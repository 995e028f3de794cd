// Slider: a progress bar with a draggable thumb; sends "valuechanged".
#pragma once
#include "UIDefs.h"
#include "UIProgress.h"

namespace Veneer {

class VENEER_API CSliderUI : public CProgressUI
{
public:
    CSliderUI();
    ~CSliderUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    void PaintStatusImage(HDC hDC) override;

    int GetChangeStep() const;
    void SetChangeStep(int step);
    void SetThumbSize(SIZE szXY);
    void SetImmMode(bool bImmMode);
    RECT GetThumbRect() const;
    void SetThumbImage(const wchar_t* pStrImage);
    void SetThumbHotImage(const wchar_t* pStrImage);
    void SetThumbPushedImage(const wchar_t* pStrImage);

protected:
    // The value a press, drag or release at pt selects; always within [minimum, maximum].
    int ValueFromPoint(POINT pt) const;
    void ReplaceThumbImage(TImageDesc& desc, const wchar_t* pStrImage);
    bool DrawThumb(HDC hDC, TImageDesc& desc, const RECT& rcDest);

    SIZE m_szThumb;
    UINT m_uButtonState;
    int m_nStep;
    bool m_bImmMode;
    TImageDesc m_diThumb;
    TImageDesc m_diThumbHot;
    TImageDesc m_diThumbPushed;
};

} // namespace Veneer
