#include "UILabel.h"
#include "UIManager.h"

#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

DWORD ParseLabelColor(const wchar_t* pstrValue)
{
    if (*pstrValue == L'#') ++pstrValue;
    return (DWORD)wcstoul(pstrValue, NULL, 16);
}

// Reads one decimal, then skips the single separator character that ends it (never past the end).
long ReadNextInt(const wchar_t*& p)
{
    wchar_t* end = NULL;
    long v = wcstol(p, &end, 10);
    p = end;
    if (*p != L'\0') ++p;
    return v;
}

Gdiplus::Color ArgbColor(DWORD dwColor)
{
    return Gdiplus::Color((Gdiplus::ARGB)dwColor);
}

void SetupStringFormat(Gdiplus::StringFormat& format, UINT uStyle)
{
    if (uStyle & DT_VCENTER)
        format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    else if (uStyle & DT_BOTTOM)
        format.SetLineAlignment(Gdiplus::StringAlignmentFar);
    else
        format.SetLineAlignment(Gdiplus::StringAlignmentNear);
    if (uStyle & DT_CENTER)
        format.SetAlignment(Gdiplus::StringAlignmentCenter);
    else if (uStyle & DT_RIGHT)
        format.SetAlignment(Gdiplus::StringAlignmentFar);
    else
        format.SetAlignment(Gdiplus::StringAlignmentNear);
    if (uStyle & DT_SINGLELINE) format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
}

} // namespace

CLabelUI::CLabelUI()
    : m_dwTextColor(0),
      m_dwDisabledTextColor(0),
      m_iFont(-1),
      m_uTextStyle(DT_VCENTER | DT_SINGLELINE),
      m_bShowHtml(false),
      m_bNeedEstimateSize(true),
      m_fLuminousFuzzy(3.0f),
      m_GradientLength(0),
      m_GradientAngle(0),
      m_EnableEffect(false),
      m_bEnableLuminous(false),
      m_bEnableStroke(false),
      m_bEnableShadow(false),
      m_dwTextColor1(0xFFFFFFFF),
      m_dwTextShadowColorA(0xFF000000),
      m_dwTextShadowColorB(0xFFFFFFFF),
      m_dwStrokeColor(0)
{
    ::ZeroMemory(&m_rcTextPadding, sizeof(m_rcTextPadding));
    m_szAvailableLast.cx = m_szAvailableLast.cy = 0;
    m_cxyFixedLast.cx = m_cxyFixedLast.cy = 0;
    m_ShadowOffset.X = m_ShadowOffset.Y = 0.0f;
}

CLabelUI::~CLabelUI() {}

const wchar_t* CLabelUI::GetClass() const { return L"Label"; }

void* CLabelUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"Label") == 0) return static_cast<CLabelUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

void CLabelUI::SetText(const wchar_t* pstrText)
{
    CControlUI::SetText(pstrText);
    m_bNeedEstimateSize = true;
}

void CLabelUI::SetFixedWidth(int cx)
{
    m_bNeedEstimateSize = true;
    CControlUI::SetFixedWidth(cx);
}

void CLabelUI::SetFixedHeight(int cy)
{
    m_bNeedEstimateSize = true;
    CControlUI::SetFixedHeight(cy);
}

void CLabelUI::DoEvent(tagTEventUI& event)
{
    if (event.Type == UIEVENT_SETFOCUS) {
        m_bFocused = true;
        return;
    }
    if (event.Type == UIEVENT_KILLFOCUS) {
        m_bFocused = false;
        return;
    }
    CControlUI::DoEvent(event);
}

void CLabelUI::SetTextColor(DWORD dwTextColor)
{
    m_dwTextColor = dwTextColor;
    Invalidate();
}

DWORD CLabelUI::GetTextColor() const { return m_dwTextColor; }

void CLabelUI::SetDisabledTextColor(DWORD dwTextColor)
{
    m_dwDisabledTextColor = dwTextColor;
    Invalidate();
}

DWORD CLabelUI::GetDisabledTextColor() const { return m_dwDisabledTextColor; }

void CLabelUI::SetFont(int index)
{
    m_iFont = index;
    m_bNeedEstimateSize = true;
    Invalidate();
}

int CLabelUI::GetFont() const { return m_iFont; }

void CLabelUI::SetTextPadding(RECT rc)
{
    m_rcTextPadding = rc;
    m_bNeedEstimateSize = true;
    Invalidate();
}

RECT CLabelUI::GetTextPadding() const { return m_rcTextPadding; }

UINT CLabelUI::GetTextStyle() const { return m_uTextStyle; }

void CLabelUI::SetMultiLine(bool bMultiLine)
{
    if (bMultiLine) {
        m_uTextStyle &= ~DT_SINGLELINE;
        m_uTextStyle |= DT_WORDBREAK;
    } else {
        m_uTextStyle |= DT_SINGLELINE;
    }
    m_bNeedEstimateSize = true;
}

void CLabelUI::SetShowHtml(bool bShowHtml)
{
    if (m_bShowHtml == bShowHtml) return;
    m_bShowHtml = bShowHtml;
    m_bNeedEstimateSize = true;
    Invalidate();
}

void CLabelUI::SetEnabledEffect(bool bEnable)
{
    m_EnableEffect = bEnable;
    Invalidate();
}

bool CLabelUI::IsEnabledEffect() const { return m_EnableEffect; }

void CLabelUI::SetEnabledLuminous(bool bEnable)
{
    m_bEnableLuminous = bEnable;
    Invalidate();
}

bool CLabelUI::IsEnabledLuminous() const { return m_bEnableLuminous; }

void CLabelUI::SetEnabledStroke(bool bEnable)
{
    m_bEnableStroke = bEnable;
    Invalidate();
}

bool CLabelUI::IsEnabledStroke() const { return m_bEnableStroke; }

void CLabelUI::SetEnabledShadow(bool bEnable)
{
    m_bEnableShadow = bEnable;
    Invalidate();
}

bool CLabelUI::IsEnabledShadow() const { return m_bEnableShadow; }

void CLabelUI::SetLuminousFuzzy(float fFuzzy)
{
    if (fFuzzy < 0.0001f) return;
    m_fLuminousFuzzy = fFuzzy;
    Invalidate();
}

float CLabelUI::GetLuminousFuzzy() const { return m_fLuminousFuzzy; }

void CLabelUI::SetGradientAngle(int nAngle)
{
    m_GradientAngle = nAngle;
    Invalidate();
}

int CLabelUI::GetGradientAngle() const { return m_GradientAngle; }

void CLabelUI::SetGradientLength(int nLength)
{
    m_GradientLength = nLength;
    Invalidate();
}

int CLabelUI::GetGradientLength() const { return m_GradientLength; }

void CLabelUI::SetTextColor1(DWORD dwColor)
{
    m_dwTextColor1 = dwColor;
    Invalidate();
}

DWORD CLabelUI::GetTextColor1() const { return m_dwTextColor1; }

void CLabelUI::SetTextShadowColorA(DWORD dwColor)
{
    m_dwTextShadowColorA = dwColor;
    Invalidate();
}

DWORD CLabelUI::GetTextShadowColorA() const { return m_dwTextShadowColorA; }

void CLabelUI::SetTextShadowColorB(DWORD dwColor)
{
    m_dwTextShadowColorB = dwColor;
    Invalidate();
}

DWORD CLabelUI::GetTextShadowColorB() const { return m_dwTextShadowColorB; }

void CLabelUI::SetStrokeColor(DWORD dwColor)
{
    m_dwStrokeColor = dwColor;
    Invalidate();
}

DWORD CLabelUI::GetStrokeColor() const { return m_dwStrokeColor; }

void CLabelUI::SetShadowOffset(int nOffset, int nAngle)
{
    if (nAngle < -180 || nAngle > 180) return;
    // Starts from the control's corner, which is 0, 0 while the skin is being built.
    int top = m_rcItem.top;
    int left = m_rcItem.left;
    if (nAngle >= 0 && nAngle <= 180)
        top -= nOffset;
    else if (nAngle > -180 && nAngle < 0)
        top += nOffset;
    if (nAngle > -90 && nAngle <= 90)
        left -= nOffset;
    else if (nAngle > 90 || nAngle < -90)
        left += nOffset;
    m_ShadowOffset.X = (float)top;
    m_ShadowOffset.Y = (float)left;
    Invalidate();
}

void CLabelUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"align") == 0) {
        if (wcsstr(pstrValue, L"left") != NULL) m_uTextStyle &= ~(DT_CENTER | DT_RIGHT);
        if (wcsstr(pstrValue, L"center") != NULL) {
            m_uTextStyle &= ~DT_RIGHT;
            m_uTextStyle |= DT_CENTER;
        }
        if (wcsstr(pstrValue, L"right") != NULL) {
            m_uTextStyle &= ~DT_CENTER;
            m_uTextStyle |= DT_RIGHT;
        }
    } else if (wcscmp(pstrName, L"valign") == 0) {
        if (wcsstr(pstrValue, L"top") != NULL) m_uTextStyle &= ~(DT_VCENTER | DT_BOTTOM);
        if (wcsstr(pstrValue, L"vcenter") != NULL) {
            m_uTextStyle &= ~DT_BOTTOM;
            m_uTextStyle |= DT_VCENTER;
        }
        if (wcsstr(pstrValue, L"bottom") != NULL) {
            m_uTextStyle &= ~DT_VCENTER;
            m_uTextStyle |= DT_BOTTOM;
        }
    } else if (wcscmp(pstrName, L"endellipsis") == 0) {
        if (wcscmp(pstrValue, L"true") == 0)
            m_uTextStyle |= DT_END_ELLIPSIS;
        else
            m_uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (wcscmp(pstrName, L"font") == 0) {
        SetFont((int)wcstol(pstrValue, NULL, 10));
    } else if (wcscmp(pstrName, L"textcolor") == 0) {
        SetTextColor(ParseLabelColor(pstrValue));
    } else if (wcscmp(pstrName, L"disabledtextcolor") == 0) {
        SetDisabledTextColor(ParseLabelColor(pstrValue));
    } else if (wcscmp(pstrName, L"textpadding") == 0) {
        RECT rc;
        const wchar_t* p = pstrValue;
        rc.left = ReadNextInt(p);
        rc.top = ReadNextInt(p);
        rc.right = ReadNextInt(p);
        rc.bottom = ReadNextInt(p);
        SetTextPadding(rc);
    } else if (wcscmp(pstrName, L"multiline") == 0) {
        SetMultiLine(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"showhtml") == 0) {
        SetShowHtml(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"enabledeffect") == 0) {
        SetEnabledEffect(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"enabledluminous") == 0) {
        SetEnabledLuminous(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"luminousfuzzy") == 0) {
        SetLuminousFuzzy((float)wcstod(pstrValue, NULL));
    } else if (wcscmp(pstrName, L"gradientangle") == 0) {
        SetGradientAngle((int)wcstol(pstrValue, NULL, 10));
    } else if (wcscmp(pstrName, L"enabledstroke") == 0) {
        SetEnabledStroke(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"enabledshadow") == 0) {
        SetEnabledShadow(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"gradientlength") == 0) {
        SetGradientLength((int)wcstol(pstrValue, NULL, 10));
    } else if (wcscmp(pstrName, L"shadowoffset") == 0) {
        const wchar_t* p = pstrValue;
        int offset = (int)ReadNextInt(p);
        int angle = (int)ReadNextInt(p);
        SetShadowOffset(offset, angle);
    } else if (wcscmp(pstrName, L"textcolor1") == 0) {
        SetTextColor1(ParseLabelColor(pstrValue));
    } else if (wcscmp(pstrName, L"textshadowcolora") == 0) {
        SetTextShadowColorA(ParseLabelColor(pstrValue));
    } else if (wcscmp(pstrName, L"textshadowcolorb") == 0) {
        SetTextShadowColorB(ParseLabelColor(pstrValue));
    } else if (wcscmp(pstrName, L"strokecolor") == 0) {
        SetStrokeColor(ParseLabelColor(pstrValue));
    } else {
        CControlUI::SetAttribute(pstrName, pstrValue);
    }
}

SIZE CLabelUI::EstimateSize(SIZE szAvailable)
{
    if (m_cxyFixed.cx > 0 && m_cxyFixed.cy > 0) return m_cxyFixed;

    // Measuring needs the window's fonts and DC; until the label has them it asks for its fixed
    // size and keeps the estimate pending.
    if (m_pManager == NULL || m_pManager->GetPaintDC() == NULL) return m_cxyFixed;

    if ((m_uTextStyle & DT_SINGLELINE) == 0 &&
        (szAvailable.cx != m_szAvailableLast.cx || szAvailable.cy != m_szAvailableLast.cy))
        m_bNeedEstimateSize = true;

    if (m_bNeedEstimateSize) {
        m_bNeedEstimateSize = false;
        m_szAvailableLast = szAvailable;
        m_cxyFixedLast = m_cxyFixed;
        const UINT uMeasureStyle = (m_uTextStyle & ~(DT_CENTER | DT_RIGHT)) | DT_CALCRECT;
        HDC hDC = m_pManager->GetPaintDC();
        if (m_uTextStyle & DT_SINGLELINE) {
            if (m_cxyFixedLast.cy == 0) {
                m_cxyFixedLast.cy = m_pManager->GetFontInfo(m_iFont)->tm.tmHeight + 8 + m_rcTextPadding.top +
                                    m_rcTextPadding.bottom;
            }
            // Only a free width is measured from the text: a fixed one never reads it.
            if (m_cxyFixedLast.cx == 0) {
                CUIString sText = GetText();
                RECT rcText = {0, 0, 9999, m_cxyFixedLast.cy};
                if (m_bShowHtml) {
                    int nLinks = 0;
                    CUIPainter::DrawHtmlText(hDC, m_pManager, rcText, sText, 0, NULL, NULL, nLinks, m_iFont,
                                             uMeasureStyle);
                } else {
                    CUIPainter::DrawText(hDC, m_pManager, rcText, sText, 0, m_iFont, uMeasureStyle);
                }
                m_cxyFixedLast.cx = rcText.right - rcText.left + m_rcTextPadding.left + m_rcTextPadding.right;
            }
        } else {
            if (m_cxyFixedLast.cx == 0) m_cxyFixedLast.cx = szAvailable.cx;
            RECT rcText = {m_rcTextPadding.left, 0, m_cxyFixedLast.cx - m_rcTextPadding.right, 9999};
            CUIString sText = GetText();
            if (m_bShowHtml) {
                int nLinks = 0;
                CUIPainter::DrawHtmlText(hDC, m_pManager, rcText, sText, 0, NULL, NULL, nLinks, m_iFont,
                                         uMeasureStyle);
            } else {
                CUIPainter::DrawText(hDC, m_pManager, rcText, sText, 0, m_iFont, uMeasureStyle);
            }
            m_cxyFixedLast.cy = rcText.bottom - rcText.top + m_rcTextPadding.top + m_rcTextPadding.bottom;
        }
        // GDI+ text runs wider than the GDI measure.
        if (m_EnableEffect) m_cxyFixedLast.cx = (LONG)(m_cxyFixedLast.cx * 1.03);
    }
    return m_cxyFixedLast;
}

void CLabelUI::ApplyDefaultColors()
{
    if (m_pManager == NULL) return;
    if (m_dwTextColor == 0) m_dwTextColor = m_pManager->GetDefaultFontColor();
    if (m_dwDisabledTextColor == 0) m_dwDisabledTextColor = m_pManager->GetDefaultDisabledColor();
}

void CLabelUI::PaintText(HDC hDC)
{
    ApplyDefaultColors();
    RECT rc = m_rcItem;
    rc.left += m_rcTextPadding.left;
    rc.right -= m_rcTextPadding.right;
    rc.top += m_rcTextPadding.top;
    rc.bottom -= m_rcTextPadding.bottom;

    if (m_EnableEffect) {
        PaintTextEffect(hDC, rc);
        return;
    }
    CUIString sText = GetText();
    if (sText.IsEmpty()) return;
    const DWORD dwColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if (m_bShowHtml) {
        int nLinks = 0;
        CUIPainter::DrawHtmlText(hDC, m_pManager, rc, sText, dwColor, NULL, NULL, nLinks, m_iFont, m_uTextStyle);
    } else {
        CUIPainter::DrawText(hDC, m_pManager, rc, sText, dwColor, m_iFont, m_uTextStyle);
    }
}

void CLabelUI::DrawTextSolidGdiplus(HDC hDC, const RECT& rc, const wchar_t* pstrText, DWORD dwColor)
{
    if (m_pManager == NULL || hDC == NULL) return;
    Gdiplus::Font font(hDC, m_pManager->GetFont(m_iFont));
    Gdiplus::Graphics graphics(hDC);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    Gdiplus::StringFormat format;
    SetupStringFormat(format, m_uTextStyle);
    Gdiplus::RectF rcText((Gdiplus::REAL)rc.left, (Gdiplus::REAL)rc.top, (Gdiplus::REAL)(rc.right - rc.left),
                          (Gdiplus::REAL)(rc.bottom - rc.top));
    Gdiplus::SolidBrush brush(ArgbColor(dwColor));
    graphics.DrawString(pstrText, -1, &font, rcText, &format, &brush);
}

void CLabelUI::PaintTextEffect(HDC hDC, const RECT& rc)
{
    if (m_pManager == NULL || hDC == NULL) return;
    // The text is read here, at paint time: the control's buffer may have moved since it was set.
    CUIString sText = GetText();
    const wchar_t* pstrText = sText.GetData();

    Gdiplus::Font font(hDC, m_pManager->GetFont(m_iFont));
    Gdiplus::Graphics graphics(hDC);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    Gdiplus::StringFormat format;
    SetupStringFormat(format, m_uTextStyle);

    const int nWidth = rc.right - rc.left;
    const int nHeight = rc.bottom - rc.top;
    Gdiplus::RectF rcText((Gdiplus::REAL)rc.left, (Gdiplus::REAL)rc.top, (Gdiplus::REAL)nWidth,
                          (Gdiplus::REAL)nHeight);
    Gdiplus::RectF rcShadow = rcText;
    rcShadow.Offset(m_ShadowOffset.X, m_ShadowOffset.Y);

    const int nGradient = m_GradientLength != 0 ? m_GradientLength : nHeight;
    const Gdiplus::PointF ptFrom((Gdiplus::REAL)m_GradientAngle, 0.0f);
    const Gdiplus::PointF ptTo(0.0f, (Gdiplus::REAL)nGradient);
    Gdiplus::LinearGradientBrush brushShadow(
        ptFrom, ptTo, ArgbColor(m_dwTextShadowColorA),
        ArgbColor(m_dwTextShadowColorB == 0xFFFFFFFF ? m_dwTextShadowColorA : m_dwTextShadowColorB));
    brushShadow.SetWrapMode(Gdiplus::WrapModeTile);
    Gdiplus::LinearGradientBrush brushText(ptFrom, ptTo, ArgbColor(m_dwTextColor),
                                           ArgbColor(m_dwTextColor1 == 0xFFFFFFFF ? m_dwTextColor : m_dwTextColor1));
    brushText.SetWrapMode(Gdiplus::WrapModeTile);

    // GDI+ refuses bitmaps without area: a text rectangle that small gets no glow.
    if (m_bEnableLuminous && nWidth > 0 && nHeight > 0) {
        int fw = (int)(nWidth / m_fLuminousFuzzy);
        int fh = (int)(nHeight / m_fLuminousFuzzy);
        if (fw < 1) fw = 1;
        if (fh < 1) fh = 1;
        Gdiplus::Bitmap bmpText(nWidth, nHeight, PixelFormat32bppARGB);
        Gdiplus::Bitmap bmpSmall(fw, fh, PixelFormat32bppARGB);
        Gdiplus::Graphics gText(&bmpText);
        gText.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        gText.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
        gText.SetCompositingQuality(Gdiplus::CompositingQualityAssumeLinear);
        Gdiplus::Graphics gSmall(&bmpSmall);
        gSmall.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        gSmall.SetPixelOffsetMode(Gdiplus::PixelOffsetModeNone);

        Gdiplus::RectF rcLocal(0.0f, 0.0f, (Gdiplus::REAL)nWidth, (Gdiplus::REAL)nHeight);
        gText.DrawString(pstrText, -1, &font, rcLocal, &format, &brushText);
        gSmall.DrawImage(&bmpText, 0, 0, fw, fh);
        gText.Clear(Gdiplus::Color(0, 0, 0, 0));
        gText.DrawImage(&bmpSmall, (int)m_ShadowOffset.X, (int)m_ShadowOffset.Y, nWidth, nHeight);
        gText.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
        graphics.DrawImage(&bmpText, rc.left, rc.top, nWidth, nHeight);
    }

    if (m_bEnableStroke && m_dwStrokeColor != 0) {
        Gdiplus::LinearGradientBrush brushStroke(ptFrom, Gdiplus::PointF(0.0f, (Gdiplus::REAL)(nHeight + 2)),
                                                 ArgbColor(m_dwStrokeColor), ArgbColor(m_dwStrokeColor));
        static const float kOffsets[4][2] = {{-1.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, -1.0f}, {0.0f, 1.0f}};
        for (const auto& o : kOffsets) {
            Gdiplus::RectF rcStroke(rcText.X + o[0], rcText.Y + o[1], rcText.Width, rcText.Height);
            graphics.DrawString(pstrText, -1, &font, rcStroke, &format, &brushStroke);
        }
    }

    if (m_bEnableShadow && (m_dwTextShadowColorA != 0 || m_dwTextShadowColorB != 0))
        graphics.DrawString(pstrText, -1, &font, rcShadow, &format, &brushShadow);

    graphics.DrawString(pstrText, -1, &font, rcText, &format, &brushText);
}

} // namespace Veneer
