// Clickable label: an image per mouse and focus state, an optional cross-fade between the normal
// and hot images, state text colours, "click" on release or from the keyboard.
#pragma once
#include "UIDefs.h"
#include "UILabel.h"

namespace Veneer {

// Button-state bits shared by buttons, options, check boxes and sliders.
enum {
    UISTATE_FOCUSED = 0x00000001,
    UISTATE_SELECTED = 0x00000002,
    UISTATE_DISABLED = 0x00000004,
    UISTATE_HOT = 0x00000008,
    UISTATE_PUSHED = 0x00000010,
    UISTATE_CAPTURED = 0x00000040,
};

// Control timer of the button's fade and its period.
enum { FADE_TIMERID = 11, FADE_ELAPSE = 30 };

class VENEER_API CButtonUI : public CLabelUI
{
public:
    CButtonUI();
    ~CButtonUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    bool Activate() override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    void SetNormalImage(const wchar_t* pStrImage);
    void SetHotImage(const wchar_t* pStrImage);
    void SetPushedImage(const wchar_t* pStrImage);
    void SetFocusedImage(const wchar_t* pStrImage);
    void SetDisabledImage(const wchar_t* pStrImage);
    void SetForeImage(const wchar_t* pStrImage);
    void SetHotForeImage(const wchar_t* pStrImage);
    void SetFiveStatusImage(const wchar_t* pStrImage);
    void SetFadeDelta(BYTE uDelta);
    void SetHotBkColor(DWORD dwColor);
    void SetHotTextColor(DWORD dwColor);
    void SetPushedTextColor(DWORD dwColor);
    void SetFocusedTextColor(DWORD dwColor);
    void SetCursor(const wchar_t* pstrCursor);

protected:
    // Replaces a description unless it is the same one with its image already loaded.
    void ReplaceImage(TImageDesc& desc, const wchar_t* pStrImage);
    // Draws a description at the given opacity.
    bool DrawFaded(HDC hDC, TImageDesc& desc, BYTE uFade);
    // Focused and disabled bits follow the control at every paint.
    void RefreshStateBits();

    UINT m_uButtonState;
    CUIString m_sCursor;
    DWORD m_dwHotBkColor;
    DWORD m_dwHotTextColor;
    DWORD m_dwPushedTextColor;
    DWORD m_dwFocusedTextColor;
    BYTE m_uFadeAlpha;
    BYTE m_uFadeDelta;
    TImageDesc m_diNormal;
    TImageDesc m_diHot;
    TImageDesc m_diHotFore;
    TImageDesc m_diPushed;
    TImageDesc m_diFocused;
    TImageDesc m_diDisabled;
};

} // namespace Veneer
