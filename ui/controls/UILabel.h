// Text control: one text in its rectangle with font, colours, alignment and padding; measures itself
// for the layouts and can draw its text through GDI+ with gradient, outline, shadow and glow.
#pragma once
#include "UIDefs.h"
#include "UIControl.h"

namespace Veneer {

class VENEER_API CLabelUI : public CControlUI
{
public:
    CLabelUI();
    ~CLabelUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;

    void SetText(const wchar_t* pstrText) override;
    void SetFixedWidth(int cx) override;
    void SetFixedHeight(int cy) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    void PaintText(HDC hDC) override;

    void SetTextColor(DWORD dwTextColor);
    DWORD GetTextColor() const;
    void SetDisabledTextColor(DWORD dwTextColor);
    DWORD GetDisabledTextColor() const;
    void SetFont(int index);
    int GetFont() const;
    void SetTextPadding(RECT rc);
    RECT GetTextPadding() const;
    UINT GetTextStyle() const;
    void SetMultiLine(bool bMultiLine);
    void SetShowHtml(bool bShowHtml);

    void SetEnabledEffect(bool bEnable);
    bool IsEnabledEffect() const;
    void SetEnabledLuminous(bool bEnable);
    bool IsEnabledLuminous() const;
    void SetEnabledStroke(bool bEnable);
    bool IsEnabledStroke() const;
    void SetEnabledShadow(bool bEnable);
    bool IsEnabledShadow() const;
    void SetLuminousFuzzy(float fFuzzy);
    float GetLuminousFuzzy() const;
    void SetGradientAngle(int nAngle);
    int GetGradientAngle() const;
    void SetGradientLength(int nLength);
    int GetGradientLength() const;
    void SetTextColor1(DWORD dwColor);
    DWORD GetTextColor1() const;
    void SetTextShadowColorA(DWORD dwColor);
    DWORD GetTextShadowColorA() const;
    void SetTextShadowColorB(DWORD dwColor);
    DWORD GetTextShadowColorB() const;
    void SetStrokeColor(DWORD dwColor);
    DWORD GetStrokeColor() const;
    void SetShadowOffset(int nOffset, int nAngle);

protected:
    // Zero colours become the paint manager's defaults, for good.
    void ApplyDefaultColors();
    // One GDI+ pass of the text in a solid colour, aligned as the text style says.
    void DrawTextSolidGdiplus(HDC hDC, const RECT& rc, const wchar_t* pstrText, DWORD dwColor);
    // The full GDI+ path: glow, outline, shadow and gradient text.
    void PaintTextEffect(HDC hDC, const RECT& rc);

    // Shift of the shadow and of the glow.
    struct TShadowOffset {
        float X;
        float Y;
    };

    DWORD m_dwTextColor;
    DWORD m_dwDisabledTextColor;
    int m_iFont;
    UINT m_uTextStyle;
    RECT m_rcTextPadding;
    bool m_bShowHtml;
    SIZE m_szAvailableLast;
    SIZE m_cxyFixedLast;
    bool m_bNeedEstimateSize;
    float m_fLuminousFuzzy;
    int m_GradientLength;
    int m_GradientAngle;
    bool m_EnableEffect;
    bool m_bEnableLuminous;
    bool m_bEnableStroke;
    bool m_bEnableShadow;
    DWORD m_dwTextColor1;
    DWORD m_dwTextShadowColorA;
    DWORD m_dwTextShadowColorB;
    DWORD m_dwStrokeColor;
    TShadowOffset m_ShadowOffset;
};

} // namespace Veneer
